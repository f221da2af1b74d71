// Opening another file's editor, or bringing the one that has it to the
// front, must leave the cursor in that editor where the plugin asked, and the
// window list must be read as the host gives it.
#include "PluginTestSupport.h"
#include "ToolSupport.h"
#include "bridge/uFarEditor.h"
#include "bridge/uFarWindows.h"
#include "plugin/uPlugin.h"

#include <functional>

using namespace far3;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using toolsupport::TScratchDir;

namespace {

class FarWindowsTest : public TLinkedPluginTest {
protected:
    void SetUp() override
    {
        StartWith(std::make_unique<TPlugin>());
        std::string Text;
        for (int I = 1; I <= 200; ++I)
            Text += "target line " + std::to_string(I) + "\r\n";
        ASSERT_TRUE(toolsupport::WriteBytes(Dir / L"target.c", Text));
    }
    TEditorModel& Editors() { return Host->Editors(); }
    TScratchDir Dir;
};

} // namespace

TEST_F(FarWindowsTest, OpenAtLeavesTheCursorInTheFilesEditorWhereverTheEditorWas)
{
    enum TBefore { NotOpen, Behind, InFront, PanelsInFront };
    struct {
        const char* Name;
        TBefore Before;
        TEditorOpen Result;
        size_t Editors;
    } Cases[] = {
        {"opened", NotOpen, TEditorOpen::Opened, 2},
        {"behind another editor", Behind, TEditorOpen::Existing, 2},
        {"already in front", InFront, TEditorOpen::Existing, 2},
        {"behind the panels", PanelsInFront, TEditorOpen::Existing, 2},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        while (Editors().Count())
            Editors().Close(Editors().Current().Id);
        TEditor* Target = nullptr;
        if (Case.Before != NotOpen) {
            // Opened under another spelling of its name.
            Target = &Editors().Open(Dir.Path() + L"/TARGET.C",
                                     L"old\r\ntext\r\nof\r\nthe\r\nbuffer\r\n" + std::wstring(100, L'\n'));
            Target->CurLine = 3;
        }
        TEditor& Other = Editors().Open(L"C:\\src\\other.c", L"other");
        if (Case.Before == InFront)
            Editors().SetCurrent(Target->Id);
        if (Case.Before == PanelsInFront)
            Editors().Activate(1);

        intptr_t Id = -5;
        EXPECT_EQ(TFarEditor::OpenAt(Dir / L"target.c", 60, 7, TFarEditor::TopLineAbove(60), Id), Case.Result);
        EXPECT_EQ(Editors().Count(), Case.Editors);
        EXPECT_TRUE(TFarWindows::CurrentIsEditor());
        const TEditor& Front = Editors().Current();
        EXPECT_EQ(Front.Id, Id);
        if (Target) {
            EXPECT_EQ(Front.Id, Target->Id);
        } else {
            EXPECT_EQ(Front.Lines[60].Text, L"target line 61");
        }
        EXPECT_EQ(std::tuple(Front.CurLine, Front.CurPos, Front.TopScreenLine), std::tuple(60, 7, 55));
        EXPECT_EQ(Other.CurLine, 0);
    }
    EXPECT_THAT(Host->Errors(), IsEmpty());
}

TEST_F(FarWindowsTest, OpenAtReportsWhatDidNotOpen)
{
    TEditor& Current = Editors().Open(L"C:\\src\\main.c", L"main");
    struct {
        const char* Name;
        std::wstring File;
        std::function<void()> Arrange;
        TEditorOpen Result;
    } Cases[] = {
        // The host would open an empty editor and call it a success.
        {"not on disk", Dir / L"gone.c", [] {}, TEditorOpen::Missing},
        {"a folder", Dir.Path(), [] {}, TEditorOpen::Missing},
        {"refused", Dir / L"target.c", [&] { Host->SetFailing("Editor"); }, TEditorOpen::Failed},
        {"not moved", Dir / L"target.c", [&] { Host->SetFailing("ECTL_SETPOSITION"); }, TEditorOpen::Failed},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Case.Arrange();
        intptr_t Id = -5;
        EXPECT_EQ(TFarEditor::OpenAt(Case.File, 10, 0, -1, Id), Case.Result);
        EXPECT_EQ(Id, -1);
        Host->SetFailing("Editor", false);
        Host->SetFailing("ECTL_SETPOSITION", false);
    }
    EXPECT_EQ(Current.CurLine, 0);
    EXPECT_THAT(Host->ButtonBoxTexts(), IsEmpty());
    EXPECT_THAT(Host->Errors(), IsEmpty());
}

TEST_F(FarWindowsTest, EditorsAreListedInTheHostsOrderAndFoundByTheirFile)
{
    TEditor& A = Editors().Open(L"C:\\src\\a.c", L"a");
    TEditor& B = Editors().Open(L"C:\\src\\b.c", L"b");
    B.Unsaved = true;
    Editors().SetCurrent(A.Id);
    const std::vector<TFarWindow> List = TFarWindows::Editors();
    ASSERT_EQ(List.size(), 2u);
    EXPECT_EQ(List[0].Name, L"C:\\src\\b.c");
    EXPECT_EQ(List[0].Id, B.Id);
    EXPECT_TRUE(List[0].Modified);
    EXPECT_FALSE(List[0].Current);
    EXPECT_EQ(List[1].Name, L"C:\\src\\a.c");
    EXPECT_TRUE(List[1].Current);

    TFarWindow Found;
    ASSERT_TRUE(TFarWindows::FindEditor(L"c:/SRC/x/../B.C", Found));
    EXPECT_EQ(Found.Id, B.Id);
    EXPECT_FALSE(TFarWindows::FindEditor(L"C:\\src\\c.c", Found));

    // A position is looked up when it is used: every switch moves them.
    EXPECT_TRUE(TFarWindows::ActivateEditor(B.Id));
    EXPECT_TRUE(TFarWindows::ActivateEditor(A.Id));
    EXPECT_EQ(Editors().Current().Id, A.Id);
    EXPECT_FALSE(TFarWindows::ActivateEditor(B.Id + 100));

    // EditorControl(-1) still reaches an editor; only the window type tells.
    Editors().Activate(0);
    EXPECT_FALSE(TFarWindows::CurrentIsEditor());
    TFarWindow Desktop;
    ASSERT_TRUE(TFarWindows::GetWindow(-1, Desktop));
    EXPECT_EQ(Desktop.Type, WTYPE_DESKTOP);
    EXPECT_TRUE(Desktop.Current);

    Host->SetFailing("ACTL_GETWINDOWCOUNT");
    EXPECT_THAT(TFarWindows::Editors(), IsEmpty());
    Host->SetFailing("ACTL_GETWINDOWTYPE");
    Editors().SetCurrent(A.Id);
    EXPECT_FALSE(TFarWindows::CurrentIsEditor());
    EXPECT_THAT(Host->Errors(), IsEmpty());
}
