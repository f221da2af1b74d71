// lodestar-host.exe driven by --keys, the way a person drives it from a
// terminal: the screens it prints are what a person would see, so the
// checks read them as text. The runs that list tags use ctags-bridge and the
// machine's ctags, and are skipped where the bridge cannot run one.
#include "ToolSupport.h"

#include "base/uProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

using ::testing::Contains;
using ::testing::HasSubstr;
using toolsupport::ProgramFolder;
using toolsupport::ReadFileBytes;
using toolsupport::TScratchDir;

namespace {

struct TRun {
    std::uint32_t ExitCode = 0;
    // What each Screen key printed, then the last screen (--screen).
    std::vector<std::vector<std::wstring>> Screens;
    std::wstring Errors;
};

std::wstring Bridge()
{
    return ProgramFolder() + L"\\ctags-bridge.exe";
}

// The row of Screen holding Text, or "".
std::wstring RowWith(const std::vector<std::wstring>& Screen, const std::wstring& Text)
{
    for (const std::wstring& Row : Screen)
        if (Row.find(Text) != std::wstring::npos)
            return Row;
    return std::wstring();
}

// The rows of the function list that show a tag: "│ LINE|NAME |KIND".
std::vector<std::wstring> TagRows(const std::vector<std::wstring>& Screen)
{
    // Line, name, the scope where the list has that column, kind.
    static const std::wregex Tag(L"\u2502  [ \\d]+\\|\\S+ +(\\|[^|\u2502]*)?\\|\\w+ *[\u2502\u25B2\u25BC\u2588\u2591]");
    std::vector<std::wstring> Rows;
    for (const std::wstring& Row : Screen)
        if (std::regex_search(Row, Tag))
            Rows.push_back(Row);
    return Rows;
}

class ConsoleHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\examples\\geometry.c").c_str(), Source().c_str(), FALSE))
            << "examples\\geometry.c is not copied beside the tests";
    }

    void NeedCtags()
    {
        TStrings Output, Errors;
        std::uint32_t ExitCode = 0;
        ASSERT_TRUE(RunProcess(QuotedStr(Bridge()) + L" --version", static_cast<const TStrings*>(nullptr), &Output,
                               &Errors, ExitCode, SW_HIDE, 0));
        if (ExitCode == 127)
            GTEST_SKIP() << "no Linux ctags to bridge to";
    }

    std::wstring Source() const { return FDir / L"geometry.c"; }

    // The line of the source that starts with Text, counted from 1.
    int LineOf(const std::string& Text) const
    {
        const std::string Bytes = ReadFileBytes(Source());
        int Line = 1;
        for (size_t Pos = 0; Pos < Bytes.size(); Pos = Bytes.find('\n', Pos) + 1, ++Line)
            if (Bytes.compare(Pos, Text.size(), Text) == 0)
                return Line;
        return 0;
    }

    TRun Host(const std::wstring& Keys, const std::wstring& Ctags, std::wstring File = std::wstring())
    {
        if (File.empty())
            File = Source();
        std::wstring Command = QuotedStr(ProgramFolder() + L"\\lodestar-host.exe") + L" --size 100x30 --screen" +
                               L" --profile " + QuotedStr(FDir / L"profile") + L" --keys " + QuotedStr(Keys);
        if (!Ctags.empty())
            Command += L" --ctags " + QuotedStr(Ctags);
        Command += L" " + QuotedStr(File);
        TStrings Output, Errors;
        TRun Run;
        EXPECT_TRUE(
            RunProcess(Command, static_cast<const TStrings*>(nullptr), &Output, &Errors, Run.ExitCode, SW_HIDE, 0));
        Run.Screens.emplace_back();
        for (const std::wstring& Line : Output) {
            if (Line == L"\f")
                Run.Screens.emplace_back();
            else
                Run.Screens.back().push_back(Line);
        }
        for (const std::wstring& Line : Errors)
            Run.Errors += Line + L"\n";
        return Run;
    }

    std::string Profile() const { return ReadFileBytes(FDir / L"profile\\settings.txt"); }

    TScratchDir FDir;
};

} // namespace

