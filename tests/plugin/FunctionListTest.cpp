// The function list: its columns, filtering by tag name, the context lines,
// and how the editor command fills it in and reads the choice.
#include "PluginTestUtil.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uFunctionListUI.h"

using ::testing::ElementsAre;
using namespace plugintest;

namespace {

class FunctionListTest : public TPluginTest {
protected:
    TCtags Tags;

    std::string Tag(const std::string& Name, int Line, const std::string& Kind = "function")
    {
        return Name + "\tmain.c\t" + std::to_string(Line) + ";\"\t" + Kind;
    }

    std::vector<std::wstring> Rows(TFunctionListDialog& Dialog)
    {
        std::vector<std::wstring> Result;
        TListboxItems& Items = Dialog.GetList()->GetItems();
        for (intptr_t I = 0; I < Items.Count(); ++I)
            Result.push_back(Items.GetItem(I)->GetText());
        return Result;
    }

    static std::vector<std::wstring> Context(const THostDialog& Live)
    {
        // Label, field, list, then the three context lines.
        return {Live.Items[4].Data, Live.Items[5].Data, Live.Items[6].Data};
    }
};

std::wstring Padded(std::wstring Text, size_t Width)
{
    Text.resize(Width, L' ');
    return Text;
}

} // namespace

TEST_F(FunctionListTest, RowsHaveThreeColumnsSizedByTheTags)
{
    const std::string LongName(60, 'n');
    struct {
        std::vector<std::string> Tags;
        std::wstring FirstRow;
    } const Cases[] = {
        // The list is 66 wide, so a row is 61: line 3, name 48, kind 8.
        {{Tag("main", 12)}, L" 12|" + Padded(L"main", 48) + L"|function"},
        {{Tag("main", 12345)}, L"12345|" + Padded(L"main", 46) + L"|function"},
        {{Tag("first", 1, "enumeration")}, L"  1|" + Padded(L"first", 45) + L"|enumeration"},
        // Too wide with the whole kind: the kind column is cut to 10.
        {{Tag("first", 1, "enumeration"), Tag(LongName, 2)}, L"  1|" + Padded(L"first", 46) + L"|enumeratio"},
        {{Tag(LongName, 2)}, L"  2|" + std::wstring(48, L'n') + L"|function"},
    };
    for (const auto& Case : Cases) {
        LoadTags(Tags, Case.Tags);
        auto Dialog = TFarDialog::Create<TFunctionListDialog>();
        Dialog->SetTags(&Tags);
        ASSERT_TRUE(Dialog->Build());
        const std::vector<std::wstring> Texts = Rows(*Dialog);
        ASSERT_EQ(Texts.size(), Case.Tags.size());
        EXPECT_EQ(Texts.front(), Case.FirstRow);
        for (const std::wstring& Row : Texts)
            EXPECT_EQ(Row.size(), 61u) << Row;
    }
    // The whole name matches even where the row cuts it.
    LoadTags(Tags, {Tag(LongName, 2)});
    auto Cut = TFarDialog::Create<TFunctionListDialog>();
    Cut->SetTags(&Tags);
    EXPECT_TRUE(Cut->HasMatch(std::wstring(55, L'N')));
    auto Empty = TFarDialog::Create<TFunctionListDialog>();
    EXPECT_TRUE(Rows(*Empty).empty());
    EXPECT_FALSE(Empty->HasMatch(L""));
    EXPECT_EQ(Empty->GetSearchLabel()->GetText(), L"&Search:");
    EXPECT_EQ(Empty->ContextEditCount(), 3);
}

TEST_F(FunctionListTest, TheFilterMatchesTagNamesOnly)
{
    LoadTags(Tags, {Tag("ParseLine", 3), Tag("print_function", 9), Tag("main", 20, "function")});
    auto Dialog = TFarDialog::Create<TFunctionListDialog>();
    Dialog->SetTags(&Tags);
    EXPECT_TRUE(Dialog->HasMatch(L"pars"));
    EXPECT_FALSE(Dialog->HasMatch(L"20"));
    Script(TDialogScript()
               .Type(L"function")
               .Check([&](THostDialog& Live) {
                   ASSERT_EQ(VisibleEntries(Live.Items[3]).size(), 1u);
                   EXPECT_NE(VisibleEntries(Live.Items[3])[0].find(L"print_function"), std::wstring::npos);
               })
               // Rows rebuilt for a new console size keep to the typed filter.
               .Resize(100, 30)
               .Check([&](THostDialog& Live) { EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), 1u); })
               .Esc());
    EXPECT_FALSE(Dialog->Execute());
}

