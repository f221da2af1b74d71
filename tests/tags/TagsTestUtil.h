// Shared helpers of the tags tests: a scratch folder, files, and fakectags
// steered by a script.
#pragma once

#include "ToolSupport.h"
#include "base/uProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tagstest {

using toolsupport::FakeCtags;
using toolsupport::ReadFileBytes;
using toolsupport::TScratchDir;

inline void WriteFileBytes(const std::wstring& Path, const std::string& Bytes)
{
    ASSERT_TRUE(toolsupport::WriteBytes(Path, Bytes)) << "cannot write the test file";
}

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
    return RunProcess(QuotedStr(FakeCtags()), Input, Output, Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, {}, {},
                      Deadline);
}

} // namespace tagstest
