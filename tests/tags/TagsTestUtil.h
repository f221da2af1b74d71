// Shared helpers of the tags tests: a scratch folder, files, and fakectags
// steered by a script.
#pragma once

#include "ToolSupport.h"
#include "base/uProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

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
        Renew(FakeCtags());
    }
    // The end of a script gives fakectags back its own ways: another
    // ctags again.
    ~TScript()
    {
        FEnv.reset();
        Renew(FakeCtags());
    }
    TScript(const TScript&) = delete;
    TScript& operator=(const TScript&) = delete;
    // A script makes another ctags of fakectags: whoever remembers what a
    // ctags made of a text, by the program's size and time, must see a new
    // one. So its time moves on.
    static void Renew(const std::wstring& Program)
    {
        HANDLE File = ::CreateFileW(Program.c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE) << "cannot renew fakectags";
        static LONG Count = 0;
        FILETIME Now{};
        ::GetSystemTimeAsFileTime(&Now);
        ULARGE_INTEGER Time{{Now.dwLowDateTime, Now.dwHighDateTime}};
        // Distinct even within one tick of the clock.
        Time.QuadPart += static_cast<ULONGLONG>(::InterlockedIncrement(&Count));
        Now = {Time.LowPart, Time.HighPart};
        EXPECT_TRUE(::SetFileTime(File, nullptr, nullptr, &Now));
        ::CloseHandle(File);
    }
    const std::wstring& Path() const { return FPath; }

private:
    std::wstring FPath;
    std::unique_ptr<TEnvOverride> FEnv;
};

// Tags file text with | for each TAB and Break for each line end.
inline std::string TagsText(std::string_view Lines, const char* Break = "\n")
{
    std::string Text;
    for (const char C : Lines)
        Text += C == '|' ? std::string("\t") : C == '\n' ? std::string(Break) : std::string(1, C);
    return Text;
}

// The id of a process that has just ended: free until the system reuses it.
inline DWORD EndedProcessId()
{
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    PROCESS_INFORMATION Info{};
    std::wstring Line = L"cmd /c exit";
    if (!::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &Startup,
                          &Info)) {
        ADD_FAILURE() << "cannot start a process";
        return 0;
    }
    ::WaitForSingleObject(Info.hProcess, INFINITE);
    ::CloseHandle(Info.hThread);
    ::CloseHandle(Info.hProcess);
    return Info.dwProcessId;
}

// Runs fakectags with the string-list form, the way TCtags does.
inline bool RunFake(TStrings* Output, TStrings* Errors, std::uint32_t& ExitCode, const TStrings* Input = nullptr,
                    double Deadline = 0)
{
    return RunProcess(QuotedStr(FakeCtags()), Input, Output, Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, {}, {},
                      Deadline);
}

} // namespace tagstest