TEST_F(FunctionListTest, ContextLinesShowTheTagsSourceInPieces)
{
    std::wstring Text;
    for (int I = 1; I <= 20; ++I)
        Text += L"line " + std::to_wstring(I) + L"\n";
    const std::wstring Long = std::wstring(65, L'a') + std::wstring(65, L'b') + std::wstring(32, L'c');
    Text += Long + L"\n\nlast";
    TEditor& Editor = Host->Editors().Open(Dir / L"main.c", Text);
    // Lines 10, 21 (long), 23 (the last), 0 (none).
    LoadTags(Tags, {Tag("a", 10), Tag("b", 21), Tag("c", 23), Tag("d", 0)});
    auto Dialog = TFarDialog::Create<TFunctionListDialog>();
    Dialog->SetTags(&Tags);
    Dialog->SetEditorId(Editor.Id);
    Dialog->SetItemIndex(0);
    Script(TDialogScript()
               .Check([&](THostDialog& Live) {
                   EXPECT_THAT(Context(Live), ElementsAre(L"line 10", L"line 11", L"line 12"));
                   EXPECT_FALSE(Live.Items[4].Unchanged);
                   EXPECT_TRUE(Live.Items[4].Flags & far3::DIF_READONLY);
                   EXPECT_TRUE(Live.Items[4].Flags & far3::DIF_EDITOR);
               })
               .Key(VK_DOWN)
               .Check([&](THostDialog& Live) {
                   EXPECT_THAT(Context(Live), ElementsAre(Long.substr(0, 65), Long.substr(65, 65), Long.substr(130)));
               })
               .Key(VK_DOWN)
               // The file ends: the lines it cannot fill are empty, never a
               // row shown before.
               .Check([&](THostDialog& Live) { EXPECT_THAT(Context(Live), ElementsAre(L"last", L"", L"")); })
               .Key(VK_DOWN)
               .Check([&](THostDialog& Live) { EXPECT_THAT(Context(Live), ElementsAre(L"", L"", L"")); })
               // No row left at all: nothing to show either.
               .Key(VK_UP)
               .Type(L"zz")
               .Check([&](THostDialog& Live) { EXPECT_THAT(Context(Live), ElementsAre(L"", L"", L"")); })
               .Esc());
    Dialog->Execute();
}

TEST_F(FunctionListTest, TheCommandPreselectsTheEnclosingTagAndFiltersByTheWordUnderTheCursor)
{
    tagstest::WriteFileBytes(Dir / L"main.c", "");
    struct {
        const char* Case;
        intptr_t CurLine, CurPos;
        bool Select;
        int Row; // the host's current position at the start (it holds the shown rows only)
        const wchar_t* Filter;
    } const Cases[] = {
        {"cursor on the 20th line", 19, 0, false, 1, L""},
        {"above every tag", 4, 0, false, 0, L""},
        {"two tags on one line: the later in list order", 35, 0, false, 4, L""},
        {"a word that a tag contains", 19, 3, false, 0, L"beta"},
        {"a word no tag contains", 29, 1, false, 2, L""},
        // No tag contains Foo, so no row shows.
        {"a selection, trimmed, whether or not a tag matches", 19, 0, true, -1, L"Foo"},
    };
    for (const auto& Case : Cases) {
        TEditor& Editor = Host->Editors().Open(Dir / L"main.c", L"");
        std::wstring Text;
        for (int I = 0; I < 40; ++I)
            Text += I == 19 ? L"   beta(); Foo \n" : I == 29 ? L" zzz\n" : L"\n";
        Editor.SetText(Text);
        Editor.CurLine = Case.CurLine;
        Editor.CurPos = Case.CurPos;
        if (Case.Select)
            Editor.SelectStream(19, 10, 19, 15);
        // Sorted by name: alpha 10, beta 20, Class 30, ctor 36, Klass 36.
        UseCtags(FakeCtags());
        const TScript Steer(Dir, "out alpha\tm\t10;\"\tf\\nbeta\tm\t20;\"\tf\\nClass\tm\t30;\"\tc\\n"
                                 "ctor\tm\t36;\"\tf\\nKlass\tm\t36;\"\tc\\n");
        Script(TDialogScript()
                   .Check([&](THostDialog& Live) {
                       EXPECT_EQ(Live.Items[3].List.CurPos, Case.Row) << Case.Case;
                       EXPECT_EQ(Live.Items[2].Data, Case.Filter) << Case.Case;
                   })
                   .Esc());
        TEditorTasks Tasks;
        EXPECT_FALSE(Tasks.Execute());
        Host->Editors().Close(Editor.Id);
    }
}

