// What ctags made of the texts it read last: a command on a text exactly as
// it was the last time (the same file, the same characters, the same ctags
// program) takes those tags again instead of running ctags. A few texts are
// kept, within a bound on memory, the most recently used first.
#pragma once

#include "tags/uCtags.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A text's characters as 128 bits and a length, line by line: two texts with
// the same digest are taken to be the same text.
class TTextDigest {
public:
    void AddLine(std::wstring_view Line) noexcept;
    bool operator==(const TTextDigest&) const noexcept = default;

private:
    std::uint64_t FHigh = 0x9E3779B97F4A7C15ull;
    std::uint64_t FLow = 0xC2B2AE3D27D4EB4Full;
    std::uint64_t FLength = 0;
};

// The program that made the tags, as far as its result can tell: its path,
// its size and its time (a new ctags is a new program).
struct TProgramStamp {
    std::wstring Path;
    std::uint64_t Size = 0;
    FILETIME Written{};

    // The stamp of ExePath, or an empty one when it cannot be read.
    static TProgramStamp Of(const std::wstring& ExePath);
    bool Empty() const noexcept { return Path.empty(); }
    bool operator==(const TProgramStamp& Other) const noexcept;
};

// Where a text was last seen: the stamp of its editor's changes (0: none
// known, see TEditorChanges) and the code page that made its characters.
struct TTextSeen {
    std::uint64_t Stamp = 0;
    uintptr_t CodePage = 0;
};

class TTagsMemory {
public:
    static constexpr size_t MaxTexts = 8;
    static constexpr size_t MaxBytes = size_t{64} << 20;

    // The process's one memory, for the host's thread.
    static TTagsMemory& Instance();

    // The tags of the text FileName held with Digest, as Program made them;
    // null when they are not known. Found, the text is the one Seen now.
    std::shared_ptr<const std::vector<TCtagsItem>> Find(const std::wstring& FileName, const TTextDigest& Digest,
                                                        const TProgramStamp& Program, const TTextSeen& Seen);
    // The tags of the text last seen as Seen, without reading it: its editor
    // has not changed since, nor its code page, nor its file's name.
    std::shared_ptr<const std::vector<TCtagsItem>> FindUnchanged(const std::wstring& FileName, const TTextSeen& Seen,
                                                                 const TProgramStamp& Program);
    void Remember(const std::wstring& FileName, const TTextDigest& Digest, const TProgramStamp& Program,
                  std::shared_ptr<const std::vector<TCtagsItem>> Items, const TTextSeen& Seen);
    void Clear() noexcept { FEntries.clear(); }
    size_t Count() const noexcept { return FEntries.size(); }

private:
    struct TEntry {
        // The file's name as the system compares names.
        std::wstring FileKey;
        TTextDigest Digest;
        TProgramStamp Program;
        std::shared_ptr<const std::vector<TCtagsItem>> Items;
        size_t Bytes = 0;
        TTextSeen Seen;
    };
    std::shared_ptr<const std::vector<TCtagsItem>> Use(size_t Index);
    // The most recently used last.
    std::vector<TEntry> FEntries;
};
