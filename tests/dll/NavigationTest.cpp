// The whole command through the DLL: from the editor's plugins menu or a
// macro to the cursor on the chosen function, and every way it can stop.
#include "DllTestSupport.h"
#include "bridge/TestConsole.h"

#include "base/Handle.h"

#include <thread>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

class NavigationTest : public TDllTest {};

std::string CrLf(const std::string& Text)
{
    std::string Result;
    for (const char C : Text)
        Result += C == '\n' ? std::string("\r\n") : std::string(1, C);
    return Result;
}

} // namespace

TEST_F(NavigationTest, TheMenuCommandListsTheFilesTagsFiltersAndJumps)
{
    Load();
    const TScript Steer(Dir, "keep " + WideToUtf8(Dir / L"seen.c") + "\nctags\n");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    Editor.CurLine = 16; // inside main
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   // Sorted by name, three columns, the enclosing tag current.
                   const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[3]);
                   ASSERT_EQ(Rows.size(), 5u);
                   EXPECT_EQ(Rows[0].substr(0, 9), L"  8|area ");
                   EXPECT_EQ(Rows[1].substr(0, 10), L"  1|LIMIT ");
                   EXPECT_THAT(Rows[1], HasSubstr(L"|macro"));
                   EXPECT_EQ(Rows[2].substr(0, 9), L" 14|main ");
                   EXPECT_EQ(Live.Items[3].List.CurPos, 2);
                   EXPECT_EQ(Live.Items[4].Data, L"int main(void)");
               })
               .Type(L"PoInT")
               .Check([](THostDialog& Live) { EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 2u); })
               .Key(VK_DOWN)
               .Enter());
    EXPECT_EQ(Host->OpenFromEditor(), nullptr);
    // ctags read the editor's lines, in UTF-8 with CR LF (the editor shows
    // an empty last line after the file's last line end).
    EXPECT_EQ(tagstest::ReadFileBytes(Dir / L"seen.c"), "\xEF\xBB\xBF" + CrLf(TaggedSource) + "\r\n");
    EXPECT_EQ(Editor.CurLine, 19);
    EXPECT_EQ(Editor.TopScreenLine, 14);
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(NavigationTest, NamesInAnyScriptShowAndFilterFromAFileAndFromAModifiedBuffer)
{
    Load();
    const TScript Steer(Dir, "keep " + WideToUtf8(Dir / L"seen.c") + "\nctags\n");
    // A UTF-8 file as it is on disk.
    TEditor& Editor = OpenSource(L"main.c", "int \xC3\xA9t\xC3\xA9(void)\n{\n}\nint \xC3\x89lan(void)\n{\n}\n");
    Editor.CurLine = 4;
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[3]);
                   ASSERT_EQ(Rows.size(), 2u);
                   EXPECT_EQ(Rows[0].substr(0, 9), L"  4|Élan ");
                   EXPECT_EQ(Rows[1].substr(0, 8), L"  1|été ");
               })
               .Type(L"ÉT")
               .Check([](THostDialog& Live) { EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 1u); })
               .Enter());
    Host->OpenFromEditor();
    EXPECT_EQ(Editor.CurLine, 0);

    // The buffer changed, Cyrillic names in it: tagged as it stands.
    Editor.SetText(L"int жук(void)\n{\n}\nint Жаба(void)\r\n{\n}\n");
    Editor.Unsaved = true;
    Editor.CurLine = 5;
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[3]);
                   ASSERT_EQ(Rows.size(), 2u);
                   EXPECT_EQ(Rows[0].substr(0, 9), L"  4|Жаба ");
                   EXPECT_EQ(Rows[1].substr(0, 8), L"  1|жук ");
               })
               .Type(L"ЖУ")
               .Check([](THostDialog& Live) { EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 1u); })
               .Enter());
    Host->OpenFromEditor();
    EXPECT_EQ(
        tagstest::ReadFileBytes(Dir / L"seen.c"),
        "\xEF\xBB\xBFint \xD0\xB6\xD1\x83\xD0\xBA(void)\r\n{\r\n}\r\nint \xD0\x96\xD0\xB0\xD0\xB1\xD0\xB0(void)\r\n"
        "{\r\n}\r\n\r\n");
    EXPECT_EQ(Editor.CurLine, 0);
}

