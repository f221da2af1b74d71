// The editor command's steps that need no dialog: identifier characters,
// the word under the cursor, the snapshot of a modified buffer, choosing
// the ctags executable, and the error boxes.
#include "PluginTestUtil.h"
#include "plugin/uEditorTasks.h"

#include <memory>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace plugintest;

namespace {

class EditorTasksTest : public TPluginTest {};

const char* const Source = "#define LIMIT 10\n"
                           "struct point\n"
                           "int main(void)\n"
                           "{\n"
                           "  return 0;\n"
                           "}\n";

} // namespace

// The cursor lands on the name as its line defines it, not on a namesake
// before it.
TEST(NameColumn, TheDefinedNameNotAnEarlierNamesake)
{
    const struct {
        const wchar_t* Line;
        const wchar_t* Name;
        intptr_t Column;
    } Cases[] = {
        {L"Circle::Circle(int r)", L"Circle", 8},
        {L"struct point point;", L"point", 13},
        {L"struct node *node(struct node *n)", L"node", 13},
        {L"double subarea::area()", L"area", 16},
        {L"int foo = bar(foo);", L"foo", 4},
        {L"bool operator&&(const X& a)", L"operator &&", 5},
        {L"bool operator &&(const X& a)", L"operator &&", 5},
        {L"func (c *Circle) Area() float64 {", L"Area", 17},
        {L"impl Circle { fn area(&self) }", L"area", 17},
        {L"## Heading \\# one", L"Heading \\# one", 3},
        {L"    {", L"ghost", 4},
        {L"\t\tx = 1;", L"ghost", 2},
        {L"", L"ghost", 0},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(NameColumn(Case.Line, Case.Name), Case.Column) << ::testing::PrintToString(std::wstring(Case.Line));
}

TEST(IsIdentChar, AsciiAsBeforeLettersAndDigitsOfEveryScriptAndSurrogates)
{
    struct {
        wchar_t C;
        bool Ident;
    } const Cases[] = {
        {L'a', true},
        {L'Z', true},
        {L'5', true},
        {L'_', true},
        {L' ', false},
        {L'(', false},
        {L'$', false},
        {L'\t', false},
        {0x7F, false},
        // Accented Latin, Greek and Cyrillic letters are letters.
        {0x00E9, true},
        {0x03A9, true},
        {0x0416, true},
        // Symbols and punctuation beyond ASCII end a word.
        {0x00D7, false},
        {0x00A0, false},
        {0x20AC, false},
        {0x2014, false},
        // Either half of a surrogate pair.
        {0xD83D, true},
        {0xDE00, true},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(IsIdentChar(Case.C), Case.Ident) << "U+" << std::hex << static_cast<int>(Case.C);
}

TEST_F(EditorTasksTest, TheWordUnderTheCursorIsMadeOfIdentifierCharacters)
{
    struct {
        const wchar_t* Line;
        intptr_t CurPos;
        const wchar_t* Word; // null: no word
    } const Cases[] = {
        {L"x = foo_1(bar);", 5, L"foo_1"}, // on the first o
        {L"x = foo_1(bar);", 4, L"foo_1"}, // on the f
        {L"x = foo_1(bar);", 9, nullptr},  // on the bracket
        {L"x = foo_1(bar);", 1, nullptr},  // on a blank
        {L"x = foo_1(bar);", 15, nullptr}, // after the end of the line
        {L"x = foo_1(bar);", 14, nullptr}, // on the semicolon
        {L"print(naïve_Ωμέγα)", 9, L"naïve_Ωμέγα"}, {L"", 0, nullptr},
    };
    TEditor& Editor = Host->Editors().Open(L"C:\\src\\main.c", L"");
    for (const auto& Case : Cases) {
        Editor.SetText(Case.Line);
        Editor.CurPos = Case.CurPos;
        TEditorTasks Tasks;
        std::wstring Word = L"stale";
        EXPECT_EQ(Tasks.GetWordUnderCursor(Word), Case.Word != nullptr) << Case.Line << " at " << Case.CurPos;
        EXPECT_EQ(Word, Case.Word ? Case.Word : L"");
    }
}

// ctags reads the lines the editor holds, whatever is on disk, under the
// file's whole name (ctags knows a Makefile by it), in a folder of its own.
TEST_F(EditorTasksTest, EveryBufferIsWrittenToASnapshotInUtf8WithCrLfUnderItsOwnName)
{
    const wchar_t* const Names[] = {L"main.c", L"Makefile", L"dir.v2\\README"};
    for (const wchar_t* Name : Names) {
        for (const bool Unsaved : {false, true}) {
            TEditor& Editor = Host->Editors().Open(Dir / Name, L"int f(void)\n{\r\n  return '\u00e9';\n}");
            Editor.Unsaved = Unsaved;
            auto Tasks = std::make_unique<TEditorTasks>();
            std::wstring FileName;
            bool IsTemporary = false;
            TTextDigest Digest;
            ASSERT_TRUE(Tasks->PrepareFile(FileName, IsTemporary, Digest));
            EXPECT_TRUE(IsTemporary);
            const std::wstring Folder = ExtractFileDir(FileName);
            EXPECT_EQ(ExtractFileDir(Folder) + L"\\", GetTempDirectory());
            // The system's temporary names take the first three characters of the prefix.
            EXPECT_EQ(Folder.substr(Folder.find_last_of(L'\\') + 1).rfind(L"cta", 0), 0u) << Folder;
            EXPECT_EQ(FileName.substr(Folder.size() + 1),
                      std::wstring(Name).substr(std::wstring(Name).rfind(L'\\') + 1));
            EXPECT_EQ(tagstest::ReadFileBytes(FileName), "\xEF\xBB\xBF"
                                                         "int f(void)\r\n{\r\n  return '\xC3\xA9';\r\n}\r\n");
            EXPECT_EQ(Host->SavedScreenCount(), 0u) << "the progress window stayed";
            // The file and its folder go with the command's tasks at the
            // latest (after a good run, once the list has closed).
            Tasks->RunCtags(FileName, IsTemporary);
            Tasks.reset();
            EXPECT_FALSE(DirectoryExists(Folder));
            Host->ClearMessages();
            Host->Editors().Close(Editor.Id);
        }
    }
}

TEST_F(EditorTasksTest, ALineTheHostRefusesEndsTheSnapshotAndRemovesIt)
{
    TEditor& Editor = OpenSource(L"main.c", Source);
    Editor.Unsaved = true;
    Host->Editors().BeforeCommand = [](far3::EDITOR_CONTROL_COMMANDS Command, intptr_t, void* Param2) {
        return Command != far3::ECTL_GETSTRING || static_cast<far3::EditorGetString*>(Param2)->StringNumber != 3;
    };
    TEditorTasks Tasks;
    EXPECT_FALSE(Tasks.Execute());
    EXPECT_THAT(Boxes(), ElementsAre(ElementsAre(L"Lodestar", L"Cannot read the editor's text", L"&OK")));
    EXPECT_EQ(Host->CallCount("DialogInit"), 0u);
}

TEST_F(EditorTasksTest, CtagsMissingOrFailingIsOneBoxAndTheSnapshotGoes)
{
    // Which file a path the current drive anchors names depends on the
    // panel's drive; a command script would run through the interpreter.
    const std::wstring Rooted = FakeCtags().substr(2);
    const std::wstring Cmd = Dir / L"ctags.cmd";
    tagstest::WriteFileBytes(Cmd, "@echo off\r\n");
    struct {
        std::wstring Ctags;
        std::string Script;
        std::vector<std::wstring> Box;
    } const Cases[] = {
        // The box names the path configured, which is what to mend.
        {Dir / L"nowhere\\ctags.exe",
         "",
         {L"Lodestar", L"The ctags program was not found:", Dir / L"nowhere\\ctags.exe", L"&OK"}},
        {FakeCtags(),
         "err ctags: bad option\\nsecond line\nexit 3\n",
         {L"Lodestar", L"The ctags program failed:", L"ctags: bad option", L"second line", L"Exit code: 3", L"&OK"}},
        {FakeCtags(), "exit 2\n", {L"Lodestar", L"The ctags program failed:", L"Exit code: 2", L"&OK"}},
        // Thousands of lines make no box of thousands of lines.
        {FakeCtags(),
         "err 1\\n2\\n3\\n4\\n5\\n6\\n7\\n8\\n9\\n10\\n11\\n12\nexit 1\n",
         {L"Lodestar", L"The ctags program failed:", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10",
          L"\u2026", L"Exit code: 1", L"&OK"}},
        {Rooted, "", {L"Lodestar", L"The path of ctags.exe needs both its drive and its root folder:", Rooted, L"&OK"}},
        {L"C:ctags.exe",
         "",
         {L"Lodestar", L"The path of ctags.exe needs both its drive and its root folder:", L"C:ctags.exe", L"&OK"}},
        {Cmd,
         "",
         {L"Lodestar", L"The ctags program could not be started:", Cmd,
          L"It is not a program (.exe), and only a program is run.", L"&OK"}},
        {Dir.Path(), "", {L"Lodestar", L"The path of ctags.exe names a folder, not the program:", Dir.Path(), L"&OK"}},
        // With nothing set, where it was looked for.
        {L"",
         "",
         {L"Lodestar", L"The ctags program was not found:", L"ctags.exe", L"It was looked for here, in this order:",
          toolsupport::ProgramFolder() + L"\\ctags\\ctags.exe", toolsupport::ProgramFolder() + L"\\ctags.exe",
          L"then in the folders of PATH.", L"&OK"}},
    };
    const tagstest::TEnvOverride NoPath(L"PATH", Dir.Path());
    for (const auto& Case : Cases) {
        Host->ClearMessages();
        UseCtags(Case.Ctags);
        std::unique_ptr<TScript> Script;
        if (!Case.Script.empty())
            Script = std::make_unique<TScript>(Dir, Case.Script);
        TEditor& Editor = OpenSource(L"main.c", Source);
        Editor.Unsaved = true;
        TEditorTasks Tasks;
        EXPECT_FALSE(Tasks.Execute());
        EXPECT_THAT(Boxes(), ElementsAre(Case.Box));
        EXPECT_THAT(LeftIn(TempDir), IsEmpty());
        EXPECT_EQ(Host->SavedScreenCount(), 0u);
        Host->Editors().Close(Editor.Id);
    }
}

TEST_F(EditorTasksTest, NoTagsMeansABoxThatSaysSoNoDialogAndNoMove)
{
    OpenSource(L"empty.c", "/* nothing here */\n");
    TEditorTasks Tasks;
    EXPECT_FALSE(Tasks.Execute());
    EXPECT_THAT(Boxes(),
                ElementsAre(ElementsAre(L"Lodestar", L"No tags were found in the file:", Dir / L"empty.c", L"&OK")));
    EXPECT_EQ(Host->CallCount("DialogInit"), 0u);
    EXPECT_THAT(Host->Editors().PositionRequests, IsEmpty());
}

TEST_F(EditorTasksTest, TheExecutableIsTheConfiguredPathExpandedOrFoundBesideThePluginOrOnPath)
{
    const tagstest::TEnvOverride Folder(L"LODESTAR_TEST_TOOLS", toolsupport::ProgramFolder());
    struct {
        std::wstring Setting;
        std::wstring Expected;
    } const Cases[] = {
        {FakeCtags(), FakeCtags()},
        {L"%LODESTAR_TEST_TOOLS%\\fakectags.exe", FakeCtags()},
        // Relative: beside the plugin (here the test program), ".exe" added.
        {L"fakectags.exe", FakeCtags()},
        {L"fakectags", FakeCtags()},
        // Not found: the box that says so names what the user gave.
        {Dir / L"missing.exe", Dir / L"missing.exe"},
    };
    for (const auto& Case : Cases) {
        UseCtags(Case.Setting);
        TEditorTasks Tasks;
        EXPECT_EQ(Tasks.GetCtags().GetExecutableName(), Case.Expected) << Case.Setting;
    }
}
