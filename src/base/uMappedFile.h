// A file's bytes, mapped into memory for reading: a tags file of more than a
// gigabyte is searched without being read, the system bringing in only the
// pages looked at.
#pragma once

#include "base/Handle.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

class TMappedFile {
public:
    TMappedFile() noexcept = default;
    TMappedFile(TMappedFile&& Other) noexcept;
    TMappedFile& operator=(TMappedFile&& Other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;
    ~TMappedFile() { Close(); }

    // Maps the file at Path whole. Others may go on reading, writing,
    // renaming and deleting it meanwhile (ctags replacing a tags file must
    // not fail because it is being searched). False, with the system's
    // error in GetLastError and nothing mapped, when it cannot be.
    bool Open(const std::wstring& Path);
    void Close() noexcept;

    // The mapped bytes; empty for an empty file or when nothing is open.
    std::string_view Bytes() const noexcept { return {FView, FSize}; }
    std::uint64_t Size() const noexcept { return FSize; }
    // When the file was written last, as the open handle saw it.
    const FILETIME& LastWrite() const noexcept { return FLastWrite; }

private:
    const char* FView = nullptr;
    size_t FSize = 0;
    FILETIME FLastWrite{};
};