TEST_F(FunctionListTest, TheChosenTagMovesTheCursorToItsLine)
{
    struct {
        const char* Tags;
        TDialogScript Input;
        bool Moved;
        intptr_t Line;
    } Cases[] = {
        {"out main\tm\t12;\"\tf\\n", TDialogScript().Enter(), true, 11},
        {"out first\tm\t1;\"\tf\\n", TDialogScript().Enter(), true, 0},
        // Far reads line -1 as "this line": a tag on line 0 is not offered.
        {"out zero\tm\t0;\"\tf\\n", TDialogScript(), false, 7},
        // Everything filtered away: Enter leaves the list open with its
        // filter, to be mended.
        {"out main\tm\t12;\"\tf\\n",
         TDialogScript()
             .Type(L"zz")
             .Enter()
             .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[2].Data, L"zz"); })
             .Esc(),
         false, 7},
        {"out main\tm\t12;\"\tf\\n", TDialogScript().Esc(), false, 7},
    };
    for (auto& Case : Cases) {
        TEditor& Editor = OpenSource(L"main.c", std::string(30, '\n'));
        Editor.CurLine = 7;
        const TScript Steer(Dir, Case.Tags);
        if (Case.Input.Pending() > 0) // only a run that shows the list takes input
            Script(std::move(Case.Input));
        TEditorTasks Tasks;
        EXPECT_EQ(Tasks.Execute(), Case.Moved) << Case.Tags;
        EXPECT_EQ(Editor.CurLine, Case.Line) << Case.Tags;
        Host->Editors().Close(Editor.Id);
    }
}

// A filter that leaves only rows at the end of a long list: the host holds
// those rows alone, and the keys, the order and the kind act on them as on
// any others; Enter gives the tag of the row that was current.
TEST_F(FunctionListTest, OrderAndKindKeysWorkOnTheRowsAFilterLeavesAtTheEnd)
{
    std::vector<std::string> Lines;
    for (int I = 0; I < 200; ++I) {
        char Name[8];
        std::snprintf(Name, sizeof Name, "fn%03d", I);
        // File order is the reverse of name order; every other tag a macro.
        Lines.push_back(Tag(Name, 400 - I, I % 2 ? "macro" : "function"));
    }
    LoadTags(Tags, Lines);
    auto Dialog = TFarDialog::Create<TFunctionListDialog>();
    Dialog->SetTags(&Tags);
    Dialog->SetItemIndex(0);
    Dialog->SetSearchText(L"fn19");
    const auto Holds = [&](size_t Rows, intptr_t Position, const std::wstring& Name) {
        return [this, Rows, Position, Name, &Dialog](THostDialog& Live) {
            const THostList& List = Live.Items[3].List;
            EXPECT_EQ(List.Entries.size(), Rows) << WideToUtf8(Name);
            ASSERT_EQ(List.CurPos, Position) << WideToUtf8(Name);
            EXPECT_NE(List.Entries[static_cast<size_t>(Position)].Text.find(Name), std::wstring::npos);
            const int Tag = Dialog->TagOfRow(Dialog->GetList()->GetItemIndex());
            ASSERT_GE(Tag, 0);
            EXPECT_EQ(Tags.GetItem(Tag)->Name, Name);
        };
    };
    Script(TDialogScript()
               .Check(Holds(10, 0, L"fn190"))
               .Key(VK_DOWN)
               .Key(VK_DOWN)
               .Check(Holds(10, 2, L"fn192"))
               .Key(VK_F2) // file order: fn199 first
               .Check(Holds(10, 7, L"fn192"))
               .Key(VK_F3) // functions: fn198, fn196, fn194, fn192, fn190
               .Check(Holds(5, 3, L"fn192"))
               .Key(VK_F2)
               .Check(Holds(5, 1, L"fn192"))
               .Key(VK_NEXT)
               .Check(Holds(5, 4, L"fn198"))
               .Enter());
    EXPECT_TRUE(Dialog->Execute());
    EXPECT_EQ(Tags.GetItem(Dialog->TagOfRow(Dialog->GetItemIndex()))->Name, L"fn198");
}
