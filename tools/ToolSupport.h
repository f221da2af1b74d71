// What the tests and the benchmarks both need around the helper programs:
// where they are, a scratch folder, and whole-file reads and writes.
#pragma once

#include "uSystem.h"

#include <windows.h>

#include <string>

namespace toolsupport {

// The folder of the running program; the helper programs and the language
// files are built next to it.
inline std::wstring ProgramFolder()
{
    wchar_t Path[MAX_PATH];
    const DWORD Length = ::GetModuleFileNameW(nullptr, Path, MAX_PATH);
    const std::wstring Result(Path, Length);
    return Result.substr(0, Result.find_last_of(L'\\'));
}

inline std::wstring FakeCtags()
{
    return ProgramFolder() + L"\\fakectags.exe";
}

inline bool WriteBytes(const std::wstring& Path, const std::string& Bytes)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return false;
    DWORD Done = 0;
    ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
    ::CloseHandle(H);
    return Done == Bytes.size();
}

inline std::string ReadFileBytes(const std::wstring& Path)
{
    std::string Result;
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return Result;
    char Buffer[65536];
    DWORD Done = 0;
    while (::ReadFile(H, Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
        Result.append(Buffer, Done);
    ::CloseHandle(H);
    return Result;
}

// A fresh folder under the system's temporary folder, deleted afterwards.
class TScratchDir {
public:
    TScratchDir()
    {
        wchar_t Base[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, Base);
        static unsigned Serial = 0;
        FPath = std::wstring(Base) + L"lodestar-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++Serial);
        ::CreateDirectoryW(FPath.c_str(), nullptr);
    }
    ~TScratchDir() { DeleteDirectoryTree(FPath); }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::wstring& Path() const { return FPath; }
    std::wstring operator/(const std::wstring& Name) const { return FPath + L"\\" + Name; }

private:
    std::wstring FPath;
};

} // namespace toolsupport
