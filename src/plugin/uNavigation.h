// Going from one place of the project to another and back: the stack of
// places the jumps came from, a jump to a line of any file (its editor
// brought to the front or opened), and the lines of a file as they are now,
// from its editor when one has it, else from the disk.
#pragma once

#include "tags/uTagAddress.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the cursor was.
struct TPlace {
    std::wstring FileName;
    intptr_t Line = 0, Pos = 0, TopLine = 0; // from 0, as the editor counts
};

// The places the jumps came from, the last on top; at most Capacity, the
// oldest going first.
class TPlaceStack {
public:
    static constexpr size_t Capacity = 100;

    void Push(TPlace Place);
    std::optional<TPlace> Pop();
    size_t Count() const noexcept { return FPlaces.size(); }

private:
    std::deque<TPlace> FPlaces;
};

// The current editor's file and position; false when it cannot be read.
bool CurrentPlace(TPlace& Place);

// The lines of files as they stand now: an editor's text where an editor
// has the file (unsaved changes included), else the file on disk, decoded
// as UTF-8 when it is (with or without a mark), else UTF-16 by its mark,
// else in the ANSI code page. Each file is read once.
class TFileLines {
public:
    // Null when the file can be read from neither.
    const std::vector<std::wstring>* Lines(const std::wstring& FileName);

private:
    std::map<std::wstring, std::optional<std::vector<std::wstring>>> FFiles;
};

// A place to jump to: a file, a tag's line (from 1; 0 for none) and the
// pattern that finds its line where the text has moved, and the name the
// cursor lands on.
struct TJumpTarget {
    std::wstring FileName;
    std::int32_t Line = 0;
    std::optional<TTagPattern> Pattern;
    std::wstring Name;
};

enum class TJumpResult { Moved, Missing, Failed };

// Jumps to Target: the line its pattern matches now (the tag's own line
// when it still matches, else the nearest one), on the name as its line
// defines it, with five lines above it in sight; the file's editor comes to
// the front or opens. Where the cursor was goes on Places first. Missing:
// the file is not there (nothing moved, nothing pushed); Failed: the host
// refused, and has said why where it had to.
TJumpResult JumpTo(const TJumpTarget& Target, TPlaceStack& Places, TFileLines& Files);

// The way back: the last place whose file still exists, its editor brought
// to the front or opened again; places of files that are gone are dropped.
// True when the cursor moved.
bool GoBack(TPlaceStack& Places);