TEST_F(NavigationTest, TheFilterStartsFromTheSelectionOrAMatchingWordAndTheContextFollowsTheRow)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    const std::string Long(150, 'x');
    TEditor& Editor = OpenSource(L"main.c", std::string(TaggedSource) + "int tail(void) /* " + Long + " */\n}\n");
    const auto Filter = [](const wchar_t* Expected) {
        return [Expected](THostDialog& Live) { EXPECT_EQ(Live.Items[2].Data, Expected); };
    };
    // The word under the cursor, which a tag contains.
    Editor.CurLine = 15;
    Editor.CurPos = 7;
    Script(TDialogScript().Check(Filter(L"print_point")).Esc());
    Host->OpenFromEditor();
    // A word no tag contains leaves the filter empty.
    Editor.CurLine = 9;
    Editor.CurPos = 11; // the w of "return w * h;"
    Script(TDialogScript().Check(Filter(L"")).Esc());
    Host->OpenFromEditor();
    // A selection, trimmed, whatever the tags are.
    Editor.SelectStream(15, 3, 15, 9);
    Script(TDialogScript()
               .Check(Filter(L"print"))
               .Type(L"tail")
               .Check([&](THostDialog& Live) {
                   // A long line goes on in pieces one shorter than the line's width.
                   const size_t Piece = static_cast<size_t>(Live.Items[4].X2 - Live.Items[4].X1);
                   const std::wstring Line = L"int tail(void) /* " + std::wstring(150, L'x') + L" */";
                   EXPECT_EQ(Live.Items[4].Data, Line.substr(0, Piece));
                   EXPECT_EQ(Live.Items[5].Data, Line.substr(Piece, Piece));
                   EXPECT_EQ(Live.Items[6].Data, Line.substr(2 * Piece, Piece));
               })
               .Esc());
    Host->OpenFromEditor();
}

TEST_F(NavigationTest, EveryStopIsOneBoxOrSilenceAndTheSnapshotAlwaysGoes)
{
    struct {
        const char* Case;
        std::string Script; // empty: ctags is missing
        TDialogScript Input;
        std::vector<std::wstring> Box;
        intptr_t Macro;
    } Cases[] = {
        {"ctags missing",
         "",
         TDialogScript(),
         {L"Lodestar", L"The ctags program was not found:", Dir / L"missing.exe", L"&OK"},
         0},
        {"ctags failing",
         "err cannot parse\nexit 4\n",
         TDialogScript(),
         {L"Lodestar", L"The ctags program failed:", L"cannot parse", L"Exit code: 4", L"&OK"},
         0},
        {"no tags",
         "exit 0\n",
         TDialogScript(),
         {L"Lodestar", L"No tags were found in the file:", Dir / L"main.c", L"&OK"},
         0},
        // Far reads line -1 as "this line": a tag outside the text is no jump.
        {"only tags outside the text",
         "out zero\\tm\\t0;\"\\tfunction\\n\nout past\\tm\\t24;\"\\tfunction\\n\n",
         TDialogScript(),
         {L"Lodestar", L"No tags were found in the file:", Dir / L"main.c", L"&OK"},
         0},
        {"a tag outside the text is not listed",
         "out zero\\tm\\t0;\"\\tfunction\\n\nout last\\tm\\t23;\"\\tfunction\\n\n",
         TDialogScript().Check([](THostDialog& Live) { EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 1u); }).Enter(),
         {},
         1},
        {"cancelled", "ctags\n", TDialogScript().Esc(), {}, 0},
        {"chosen", "ctags\n", TDialogScript().Enter(), {}, 1},
    };
    Load();
    const TEnvOverride NoPath(L"PATH", Dir.Path());
    for (auto& Case : Cases) {
        Host->ClearMessages();
        Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName",
                                   Case.Script.empty() ? Dir / L"missing.exe" : FakeCtags());
        const TScript Steer(Dir, Case.Script.empty() ? "exit 0\n" : Case.Script);
        TEditor& Editor = OpenSource(L"main.c", TaggedSource);
        Editor.Unsaved = true;
        if (Case.Input.Pending() > 0) // only a run that shows the list takes input
            Script(std::move(Case.Input));
        EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), Case.Macro) << Case.Case;
        if (Case.Box.empty())
            EXPECT_THAT(Boxes(), IsEmpty()) << Case.Case;
        else
            EXPECT_THAT(Boxes(), ElementsAre(Case.Box)) << Case.Case;
        EXPECT_THAT(LeftIn(TempDir), IsEmpty()) << Case.Case;
        Host->Editors().Close(Editor.Id);
    }

    // A failure after ctags has run: the report, and still no snapshot left.
    Host->ClearMessages();
    TEditor& Failing = OpenSource(L"main.c", TaggedSource);
    Failing.Unsaved = true;
    Host->SetFailing("DialogInit");
    EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 0);
    EXPECT_THAT(Boxes(),
                ElementsAre(ElementsAre(L"Lodestar", L"Exception occurred in function OpenW", L"EFarDialogError",
                                        L"Failed to build dialog TFunctionListDialog", L"&OK")));
    EXPECT_THAT(LeftIn(TempDir), IsEmpty());
    Host->SetFailing("DialogInit", false);
    Host->Editors().Close(Failing.Id);
    Host->ClearMessages();

    // The editor's text cannot be read.
    Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", FakeCtags());
    OpenSource(L"main.c", TaggedSource);
    Host->SetFailing("ECTL_GETFILENAME");
    EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 0);
    EXPECT_THAT(Boxes(), ElementsAre(ElementsAre(L"Lodestar", L"Cannot read the editor's text", L"&OK")));
}

