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
