// The editor services as the plugin uses them against the simulated host's
// editors: reading state, names, lines and selections, and moving the cursor.
#include "PluginTestSupport.h"
#include "bridge/uFarEditor.h"
#include "plugin/uPlugin.h"

using ::testing::ElementsAre;

namespace {

class FarEditorTest : public TLinkedPluginTest {
protected:
    void SetUp() override { StartWith(std::make_unique<TPlugin>()); }
    TEditorModel& Editors() { return Host->Editors(); }
};

std::wstring NumberedLines(int Count)
{
    std::wstring Text;
    for (int I = 0; I < Count; ++I)
        Text += L"line " + std::to_wstring(I) + (I + 1 < Count ? L"\r\n" : L"");
    return Text;
}

// CurLine, CurPos, CurTabPos, TopScreenLine, LeftPos, Overtype.
std::vector<intptr_t> Fields(const far3::EditorSetPosition& P)
{
    EXPECT_EQ(P.StructSize, sizeof(far3::EditorSetPosition));
    return {P.CurLine, P.CurPos, P.CurTabPos, P.TopScreenLine, P.LeftPos, P.Overtype};
}

} // namespace

TEST_F(FarEditorTest, GoToLineKeepsFiveLinesAboveTheTargetAndTheCursorColumn)
{
    TEditor& Editor = Editors().Open(L"C:\\src\\main.c", NumberedLines(200));
    Editor.CurPos = 4;
    EXPECT_TRUE(TFarEditor::GoToLine(far3::CURRENT_EDITOR, 3));
    EXPECT_TRUE(TFarEditor::GoToLine(far3::CURRENT_EDITOR, 5));
    EXPECT_TRUE(TFarEditor::GoToLine(Editor.Id, 100));

    const auto& Sent = Editors().PositionRequests;
    ASSERT_EQ(Sent.size(), 3u);
    EXPECT_THAT(Fields(Sent[0]), ElementsAre(3, -1, -1, 0, -1, -1));
    EXPECT_THAT(Fields(Sent[1]), ElementsAre(5, -1, -1, 0, -1, -1));
    EXPECT_THAT(Fields(Sent[2]), ElementsAre(100, -1, -1, 95, -1, -1));
    EXPECT_EQ(Editor.CurLine, 100);
    EXPECT_EQ(Editor.TopScreenLine, 95);
    EXPECT_EQ(Editor.CurPos, 4);

    // A refused move is reported, and the cursor stays.
    Host->SetFailing("ECTL_SETPOSITION");
    EXPECT_FALSE(TFarEditor::GoToLine(far3::CURRENT_EDITOR, 7));
    EXPECT_EQ(Editor.CurLine, 100);
}

TEST_F(FarEditorTest, FileNameIsReadWhateverItsLengthAndNeverPastTheBuffer)
{
    const std::wstring LongName = L"C:\\" + std::wstring(400, L'd') + L"\\main.c";
    TEditor& Editor = Editors().Open(LongName, L"x");
    std::wstring Name = L"stale";
    EXPECT_TRUE(TFarEditor::GetFileName(far3::CURRENT_EDITOR, Name));
    EXPECT_EQ(Name, LongName);
    EXPECT_EQ(Host->CallCount("ECTL_GETFILENAME"), 2u);

    // The name grows between the size query and the copy: the host copies
    // nothing and answers the new size.
    Editors().BeforeCommand = [&](far3::EDITOR_CONTROL_COMMANDS Command, intptr_t, void* Buffer) {
        if (Command == far3::ECTL_GETFILENAME && Buffer)
            Editor.FileName = L"C:\\renamed\\" + LongName;
        return true;
    };
    Name = L"stale";
    EXPECT_FALSE(TFarEditor::GetFileName(far3::CURRENT_EDITOR, Name));
    EXPECT_EQ(Name, L"");

    Editors().BeforeCommand = nullptr;
    Host->SetFailing("ECTL_GETFILENAME");
    Name = L"stale";
    EXPECT_FALSE(TFarEditor::GetFileName(far3::CURRENT_EDITOR, Name));
    EXPECT_EQ(Name, L"");
}

TEST_F(FarEditorTest, StreamBlockGivesTheSelectedTextWithTheLineEndsItRunsThrough)
{
    TEditor& Editor = Editors().Open(L"a.txt", L"zero\r\none two\r\nthree\nfour five\r\nsix");
    std::wstring Text = L"stale";
    intptr_t BlockType = -5;
    EXPECT_FALSE(TFarEditor::GetSelection(far3::CURRENT_EDITOR, Text, BlockType));
    EXPECT_EQ(Text, L"");

    // Ending inside a line: that line's start, without its line end.
    Editor.SelectStream(1, 4, 3, 3);
    EXPECT_TRUE(TFarEditor::GetSelection(far3::CURRENT_EDITOR, Text, BlockType));
    EXPECT_EQ(Text, L"two\r\nthree\nfou");
    EXPECT_EQ(BlockType, far3::BTYPE_STREAM);

    // Ending at the start of a line: that line is not part of it.
    Editor.SelectStream(1, 4, 3, 0);
    EXPECT_TRUE(TFarEditor::GetSelectedText(far3::CURRENT_EDITOR, Text));
    EXPECT_EQ(Text, L"two\r\nthree\n");

    // Running to the end of the text.
    Editor.SelectStream(3, 5, 4, 3);
    EXPECT_TRUE(TFarEditor::GetSelectedText(far3::CURRENT_EDITOR, Text));
    EXPECT_EQ(Text, L"five\r\nsix");
}