TEST_F(NavigationTest, OnlyTheExactMacroArgumentRunsTheCommand)
{
    Load();
    OpenSource(L"main.c", TaggedSource);
    for (auto Args : {std::vector<TMacroValue>{},
                      {TMacroValue::Str(L"Execute")},
                      {TMacroValue::Int(1)},
                      {TMacroValue::Str(L"execute ")}}) {
        EXPECT_EQ(Macro(std::move(Args)), 0);
    }
    EXPECT_EQ(Host->CallCount("DialogInit"), 0u);
    EXPECT_THAT(Boxes(), IsEmpty());
    // Other ways to open do nothing either.
    EXPECT_EQ(Host->Open(far3::OPEN_PLUGINSMENU, nullptr, 0), nullptr);
    EXPECT_EQ(Host->CallCount("DialogInit"), 0u);
    // From the panels, with the editor behind them: a box says where the
    // command works, and the editor's text is not read.
    Host->Editors().Activate(1);
    ASSERT_EQ(Host->Editors().Windows().back().Type, far3::WTYPE_PANELS);
    EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 0);
    EXPECT_THAT(Boxes(),
                ElementsAre(ElementsAre(L"Lodestar",
                                        L"The function list works in Far's editor: open a file there first.", L"&OK")));
    EXPECT_EQ(Host->CallCount("ECTL_GETSTRING"), 0u);
}

TEST_F(NavigationTest, WithTheDelayOptionTheListFiltersAfterThePauseOnTheHostsThread)
{
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 1);
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", 300);
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenSource(L"main.c", TaggedSource);
    size_t SetsBefore = 0;
    Script(TDialogScript()
               .Check([&](THostDialog&) { SetsBefore = Host->CallCount("DM_LISTSET"); })
               .Type(L"ma")
               .Check([&](THostDialog& Live) {
                   // Nothing yet: typing goes on.
                   EXPECT_EQ(Host->CallCount("DM_LISTSET"), SetsBefore);
                   EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 5u);
               })
               .Wait(800)
               .Check([&](THostDialog& Live) {
                   EXPECT_EQ(Host->CallCount("DM_LISTSET"), SetsBefore + 1);
                   EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 1u);
               })
               .Esc());
    Host->OpenFromEditor();
}

TEST_F(NavigationTest, CtagsBesideTheDllIsUsedWhenNoPathIsSet)
{
    const std::wstring Folder = PluginDir + L"\\ctags";
    ::CreateDirectoryW(Folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(FakeCtags().c_str(), (Folder + L"\\ctags.exe").c_str(), FALSE));
    Load(L"");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    Script(TDialogScript().Type(L"area").Enter());
    EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 1);
    EXPECT_EQ(Editor.CurLine, 7);
}

