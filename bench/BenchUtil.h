// Shared pieces of the benchmarks: a clock, a scratch folder, and
// fakectags steered by a script.
#pragma once

#include "uSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline double Seconds()
{
    static const double Frequency = [] {
        LARGE_INTEGER F;
        ::QueryPerformanceFrequency(&F);
        return static_cast<double>(F.QuadPart);
    }();
    LARGE_INTEGER Now;
    ::QueryPerformanceCounter(&Now);
    return static_cast<double>(Now.QuadPart) / Frequency;
}

// The fastest of Runs runs of Fn: the least disturbed by other work on a
// shared machine.
inline double Best(int Runs, const std::function<void()>& Fn)
{
    double Result = 1e30;
    for (int I = 0; I < Runs; ++I) {
        const double Start = Seconds();
        Fn();
        Result = std::min(Result, Seconds() - Start);
    }
    return Result;
}

inline std::wstring ModuleDir()
{
    wchar_t Path[MAX_PATH];
    const DWORD Length = ::GetModuleFileNameW(nullptr, Path, MAX_PATH);
    std::wstring Result(Path, Length);
    return Result.substr(0, Result.find_last_of(L'\\'));
}

inline std::wstring FakeCtags()
{
    return ModuleDir() + L"\\fakectags.exe";
}

class TScratch {
public:
    TScratch()
    {
        wchar_t Base[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, Base);
        FPath = std::wstring(Base) + L"lodestar-bench-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(FPath.c_str(), nullptr);
    }
    ~TScratch() { DeleteDirectoryTree(FPath); }
    std::wstring operator/(const std::wstring& Name) const { return FPath + L"\\" + Name; }

private:
    std::wstring FPath;
};

inline void WriteFileBytes(const std::wstring& Path, const std::string& Bytes)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD Done = 0;
    ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
    ::CloseHandle(H);
}

// Makes every fakectags started from now on run Script.
inline void UseScript(const TScratch& Dir, const std::wstring& Name, const std::string& Script)
{
    WriteFileBytes(Dir / Name, Script);
    ::SetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", (Dir / Name).c_str());
}

} // namespace bench
