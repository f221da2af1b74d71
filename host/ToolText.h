// Text and file helpers the helper programs share: UTF-8 conversions and
// whole-file reads and writes, with nothing but the Windows API.
#pragma once

#include <windows.h>

#include <string>

namespace tooltext {

inline std::string Narrow(const std::wstring& Text)
{
    if (Text.empty())
        return {};
    const int Size = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string Result(static_cast<size_t>(Size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Size, nullptr,
                          nullptr);
    return Result;
}

inline std::wstring Widen(const std::string& Text)
{
    if (Text.empty())
        return {};
    const int Size = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Result(static_cast<size_t>(Size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Size);
    return Result;
}

// The whole file appended to Bytes; false when it cannot be opened.
inline bool ReadWholeFile(const std::wstring& Path, std::string& Bytes)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return false;
    char Buffer[65536];
    DWORD Done = 0;
    while (::ReadFile(H, Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
        Bytes.append(Buffer, Done);
    ::CloseHandle(H);
    return true;
}

inline bool WriteWholeFile(const std::wstring& Path, const std::string& Bytes)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return false;
    DWORD Done = 0;
    ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
    ::CloseHandle(H);
    return Done == Bytes.size();
}

} // namespace tooltext