// With the options empty a file manager's current folder is whatever folder
// the panel shows, a downloaded one too: a ctags.exe there must never run.
TEST_F(NavigationTest, ACtagsInTheCurrentFolderNeverRunsOneOnPathDoes)
{
    // ctags says which folder it runs in, its own: the box tells which ran.
    const TScript Steer(Dir, "cwd err\nexit 5\n");
    const std::wstring Downloads = Dir / L"downloads";
    const std::wstring Tools = Dir / L"tools";
    for (const std::wstring& Folder : {Downloads, Tools}) {
        ::CreateDirectoryW(Folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW(FakeCtags().c_str(), (Folder + L"\\ctags.exe").c_str(), FALSE));
    }
    const std::wstring Saved = GetCurrentDir();
    SetCurrentDir(Downloads);
    const auto Restore = ScopeExit([&] { SetCurrentDir(Saved); });
    auto Path = std::make_unique<TEnvOverride>(L"PATH", Dir / L"empty");
    Load(L"");
    OpenSource(L"main.c", TaggedSource);
    // With nothing set, the box says where it looked.
    const std::vector<std::wstring> LookedFor = {L"Lodestar",
                                                 L"The ctags program was not found:",
                                                 L"ctags.exe",
                                                 L"It was looked for here, in this order:",
                                                 PluginDir + L"\\ctags\\ctags.exe",
                                                 PluginDir + L"\\ctags.exe",
                                                 L"then in the folders of PATH.",
                                                 L"&OK"};
    const std::vector<std::wstring> NotFound = {L"Lodestar", L"The ctags program was not found:", L"ctags.exe", L"&OK"};
    for (const wchar_t* Setting : {L"", L"ctags.exe"}) {
        Host->ClearMessages();
        Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Setting);
        EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 0);
        EXPECT_THAT(Boxes(), ElementsAre(*Setting ? NotFound : LookedFor))
            << "setting: " << ::testing::PrintToString(std::wstring(Setting));
    }
    Path.reset();
    Path = std::make_unique<TEnvOverride>(L"PATH", Dir / L"empty;" + Tools);
    Host->ClearMessages();
    EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 0);
    EXPECT_THAT(Boxes(),
                ElementsAre(ElementsAre(L"Lodestar", L"The ctags program failed:", Tools, L"Exit code: 5", L"&OK")));
}

TEST_F(NavigationTest, ATemporaryFolderThatCannotTakeTheTextIsNamedAndNothingIsWrittenElsewhere)
{
    Load();
    const std::wstring Here = Dir / L"here";
    ::CreateDirectoryW(Here.c_str(), nullptr);
    const std::wstring Saved = GetCurrentDir();
    SetCurrentDir(Here);
    const auto Restore = ScopeExit([&] { SetCurrentDir(Saved); });
    tagstest::WriteFileBytes(Dir / L"a-file", "not a folder");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    Editor.Unsaved = true;
    for (const std::wstring& Unusable : {Dir / L"missing", Dir / L"a-file"}) {
        const TEnvOverride Tmp(L"TMP", Unusable);
        const TEnvOverride Temp(L"TEMP", Unusable);
        Host->ClearMessages();
        EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 0);
        EXPECT_THAT(Boxes(),
                    ElementsAre(ElementsAre(L"Lodestar", L"The temporary folder cannot take the editor's text:",
                                            Unusable + L"\\", L"&OK")));
        EXPECT_THAT(LeftIn(Here), IsEmpty());
    }
    EXPECT_EQ(Editor.Text(), CodePageToWide(CP_UTF8, TaggedSource));
}