TEST_F(ConsoleHostTest, TheFunctionListShowsTheTagsFiltersAndMovesTheCursor)
{
    NeedCtags();
    const TRun Run = Host(L"F11 Enter Screen 'hull' Wait:1500 Screen Enter", Bridge());
    ASSERT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Run.Errors);
    ASSERT_EQ(Run.Screens.size(), 3u);

    // Every tag: its line right-aligned, its name, its kind.
    const std::vector<std::wstring> All = TagRows(Run.Screens[0]);
    EXPECT_GE(All.size(), 10u);
    EXPECT_THAT(All, Contains(HasSubstr(L"\u2502   36|box ")));
    EXPECT_THAT(RowWith(All, L"|box_empty "),
                HasSubstr(L"\u2502  " + std::to_wstring(LineOf("box box_empty(")) + L"|box_empty "));
    EXPECT_THAT(RowWith(All, L"|box_empty "), HasSubstr(L"|function "));
    // More tags than rows: a scroll bar in the list's right border.
    EXPECT_THAT(All.front(), HasSubstr(L"\u25B2 \u2551"));
    EXPECT_THAT(All.back(), HasSubstr(L"\u25BC \u2551"));

    const std::wstring Hull = std::to_wstring(LineOf("size_t convex_hull("));
    const std::vector<std::wstring> Filtered = TagRows(Run.Screens[1]);
    ASSERT_EQ(Filtered.size(), 1u);
    EXPECT_THAT(Filtered[0], HasSubstr(L"\u2502  " + Hull + L"|convex_hull "));
    EXPECT_THAT(Run.Screens[2].front(), HasSubstr(L"Ln " + Hull + L"/"));
}

TEST_F(ConsoleHostTest, AFunctionTypedIntoTheBufferIsListedBeforeSaving)
{
    NeedCtags();
    const std::string Before = ReadFileBytes(Source());
    const TRun Run = Host(L"C-End Enter 'int brand_new(void) { return 1; }' F11 Enter 'brand' Wait:1500 Screen Enter",
                          Bridge());
    ASSERT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Run.Errors);
    ASSERT_EQ(Run.Screens.size(), 2u);
    const std::wstring Last = std::to_wstring(LineOf("#endif /* GEOMETRY_DEMO */") + 2);
    EXPECT_THAT(Run.Screens[0].front(), HasSubstr(L"*  Ln " + Last + L"/" + Last));
    const std::vector<std::wstring> Rows = TagRows(Run.Screens[0]);
    ASSERT_EQ(Rows.size(), 1u);
    EXPECT_THAT(Rows[0], HasSubstr(L"\u2502  " + Last + L"|brand_new "));
    EXPECT_THAT(Run.Screens[1].front(), HasSubstr(L"Ln " + Last + L"/"));
    // The keys ran out in the editor: it closed without saving.
    EXPECT_EQ(ReadFileBytes(Source()), Before);
}

TEST_F(ConsoleHostTest, TheHostsWindowsAreDrawnAsTheHostDrawsThem)
{
    struct {
        const wchar_t* Keys;
        std::vector<std::wstring> Rows;
    } const Cases[] = {
        {L"F11 Screen Esc",
         {L"\u2550 Plugin commands \u2550", L"\u2551 Lodestar: function list ", L"\u2551 Lodestar: go to definition "}},
        {L"F9 Screen Esc", {L"\u2554\u2550 Plugins configuration \u2550\u2557"}},
        // ctags is nowhere: the plugin's warning, its "&OK" a button.
        {L"F11 Enter Screen Esc",
         {L"\u2551 The ctags program was not found: \u2551", L"{ OK }", L"\u255F\u2500\u2500"}},
        {L"F9 Enter Screen Esc",
         {L"\u2551 Path to ctags.exe:", L"\u2193\u2551", L"\u2551 [x] Filter the list after a pause in typing of",
          L"\u2551     300   ms", L"\u255F\u2500", L"{ OK } [ Cancel ]", L"\u2550 Lodestar \u2550"}},
    };
    for (const auto& Case : Cases) {
        const TRun Run = Host(Case.Keys, L"C:\\nowhere\\ctags.exe");
        EXPECT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Run.Errors);
        ASSERT_GE(Run.Screens.size(), 1u);
        for (const std::wstring& Row : Case.Rows)
            EXPECT_NE(RowWith(Run.Screens[0], Row), L"")
                << ::testing::PrintToString(Case.Keys) << " lacks " << ::testing::PrintToString(Row);
    }
}

TEST_F(ConsoleHostTest, OptionsSetInTheDialogAreThereNextTimeButALentCtagsIsNot)
{
    const std::wstring Lent = L"C:\\lent\\ctags.exe";
    // OK on the lent path as shown keeps nothing of it.
    EXPECT_EQ(Host(L"F9 Enter Enter", Lent).ExitCode, 0u);
    EXPECT_THAT(Profile(), ::testing::Not(HasSubstr("lent")));

    const TRun Set = Host(L"F9 Enter Screen 'C:\\tools\\ctags.exe' Tab Tab '750' Enter F10", Lent);
    EXPECT_EQ(Set.ExitCode, 0u) << ::testing::PrintToString(Set.Errors);
    EXPECT_NE(RowWith(Set.Screens[0], L"\u2551 " + Lent), L"");

    const TRun Again = Host(L"M-S-F9 Enter Screen Esc", Lent);
    EXPECT_EQ(Again.ExitCode, 0u) << ::testing::PrintToString(Again.Errors);
    EXPECT_NE(RowWith(Again.Screens[0], L"\u2551 C:\\tools\\ctags.exe "), L"");
    EXPECT_NE(RowWith(Again.Screens[0], L"\u2551     750   ms"), L"");
}