TEST_F(FarEditorTest, ColumnBlockEndsEveryLineWithItsOwnLineEnd)
{
    TEditor& Editor = Editors().Open(L"a.txt", L"abcdef\r\nghijkl\nmnopqr\r\nstu");
    Editor.SelectColumn(0, 1, 2, 4);
    std::wstring Text;
    intptr_t BlockType = 0;
    EXPECT_TRUE(TFarEditor::GetSelection(far3::CURRENT_EDITOR, Text, BlockType));
    EXPECT_EQ(Text, L"bcd\r\nhij\nnop\r\n");
    EXPECT_EQ(BlockType, far3::BTYPE_COLUMN);

    // The last line of the text has no line end to add.
    Editor.SelectColumn(2, 0, 3, 2);
    EXPECT_TRUE(TFarEditor::GetSelectedText(far3::CURRENT_EDITOR, Text));
    EXPECT_EQ(Text, L"mn\r\nst");

    // A selection that cannot be read is no selection.
    Host->SetFailing("ECTL_GETSTRING");
    EXPECT_FALSE(TFarEditor::GetSelectedText(far3::CURRENT_EDITOR, Text));
    EXPECT_EQ(Text, L"");
}

TEST_F(FarEditorTest, LinesAreReadWholeWithTheirLineEnds)
{
    TEditor& Editor = Editors().Open(L"a.bin", std::wstring(L"nul\0inside\nlast", 15));
    Editor.CurLine = 1;
    std::wstring Text, Eol;
    intptr_t SelStart = -9, SelLength = -9;
    bool SelToEnd = true;
    ASSERT_TRUE(TFarEditor::GetStringInfo(far3::CURRENT_EDITOR, 0, Text, Eol, SelStart, SelLength, SelToEnd));
    EXPECT_EQ(Text, std::wstring(L"nul\0inside", 10));
    EXPECT_EQ(Eol, L"\n");
    EXPECT_EQ(SelStart, 0);
    EXPECT_EQ(SelLength, 0);
    EXPECT_FALSE(SelToEnd);

    // -1 is the cursor's line.
    ASSERT_TRUE(TFarEditor::GetString(far3::CURRENT_EDITOR, -1, Text));
    EXPECT_EQ(Text, L"last");

    Editors().BeforeCommand = [](far3::EDITOR_CONTROL_COMMANDS Command, intptr_t, void*) {
        return Command != far3::ECTL_GETSTRING;
    };
    EXPECT_FALSE(TFarEditor::GetString(far3::CURRENT_EDITOR, 0, Text));
    EXPECT_EQ(Text, L"");
}

TEST_F(FarEditorTest, InfoReportsTheEditorOrFailsCleanly)
{
    TEditor& Editor = Editors().Open(L"a.txt", NumberedLines(10));
    Editor.CurLine = 7;
    Editor.CurPos = 3;
    Editor.SelectStream(2, 0, 4, 1);
    far3::EditorInfo Info;
    ASSERT_TRUE(TFarEditor::GetInfo(far3::CURRENT_EDITOR, Info));
    EXPECT_EQ(Info.TotalLines, 10);
    EXPECT_EQ(Info.CurLine, 7);
    EXPECT_EQ(Info.CurPos, 3);
    EXPECT_EQ(Info.BlockType, far3::BTYPE_STREAM);
    EXPECT_EQ(Info.BlockStartLine, 2);

    // Called from a macro with no editor open: refused, nothing left behind.
    Editors().Close(Editor.Id);
    EXPECT_FALSE(TFarEditor::GetInfo(far3::CURRENT_EDITOR, Info));
    EXPECT_EQ(Info.TotalLines, 0);
    EXPECT_EQ(Info.StructSize, 0u);
}

// Whatever the host build, a buffer with unsaved changes is never taken for
// the file on disk. Where a build cannot tell, the answer errs towards a
// snapshot, which only costs time.
TEST_F(FarEditorTest, UnsavedChangesAreSeenOnEveryHostBuild)
{
    TEditor& Editor = Editors().Open(L"a.c", L"int x;");
    auto Unsaved = [&](DWORD Build, bool Changed, bool Written) {
        Host->HostVersion.Build = Build;
        Editor.Unsaved = Changed;
        Editor.WrittenOnce = Written;
        far3::EditorInfo Info;
        EXPECT_TRUE(TFarEditor::GetInfo(far3::CURRENT_EDITOR, Info));
        return TFarEditor::HasUnsavedChanges(Info);
    };
    for (DWORD Build : {6000u, 6561u, 6562u, 6569u, 6570u, 6730u}) {
        SCOPED_TRACE(Build);
        EXPECT_TRUE(Unsaved(Build, true, false));
        EXPECT_TRUE(Unsaved(Build, true, true));
    }
    // Clean buffers, as each build reports them.
    EXPECT_FALSE(Unsaved(6561, false, false));
    EXPECT_FALSE(Unsaved(6561, false, true));
    EXPECT_TRUE(Unsaved(6565, false, false)); // SAVED clear reads as a change elsewhere
    EXPECT_FALSE(Unsaved(6565, false, true));
    EXPECT_FALSE(Unsaved(6730, false, false));
    EXPECT_TRUE(Unsaved(6730, false, true)); // MODIFIED set reads as a change elsewhere
}