// A ctags that never ends must not freeze the host: Esc ends it.
TEST_F(NavigationTest, EscEndsAHungCtagsWithoutABoxOrAnythingLeftBehind)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    const std::wstring Started = Dir / L"started";
    const std::wstring Finished = Dir / L"finished";
    // ctags makes a temporary file of its own, as Universal Ctags does.
    const std::wstring Made = Dir / L"made";
    const auto Narrow = [](const std::wstring& Text) { return std::string(Text.begin(), Text.end()); };
    const TScript Hang(Dir, "tmpfile " + Narrow(Made) + "\npid " + Narrow(Started) + "\nsleep 90000\npid " +
                                Narrow(Finished) + "\n");
    Load();
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    Editor.Unsaved = true; // so that there is a snapshot to clean up
    // The user presses Esc once ctags runs; this is a hang check, so the
    // wait is far beyond what any machine needs to start a program.
    std::thread User([&] {
        for (int I = 0; I < 6000 && !FileExists(Started); ++I)
            ::Sleep(10);
        Console.Write({TTestConsole::Key(VK_ESCAPE)});
    });
    const HANDLE Result = Host->OpenFromEditor();
    User.join();
    EXPECT_EQ(Result, nullptr);
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_THAT(Host->Editors().PositionRequests, IsEmpty());
    EXPECT_EQ(Host->SavedScreenCount(), 0u);
    // ctags was ended and waited for before the command returned.
    ASSERT_TRUE(FileExists(Started));
    TKernelHandle Child(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(toolsupport::ReadFileBytes(Started))));
    if (Child) {
        EXPECT_EQ(::WaitForSingleObject(Child.get(), 0), WAIT_OBJECT_0);
    }
    EXPECT_FALSE(FileExists(Finished));
    // Its temporary file was in a folder of ours, and that folder is gone
    // now, not at unload.
    const std::wstring Temporary = CodePageToWide(CP_UTF8, toolsupport::ReadFileBytes(Made));
    EXPECT_EQ(Temporary.rfind(TempDir + L"\\", 0), 0u) << WideToUtf8(Temporary);
    EXPECT_FALSE(FileExists(Temporary));
    EXPECT_THAT(LeftIn(TempDir), IsEmpty());
}

// A ctags that writes without end, as fast as it can: Esc still ends it at
// once; without Esc it is ended once it has written more than the plugin
// holds, with a box that says so. Its error output is held to 1 MiB, which
// it passes before any Esc could come.
TEST_F(NavigationTest, AFloodingCtagsEndsOnEscOrPastWhatIsHeldWithABox)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    const std::wstring Started = Dir / L"started";
    const std::string Pid = "pid " + WideToUtf8(Started) + "\n";
    const struct {
        const char* Case;
        std::string Script;
        bool Esc;
        std::vector<std::wstring> Box;
    } Cases[] = {
        {"output, Esc", Pid + "flood out\n", true, {}},
        {"output",
         Pid + "flood out\n",
         false,
         {L"Lodestar", L"ctags wrote more than 1024 MiB of tags and was stopped:", Dir / L"main.c", L"&OK"}},
        {"errors",
         Pid + "flood err\n",
         false,
         {L"Lodestar", L"ctags wrote more than 1 MiB of messages and was stopped:", Dir / L"main.c", L"&OK"}},
    };
    Load();
    for (const auto& Case : Cases) {
        Host->ClearMessages();
        ::DeleteFileW(Started.c_str());
        const TScript Flood(Dir, Case.Script);
        TEditor& Editor = OpenSource(L"main.c", TaggedSource);
        // Pressed as soon as ctags runs: on this machine it writes its
        // gigabyte in about a second, and the Esc must come before that.
        std::thread User([&] {
            for (int I = 0; Case.Esc && I < 6000 && !FileExists(Started); ++I)
                ::Sleep(10);
            if (Case.Esc)
                Console.Write({TTestConsole::Key(VK_ESCAPE)});
        });
        const intptr_t Result = Macro({TMacroValue::Str(L"execute")});
        User.join();
        EXPECT_EQ(Result, 0) << Case.Case;
        if (Case.Box.empty())
            EXPECT_THAT(Boxes(), IsEmpty()) << Case.Case;
        else
            EXPECT_THAT(Boxes(), ElementsAre(Case.Box)) << Case.Case;
        ASSERT_TRUE(FileExists(Started)) << Case.Case;
        TKernelHandle Child(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(toolsupport::ReadFileBytes(Started))));
        if (Child) {
            EXPECT_EQ(::WaitForSingleObject(Child.get(), 0), WAIT_OBJECT_0) << Case.Case;
        }
        EXPECT_THAT(LeftIn(TempDir), IsEmpty()) << Case.Case;
        EXPECT_EQ(Host->SavedScreenCount(), 0u) << Case.Case;
        Host->Editors().Close(Editor.Id);
        Console.Flush();
    }
}