TEST_F(ConsoleHostTest, F2SavesTheEditsWithTheFilesOwnLineEndsAndMark)
{
    const std::wstring File = FDir / L"crlf.c";
    ASSERT_TRUE(toolsupport::WriteBytes(File, "\xEF\xBB\xBFint a;\r\nint b;\r\nint c;"));
    const TRun Run = Host(L"Down End Back Back Del 'X' Enter Screen F2", L"", File);
    EXPECT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Run.Errors);
    EXPECT_EQ(ReadFileBytes(File), "\xEF\xBB\xBFint a;\r\nint X\r\nint c;");
    EXPECT_THAT(Run.Screens.front().front(), HasSubstr(L"*  Ln 3/3  Col 1"));
    EXPECT_THAT(Run.Screens.back().front(), HasSubstr(L"   Ln 3/3  Col 1"));
}

TEST_F(ConsoleHostTest, QuittingAModifiedFileAsksWhetherToSaveIt)
{
    struct {
        const wchar_t* Keys;
        std::string Saved; // what the file starts with now
    } const Cases[] = {
        {L"'x' F10 Enter", "x/*"},
        {L"'x' F10 Right Enter", "/*"},
        {L"'x' Esc d", "/*"},                          // the button's hotkey
        {L"'x' F10 Right Right Enter 'y' F2", "xy/*"}, // went on editing
    };
    const std::string Before = ReadFileBytes(Source());
    for (const auto& Case : Cases) {
        const TRun Run = Host(Case.Keys, L"");
        EXPECT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Case.Keys) << ::testing::PrintToString(Run.Errors);
        const std::string Now = ReadFileBytes(Source());
        EXPECT_EQ(Now.substr(0, Case.Saved.size()), Case.Saved) << ::testing::PrintToString(Case.Keys);
        EXPECT_EQ(Now.size(), Before.size() + Case.Saved.size() - 2) << ::testing::PrintToString(Case.Keys);
        ASSERT_TRUE(toolsupport::WriteBytes(Source(), Before));
    }
}

TEST_F(ConsoleHostTest, AConsoleResizeReachesTheDialogAndTheEditor)
{
    const TRun Run = Host(L"F9 Enter Screen Size:64x25 Screen Esc", L"");
    EXPECT_EQ(Run.ExitCode, 0u) << ::testing::PrintToString(Run.Errors);
    ASSERT_EQ(Run.Screens.size(), 3u);
    const auto FrameWidth = [](const std::vector<std::wstring>& Screen) {
        const std::wstring Row = RowWith(Screen, L"\u2550 Lodestar \u2550");
        return Row.find(L'\u2557') - Row.find(L'\u2554');
    };
    // The plugin lays its dialog out again for the new size (at 100
    // columns it is as wide as its content needs, 70; at 64 it gives way).
    EXPECT_EQ(Run.Screens[0].size(), 30u);
    EXPECT_EQ(Run.Screens[1].size(), 25u);
    EXPECT_EQ(FrameWidth(Run.Screens[0]) - FrameWidth(Run.Screens[1]), 10u);
    EXPECT_THAT(Run.Screens[2].back(), HasSubstr(L"2Save"));
    EXPECT_EQ(Run.Screens[2].size(), 25u);
}

TEST_F(ConsoleHostTest, AWrongCommandLineEndsWithTwoAndSaysWhy)
{
    struct {
        std::wstring Arguments;
        std::wstring Said;
    } const Cases[] = {
        {L"--keys \"F11 'open\" x.c", L"unterminated text"},
        {L"--keys \"F13\" x.c", L"unknown key: F13"},
        {L"--size 5x5 --keys F10 x.c", L"--size"},
        {L"--plugin nothing.dll --keys F10 x.c", L"did not load"},
        {L"--keys F10", L"no file to edit"},
    };
    for (const auto& Case : Cases) {
        TStrings Output, Errors;
        std::uint32_t ExitCode = 0;
        ASSERT_TRUE(RunProcess(QuotedStr(ProgramFolder() + L"\\lodestar-host.exe") + L" " + Case.Arguments,
                               static_cast<const TStrings*>(nullptr), &Output, &Errors, ExitCode, SW_HIDE, 0));
        EXPECT_EQ(ExitCode, 2u) << ::testing::PrintToString(Case.Arguments);
        std::wstring Said;
        for (const std::wstring& Line : Errors)
            Said += Line + L"\n";
        EXPECT_THAT(Said, HasSubstr(Case.Said)) << ::testing::PrintToString(Case.Arguments);
    }
}
