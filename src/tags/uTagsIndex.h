// The index of an unsorted tags file: where each tag line starts, by a hash
// of its name without regard to case, made in one pass over the file and
// kept for the process while the file's path, size and time stay the same.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TTagsIndex {
public:
    // The tag lines of Bytes from Begin on (Begin a line's start). Raises
    // EInOutError for a file too large for the index (a terabyte).
    static std::shared_ptr<const TTagsIndex> Build(std::string_view Bytes, std::uint64_t Begin);
    // The index of the file at Path with this Size and LastWrite, mapped at
    // Bytes: the one kept since it was last built, or built now and kept.
    static std::shared_ptr<const TTagsIndex> Of(const std::wstring& Path, std::uint64_t Size, const FILETIME& LastWrite,
                                                std::string_view Bytes, std::uint64_t Begin);
    // How many indexes this process has built: a scan of a whole file each.
    static std::uint64_t BuildCount() noexcept;
    // Forgets the kept indexes.
    static void ClearKept() noexcept;

    // A name's hash without regard to ASCII case, as the index has it.
    static std::uint32_t FoldHash(std::string_view Name) noexcept;

    // Appends the starts of the lines whose name (the bytes before the
    // first TAB) may equal Name without regard to ASCII case, in the
    // order of the file; a few others may be among them.
    void AppendCandidates(std::string_view Name, std::vector<std::uint64_t>& Offsets) const;
    size_t Count() const noexcept { return FKeys.size(); }
    // What the index holds in memory.
    size_t MemoryBytes() const noexcept { return FKeys.capacity() * sizeof(std::uint64_t); }

private:
    // The hash's 24 bits above the line's start (40 bits).
    std::vector<std::uint64_t> FKeys;
};
