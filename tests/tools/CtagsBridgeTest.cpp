// ctags-bridge as the plugin would use it: the machine's Linux ctags run from
// a Windows process, paths translated both ways, output and exit codes
// passed back. Skipped where the bridge cannot run a Linux ctags.
#include "ToolSupport.h"

#include "tags/uCtags.h"
#include "base/uProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using toolsupport::ProgramFolder;
using toolsupport::ReadFileBytes;
using toolsupport::TScratchDir;
using toolsupport::WriteBytes;

namespace {

// Every tag sits on a line of its own, so a wrong line number shows.
const char* const Source = "#define LIMIT 4\n"
                           "struct point {\n"
                           "    int x;\n"
                           "};\n"
                           "enum color { RED };\n"
                           "typedef int length;\n"
                           "static int twice(int v)\n"
                           "{\n"
                           "    return 2 * v;\n"
                           "}\n";

std::wstring Bridge()
{
    return ProgramFolder() + L"\\ctags-bridge.exe";
}

struct TRun {
    bool Started = false;
    std::uint32_t ExitCode = 0;
    std::wstring Output;
    std::wstring Errors;
};

TRun RunBridge(const std::wstring& Arguments)
{
    TRun Run;
    TStrings Output, Errors;
    Run.Started = RunProcess(QuotedStr(Bridge()) + L" " + Arguments, static_cast<const TStrings*>(nullptr), &Output,
                             &Errors, Run.ExitCode, SW_HIDE, 0);
    for (const std::wstring& Line : Output)
        Run.Output += Line + L"\n";
    for (const std::wstring& Line : Errors)
        Run.Errors += Line + L"\n";
    return Run;
}

class CtagsBridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const TRun Probe = RunBridge(L"--version");
        ASSERT_TRUE(Probe.Started) << "ctags-bridge.exe is not built beside the tests";
        if (Probe.ExitCode == 127)
            GTEST_SKIP() << "no Linux ctags to bridge to: " << ::testing::PrintToString(Probe.Errors);
        ASSERT_TRUE(::CreateDirectoryW(Folder().c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(SourcePath(), Source));
    }
    // A space and a letter outside ASCII, which both sides must carry over.
    std::wstring Folder() const { return FDir / L"shapes d\u00e9mo"; }
    std::wstring SourcePath() const { return Folder() + L"\\shapes.c"; }

    TScratchDir FDir;
};

} // namespace

TEST_F(CtagsBridgeTest, LoadsTheTagsOfACSourceThroughTheRunner)
{
    TCtags Tags;
    Tags.SetExecutableName(Bridge());
    Tags.LoadFromFile(SourcePath());
    std::vector<std::wstring> Found;
    for (int I = 0; I < Tags.Count(); ++I)
        Found.push_back(Tags[I]->Name + L"/" + Tags[I]->Kind + L"/" + std::to_wstring(Tags[I]->Line));
    EXPECT_EQ(Found,
              (std::vector<std::wstring>{L"color/enum/5", L"length/typedef/6", L"LIMIT/macro/1", L"point/struct/2",
                                         L"RED/enumerator/5", L"twice/function/7", L"x/member/3"}));
}

TEST_F(CtagsBridgeTest, WritesATagFileNamedByAWindowsPath)
{
    const std::wstring TagFile = Folder() + L"\\tags out";
    const TRun Run = RunBridge(L"-f " + QuotedStr(TagFile) + L" --fields=K -n " + QuotedStr(SourcePath()));
    EXPECT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Run.Errors);
    EXPECT_EQ(Run.Output, L"");
    EXPECT_NE(ReadFileBytes(TagFile).find("twice\t"), std::string::npos);
}

TEST_F(CtagsBridgeTest, FailuresComeBackAsAnExitCodeAndErrorText)
{
    struct TCase {
        std::wstring Arguments;
        std::wstring Mentioned;
    };
    const TCase Cases[] = {
        {L"-f - --fields=K -n --format=2 " + QuotedStr(Folder() + L"\\missing.c"), L"missing.c"},
        {L"--no-such-option " + QuotedStr(SourcePath()), L"no-such-option"},
    };
    for (const TCase& Case : Cases) {
        const TRun Run = RunBridge(Case.Arguments);
        EXPECT_NE(Run.ExitCode, 0u) << ::testing::PrintToString(Case.Arguments);
        EXPECT_NE(Run.Errors.find(Case.Mentioned), std::wstring::npos) << ::testing::PrintToString(Run.Errors);
        EXPECT_EQ(Run.Output, L"");
    }
}
