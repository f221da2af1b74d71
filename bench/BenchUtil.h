// Shared pieces of the benchmarks: a clock, a scratch folder, and
// fakectags steered by a script.
#pragma once

#include "ToolSupport.h"
#include "base/uSystem.h"

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

// The middle of the values: the figures are medians of runs taken
// in turn with their baselines.
inline double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// The textbook way to send a program's standard output to a file: the file
// as the child's handle, started as the runner starts its children (a
// console of its own, hidden), waited for. What this costs is the platform's
// price of a child writing a file, whoever reads it afterwards.
// Starts CommandLine as the runner starts its children (a console of its
// own, hidden) with the given standard handles, which it inherits.
inline bool StartHidden(const std::wstring& CommandLine, HANDLE Input, HANDLE Output, HANDLE Errors,
                        PROCESS_INFORMATION& Info)
{
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    Startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    Startup.wShowWindow = SW_HIDE;
    Startup.hStdInput = Input;
    Startup.hStdOutput = Output;
    Startup.hStdError = Errors;
    std::wstring Line = CommandLine;
    return ::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, TRUE,
                            CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                            &Startup, &Info) != FALSE;
}

inline bool RunToFile(const std::wstring& CommandLine, const std::wstring& OutputPath)
{
    SECURITY_ATTRIBUTES Inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE File = ::CreateFileW(OutputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE Nul = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherit,
                                     OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION Info{};
    const bool Started = StartHidden(CommandLine, Nul, File, Nul, Info);
    ::CloseHandle(File);
    ::CloseHandle(Nul);
    if (!Started)
        return false;
    ::WaitForSingleObject(Info.hProcess, INFINITE);
    DWORD Code = 1;
    ::GetExitCodeProcess(Info.hProcess, &Code);
    ::CloseHandle(Info.hProcess);
    ::CloseHandle(Info.hThread);
    return Code == 0;
}

using toolsupport::FakeCtags;
using TScratch = toolsupport::TScratchDir;

inline void WriteFileBytes(const std::wstring& Path, const std::string& Bytes)
{
    toolsupport::WriteBytes(Path, Bytes);
}

// Makes every fakectags started from now on run Script.
inline void UseScript(const TScratch& Dir, const std::wstring& Name, const std::string& Script)
{
    WriteFileBytes(Dir / Name, Script);
    ::SetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", (Dir / Name).c_str());
}

} // namespace bench
