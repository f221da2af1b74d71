// Where a tag of a tags file points: its search pattern, read from the
// address as ctags writes it, and the line of a file's text as it is now
// that the tag means, when the text has changed since the tags were made.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A search pattern as ctags writes it: the source line, anchored.
struct TTagPattern {
    // The line's text, the pattern's escapes (\\ \/ \? \$) undone.
    std::wstring Text;
    // ^: a matching line starts with Text.
    bool Start = false;
    // $: and ends with it. ctags leaves this out where it cut a long line
    // short (Universal Ctags after 96 bytes by default): then Text is what
    // the line starts with.
    bool End = false;

    bool operator==(const TTagPattern&) const = default;
};

// The pattern of an address, the bytes between its delimiters (/.../ or
// ?...?, the delimiters left out), still escaped and not yet decoded.
// Decode turns the bytes of its Text into UTF-16 afterwards.
struct TTagPatternBytes {
    std::string Text;
    bool Start = false;
    bool End = false;
};
TTagPatternBytes ParseTagPattern(std::string_view Between, char Delimiter);

// Whether Line is one the pattern finds.
bool MatchesTagPattern(const TTagPattern& Pattern, std::wstring_view Line) noexcept;

// The line (from 1) that a tag with the given line number (0 for none)
// and pattern means in a text of LineCount lines, LineAt(I) giving line I
// (from 1) without its line break, valid until the next call:
// - with a pattern, the tag's line if it matches, else the matching line
//   nearest to it (the upper one of two as near; from line 1 on when the
//   tag has no number); without a match, the tag's line;
// - with a line number only, that line.
// The result stays within 1 .. LineCount (1 for an empty text).
std::int32_t FindTagLine(const std::optional<TTagPattern>& Pattern, std::int32_t Line, std::int32_t LineCount,
                         const std::function<std::wstring_view(std::int32_t)>& LineAt);
std::int32_t FindTagLine(const std::optional<TTagPattern>& Pattern, std::int32_t Line,
                         const std::vector<std::wstring>& Lines);