// What is on disk is not always what the editor shows: ctags reads the
// editor's lines, so every tag is found and each jump lands on its line.
TEST_F(NavigationTest, CtagsReadsExactlyTheLinesTheEditorShows)
{
    std::string Utf16 = "\xFF\xFE";
    for (const char C : std::string(TaggedSource))
        Utf16 += std::string(1, C) + '\0';
    std::string CrOnly = TaggedSource;
    std::replace(CrOnly.begin(), CrOnly.end(), '\n', '\r');
    // A stray CR the editor breaks the line at, where ctags would not.
    std::string StrayCr = std::string("/* note\rmore */\n") + TaggedSource;
    struct {
        const char* Case;
        std::string OnDisk; // empty: deleted
        std::wstring Shown; // what the editor shows
    } const Cases[] = {
        {"UTF-16", Utf16, CodePageToWide(CP_UTF8, TaggedSource)},
        {"CR line ends", CrOnly, CodePageToWide(CP_UTF8, CrOnly)},
        {"a stray CR", StrayCr, CodePageToWide(CP_UTF8, StrayCr)},
        {"changed behind the editor", "int other;\n", CodePageToWide(CP_UTF8, TaggedSource)},
        {"deleted behind the editor", "", CodePageToWide(CP_UTF8, TaggedSource)},
    };
    Load();
    const TScript Steer(Dir, "keep " + WideToUtf8(Dir / L"seen.c") + "\nctags\n");
    for (const auto& Case : Cases) {
        ::DeleteFileW((Dir / L"main.c").c_str());
        if (!Case.OnDisk.empty())
            tagstest::WriteFileBytes(Dir / L"main.c", Case.OnDisk);
        TEditor& Editor = Host->Editors().Open(Dir / L"main.c", Case.Shown);
        Script(TDialogScript().Type(L"main").Enter());
        Host->OpenFromEditor();
        std::string Lines = "\xEF\xBB\xBF";
        for (const auto& Line : Editor.Lines)
            Lines += WideToUtf8(Line.Text) + "\r\n";
        EXPECT_EQ(tagstest::ReadFileBytes(Dir / L"seen.c"), Lines) << Case.Case;
        ASSERT_LT(static_cast<size_t>(Editor.CurLine), Editor.Lines.size()) << Case.Case;
        EXPECT_EQ(Editor.Lines[static_cast<size_t>(Editor.CurLine)].Text, L"int main(void)") << Case.Case;
        EXPECT_THAT(Boxes(), IsEmpty()) << Case.Case;
        Host->Editors().Close(Editor.Id);
    }
}

// ctags knows many files by their whole name, not an extension, and a
// script by its "#!" line.
TEST_F(NavigationTest, AModifiedMakefileOrCMakeListsKeepsItsNameForCtags)
{
    const std::wstring Bridge = toolsupport::ProgramFolder() + L"\\ctags-bridge.exe";
    TStrings Output, Errors;
    std::uint32_t ExitCode = 0;
    ASSERT_TRUE(RunProcess(QuotedStr(Bridge) + L" --version", static_cast<const TStrings*>(nullptr), &Output, &Errors,
                           ExitCode, SW_HIDE, 0));
    if (ExitCode == 127)
        GTEST_SKIP() << "no Linux ctags to bridge to";
    Load(Bridge);
    const struct {
        const wchar_t* Name;
        const char* Text;
        const wchar_t* Filter;
        intptr_t Line;
    } Cases[] = {
        {L"Makefile", "all: prog\n\nprog: main.o\n\tcc -o prog main.o\n", L"prog", 2},
        {L"CMakeLists.txt", "cmake_minimum_required(VERSION 3.21)\nfunction(add_thing name)\nendfunction()\n",
         L"add_thing", 1},
        // No extension: ctags reads the language from the first line.
        {L"script", "#!/usr/bin/env python3\n\ndef hello():\n    pass\n", L"hello", 2},
    };
    for (const auto& Case : Cases) {
        TEditor& Editor = OpenSource(Case.Name, "");
        Editor.SetText(CodePageToWide(CP_UTF8, Case.Text));
        Editor.Unsaved = true;
        Script(TDialogScript().Type(Case.Filter).Enter());
        Host->OpenFromEditor();
        EXPECT_THAT(Boxes(), IsEmpty()) << WideToUtf8(Case.Name);
        EXPECT_EQ(Editor.CurLine, Case.Line) << WideToUtf8(Case.Name);
        Host->Editors().Close(Editor.Id);
    }
}

