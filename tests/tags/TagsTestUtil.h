// Shared helpers of the tags tests: a scratch folder, files, and fakectags
// steered by a script.
#pragma once

#include "uSystem.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tagstest {

inline std::wstring ModuleDir()
{
    wchar_t Path[MAX_PATH];
    const DWORD Length = ::GetModuleFileNameW(nullptr, Path, MAX_PATH);
    std::wstring Result(Path, Length);
    return Result.substr(0, Result.find_last_of(L'\\'));
}

// fakectags.exe is built next to the test program.
inline std::wstring FakeCtags()
{
    return ModuleDir() + L"\\fakectags.exe";
}

inline void WriteFileBytes(const std::wstring& Path, const std::string& Bytes)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(H, INVALID_HANDLE_VALUE);
    DWORD Done = 0;
    ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
    ::CloseHandle(H);
    ASSERT_EQ(Done, Bytes.size());
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

// Sets an environment variable for the life of the object.
class TEnvOverride {
public:
    TEnvOverride(std::wstring Name, const std::wstring& Value) : FName(std::move(Name))
    {
        wchar_t Buffer[32768];
        const DWORD Length = ::GetEnvironmentVariableW(FName.c_str(), Buffer, 32768);
        FHad = Length > 0 && Length < 32768;
        if (FHad)
            FOld.assign(Buffer, Length);
        ::SetEnvironmentVariableW(FName.c_str(), Value.c_str());
    }
    ~TEnvOverride() { ::SetEnvironmentVariableW(FName.c_str(), FHad ? FOld.c_str() : nullptr); }
    TEnvOverride(const TEnvOverride&) = delete;
    TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
    std::wstring FName;
    std::wstring FOld;
    bool FHad = false;
};

// Every fakectags started while this lives runs Script (see the directives
// at the top of tools/fakectags/fakectags.cpp).
class TScript {
public:
    TScript(const TScratchDir& Dir, const std::string& Script, const std::wstring& Name = L"script.txt")
        : FPath(Dir / Name)
    {
        WriteFileBytes(FPath, Script);
        FEnv = std::make_unique<TEnvOverride>(L"FAKECTAGS_SCRIPT", FPath);
    }
    const std::wstring& Path() const { return FPath; }

private:
    std::wstring FPath;
    std::unique_ptr<TEnvOverride> FEnv;
};

// Runs fakectags with the string-list form, the way TCtags does.
inline bool RunFake(TStrings* Output, TStrings* Errors, std::uint32_t& ExitCode, const TStrings* Input = nullptr,
                    double Deadline = 0)
{
    return RunProcess(QuotedStr(FakeCtags()), Input, Output, Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, {},
                      {}, Deadline);
}

} // namespace tagstest