// Esc while a large buffer is written for ctags ends the command as Esc
// during the ctags run does: silently, with nothing left behind.
TEST_F(NavigationTest, EscWhileTheSnapshotIsWrittenEndsTheCommandSilently)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    const std::wstring Started = Dir / L"started";
    const TScript Steer(Dir, "pid " + WideToUtf8(Started) + "\nctags\n");
    Load();
    std::string Text;
    for (int I = 0; I < 20000; ++I)
        Text += "int f" + std::to_string(I) + "(void);\n";
    TEditor& Editor = OpenSource(L"main.c", Text);
    Editor.Unsaved = true;
    Host->Editors().BeforeCommand = [&](far3::EDITOR_CONTROL_COMMANDS Command, intptr_t, void* Param2) {
        if (Command == far3::ECTL_GETSTRING && static_cast<far3::EditorGetString*>(Param2)->StringNumber == 5000)
            Console.Write({TTestConsole::Key(VK_ESCAPE)});
        return true;
    };
    EXPECT_EQ(Host->OpenFromEditor(), nullptr);
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_EQ(Host->DialogCount(), 0u);
    EXPECT_THAT(Host->Editors().PositionRequests, IsEmpty());
    EXPECT_FALSE(FileExists(Started));
    EXPECT_EQ(Editor.CurLine, 0);
}

// Far edits "aux.c" as a file, but under that name in any folder Windows
// opens the AUX device: the snapshot takes another name, by whose
// extension ctags still knows the language.
TEST_F(NavigationTest, AFileNamedLikeADeviceStillGetsItsTags)
{
    Load();
    const TScript Steer(Dir, "name " + WideToUtf8(Dir / L"seen") + "\nctags\n");
    const struct {
        const wchar_t* Edited;
        const wchar_t* Snapshot;
    } Cases[] = {{L"aux.c", L"aux_.c"},   {L"NUL.c", L"NUL_.c"},           {L"con.h", L"con_.h"},
                 {L"com1.c", L"com1_.c"}, {L"Lpt9.tar.c", L"Lpt9_.tar.c"}, {L"prn", L"prn_"}};
    for (const auto& Case : Cases) {
        TEditor& Editor = Host->Editors().Open(Dir / Case.Edited, CodePageToWide(CP_UTF8, TaggedSource));
        Editor.Unsaved = true;
        Script(TDialogScript().Type(L"main").Enter());
        EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 1) << WideToUtf8(Case.Edited);
        EXPECT_THAT(CodePageToWide(CP_UTF8, tagstest::ReadFileBytes(Dir / L"seen")),
                    ::testing::EndsWith(std::wstring(L"\\") + Case.Snapshot));
        Host->Editors().Close(Editor.Id);
    }
    EXPECT_THAT(Boxes(), IsEmpty());
}

// A Far killed in the middle of a command leaves its snapshot folder; the
// next start removes it, and only it.
TEST_F(NavigationTest, TheNextStartRemovesWhatAKilledFarLeftBehind)
{
    wchar_t Name[48];
    std::swprintf(Name, 48, L"ctagstemp-%lx-0", tagstest::EndedProcessId());
    ::CreateDirectoryW((TempDir + L"\\" + Name).c_str(), nullptr);
    tagstest::WriteFileBytes(TempDir + L"\\" + Name + L"\\main.c", "unsaved text");
    Load();
    EXPECT_THAT(LeftIn(TempDir), IsEmpty());
}
