// The function list through the DLL as a new user meets it: what Enter
// chooses, what the rows and the context show, where the filter comes from,
// and how the list fits the console it opens in.
#include "DllTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

// Frame, label, search, list, three context lines, separator, OK, Cancel.
enum { Frame = 0, Search = 2, List = 3, FirstContext = 4, Separator = 7 };

class FunctionListDllTest : public TDllTest {
protected:
    void SetDelay(int Milliseconds)
    {
        Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", Milliseconds > 0);
        Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", static_cast<uint64_t>(Milliseconds));
    }
};

// What the host shows of a row of the list: '&' marks a hot key when the
// list asks for that.
std::wstring Shown(const THostItem& List, std::wstring Row)
{
    if (List.List.ShowsAmpersand)
        return Row;
    std::wstring Text;
    for (size_t I = 0; I < Row.size(); ++I) {
        if (Row[I] == L'&' && I + 1 < Row.size())
            ++I;
        Text += Row[I];
    }
    return Text;
}

} // namespace

// Typing a name and Enter in one go, faster than the pause the filter
// waits for (or while "Looking for functions..." still shows), lands on a
// row of the typed filter, never on the row current before it ran.
TEST_F(FunctionListDllTest, KeysThatActOnTheListActOnTheFilterAsTyped)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    struct {
        const wchar_t* Typed;
        WORD Key;
        intptr_t Line;
    } const Cases[] = {{L"print", VK_RETURN, 19}, {L"a", VK_DOWN, 13}, {L"LIM", VK_NEXT, 0}};
    for (const int Delay : {0, 300, 10000}) {
        SetDelay(Delay);
        for (const auto& Case : Cases) {
            Editor.CurLine = 2; // on point: the row current at the start
            TDialogScript Input;
            Input.Type(Case.Typed);
            if (Case.Key != VK_RETURN)
                Input.Key(Case.Key);
            Script(std::move(Input.Enter()));
            Host->OpenFromEditor();
            EXPECT_EQ(Editor.CurLine, Case.Line) << "delay " << Delay << ", typed " << WideToUtf8(Case.Typed);
        }
    }
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(FunctionListDllTest, RowsShowTheirAmpersandsAndTheFirstRowLeftBecomesCurrent)
{
    Load();
    const TScript Steer(Dir, "out operator &\tm\t3;\"\tfunction\\n\n"
                             "out operator &&\tm\t4;\"\tfunction\\n\n"
                             "out Q&A\tm\t5;\"\tchapter\\n\n"
                             "out area\tm\t8;\"\tfunction\\n\n"
                             "out main\tm\t14;\"\tfunction\\n\n"
                             "out print_point\tm\t20;\"\tfunction\\n\n");
    TEditor& Editor = OpenSource(L"main.cpp", TaggedSource);
    Editor.CurLine = 19; // in print_point
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Values: by name, all kinds");
                   const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[List]);
                   ASSERT_EQ(Rows.size(), 6u);
                   const THostItem& Item = Live.Items[List];
                   EXPECT_EQ(Shown(Item, Rows[2]).substr(0, 15), L"  3|operator & ");
                   EXPECT_EQ(Shown(Item, Rows[3]).substr(0, 16), L"  4|operator && ");
                   EXPECT_EQ(Shown(Item, Rows[5]).substr(0, 8), L"  5|Q&A ");
                   // The columns stay where they are.
                   for (const std::wstring& Row : Rows)
                       EXPECT_EQ(Shown(Item, Row).rfind(L'|'), Shown(Item, Rows[0]).rfind(L'|')) << WideToUtf8(Row);
                   EXPECT_EQ(Live.Items[List].List.CurPos, 4);
               })
               // print_point is filtered away: the first row left, not the last.
               .Type(L"a")
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Entries[0].Text.substr(0, 8), L"  8|area");
                   EXPECT_EQ(Live.Items[List].List.CurPos, 0);
                   EXPECT_EQ(Live.Items[FirstContext].Data, L"int area(int w, int h)");
               })
               .Esc());
    Host->OpenFromEditor();
}

TEST_F(FunctionListDllTest, OnlyASelectionWithinOneLineIsAFilter)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    const auto Filter = [](const wchar_t* Expected) {
        return TDialogScript().Check([Expected](THostDialog& Live) { EXPECT_EQ(Live.Items[Search].Data, Expected); });
    };
    Editor.CurLine = 13;
    Editor.CurPos = 5; // on main
    Editor.SelectStream(13, 4, 13, 8);
    Script(Filter(L"main").Esc());
    Host->OpenFromEditor();
    // Over several lines, or a column block: the word under the cursor.
    Editor.SelectStream(12, 0, 14, 1);
    Script(Filter(L"main").Esc());
    Host->OpenFromEditor();
    Editor.SelectColumn(13, 4, 14, 8);
    Script(Filter(L"main").Esc());
    Host->OpenFromEditor();
}

// Down to 40 x 12 the list keeps three rows, the frame's margins and then
// the context lines give way (one stays down to 12 rows), and everything
// lies inside the frame, also after a resize.
TEST_F(FunctionListDllTest, TheListFitsAnyConsoleItOpensInAndFollowsAResize)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenSource(L"main.c", TaggedSource);
    const auto Fits = [](SHORT Width, SHORT Height, int Context) {
        return [=](THostDialog& Live) {
            const std::string Size = std::to_string(Width) + "x" + std::to_string(Height);
            EXPECT_GE(Live.Rect.Left, 0) << Size;
            EXPECT_GE(Live.Rect.Top, 0) << Size;
            EXPECT_LT(Live.Rect.Right, Width) << Size;
            EXPECT_LT(Live.Rect.Bottom, Height) << Size;
            const THostItem& Box = Live.Items[Frame];
            EXPECT_GE(Box.Y1, 0) << Size;
            EXPECT_LT(Box.Y2, Live.Height) << Size;
            intptr_t Row = Box.Y1;
            int Shown = 0;
            for (size_t I = 1; I < Live.Items.size(); ++I) {
                const THostItem& Item = Live.Items[I];
                if (Item.Flags & far3::DIF_HIDDEN)
                    continue;
                Shown += I >= FirstContext && I < Separator;
                // Top to bottom, one below the other, inside the frame (the
                // separator and the centred buttons are placed by the host).
                EXPECT_GE(Item.Y1, I >= Separator + 2 ? Row : Row + 1) << Size << " item " << I;
                EXPECT_LT(Item.Y2, Box.Y2) << Size << " item " << I;
                if (I < Separator) {
                    EXPECT_GT(Item.X1, Box.X1) << Size << " item " << I;
                    EXPECT_LT(Item.X2, Box.X2) << Size << " item " << I;
                }
                Row = Item.Y2;
            }
            EXPECT_GE(Live.Items[List].Y2 - Live.Items[List].Y1 - 1, 3) << Size;
            EXPECT_EQ(Shown, Context) << Size;
        };
    };
    Host->SetConsoleSize(80, 17);
    Script(TDialogScript()
               .Check(Fits(80, 17, 1))
               .Resize(80, 25)
               .Check(Fits(80, 25, 3))
               .Resize(80, 14)
               .Check(Fits(80, 14, 1))
               .Resize(80, 13)
               .Check(Fits(80, 13, 2))
               .Resize(40, 12)
               .Check(Fits(40, 12, 1))
               .Esc());
    Host->OpenFromEditor();
    Host->SetConsoleSize(40, 12);
    Script(TDialogScript().Check(Fits(40, 12, 1)).Esc());
    Host->OpenFromEditor();
    // The options dialog: as wide as its content needs, and it fits too.
    Script(TDialogScript().Check([](THostDialog& Live) { EXPECT_LE(Live.Rect.Right, 39); }).Esc());
    Host->Configure();
    Host->SetConsoleSize(120, 40);
    Script(TDialogScript().Check([](THostDialog& Live) { EXPECT_EQ(Live.Width, 70); }).Esc());
    Host->Configure();
}

// The user is told what happened: which file the window is working on, and
// that ctags found nothing in it.
TEST_F(FunctionListDllTest, TheProgressWindowNamesTheEditedFileAndAQuotedPathIsTaken)
{
    const TScript Steer(Dir, "exit 0\n");
    Load(L"\"" + FakeCtags() + L"\"");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    Editor.Unsaved = true;
    Host->OpenFromEditor();
    std::vector<std::wstring> Progress;
    for (const TMessageBox& Box : Host->Messages())
        if (Box.Buttons.empty())
            Progress.insert(Progress.end(), Box.Lines.begin(), Box.Lines.end());
    ASSERT_FALSE(Progress.empty());
    for (const std::wstring& Line : Progress)
        EXPECT_EQ(Line.find(L"cta"), std::wstring::npos) << WideToUtf8(Line);
    EXPECT_THAT(Progress, ::testing::Contains(::testing::HasSubstr(L"main.c")));
    EXPECT_THAT(Boxes(),
                ElementsAre(ElementsAre(L"Lodestar", L"No tags were found in the file:", Dir / L"main.c", L"&OK")));
}

namespace {

// Sources for the tiny tagger: C++ members of two classes, a Python class.
const char* const CppSource = "class Circle\n"
                              "{\n"
                              "};\n"
                              "class Square\n"
                              "{\n"
                              "};\n"
                              "double Circle::area()\n"
                              "{\n"
                              "}\n"
                              "double Square::area()\n"
                              "{\n"
                              "}\n"
                              "int main(void)\n"
                              "{\n"
                              "}\n";
const char* const PythonSource = "class Shape:\n"
                                 "    def __init__(self):\n"
                                 "        pass\n"
                                 "\n"
                                 "class Box(Shape):\n"
                                 "    def __init__(self):\n"
                                 "        pass\n"
                                 "\n"
                                 "def main():\n"
                                 "    pass\n";

// A row's columns without their padding: "7|area|Circle|function".
std::wstring Cells(const std::wstring& Row)
{
    std::wstring Result;
    for (size_t Start = 0; Start <= Row.size();) {
        size_t End = Row.find(L'|', Start);
        if (End == std::wstring::npos)
            End = Row.size();
        std::wstring Cell = Row.substr(Start, End - Start);
        Cell.erase(0, Cell.find_first_not_of(L' '));
        Cell.erase(Cell.find_last_not_of(L' ') + 1);
        Result += (Start == 0 ? L"" : L"|") + Cell;
        Start = End + 1;
    }
    return Result;
}

std::vector<std::wstring> ShownCells(const THostItem& List)
{
    std::vector<std::wstring> Rows;
    for (const std::wstring& Row : VisibleEntries(List))
        Rows.push_back(Cells(Row));
    return Rows;
}

std::wstring CurrentCells(const THostItem& List)
{
    return List.List.CurPos < 0 ? L"" : Cells(List.List.Entries[static_cast<size_t>(List.List.CurPos)].Text);
}

} // namespace

// Same-named members are told apart by their scope, in a column of its own
// that a file without scopes does not get.
TEST_F(FunctionListDllTest, MembersShowTheirScopeAndSortByItAfterTheName)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    const struct {
        const wchar_t* File;
        const char* Text;
        std::vector<std::wstring> Rows;
    } Cases[] = {
        {L"shapes.cpp",
         CppSource,
         {L"7|area|Circle|function", L"10|area|Square|function", L"1|Circle||class", L"13|main||function",
          L"4|Square||class"}},
        {L"shapes.py", PythonSource, {L"6|__init__|Box|member", L"2|__init__|Shape|member"}},
        {L"main.c",
         TaggedSource,
         {L"8|area|function", L"1|LIMIT|macro", L"14|main|function", L"3|point|struct", L"20|print_point|function"}},
    };
    for (const auto& Case : Cases) {
        OpenSource(Case.File, Case.Text);
        Script(TDialogScript()
                   .Check([&](THostDialog& Live) {
                       std::vector<std::wstring> Rows = ShownCells(Live.Items[List]);
                       // The Python file: its two members, wherever the
                       // locale puts '_' among the letters.
                       if (Case.Rows.size() == 2)
                           Rows.erase(std::remove_if(Rows.begin(), Rows.end(),
                                                     [](const std::wstring& Row) {
                                                         return Row.find(L"|__init__|") == std::wstring::npos;
                                                     }),
                                      Rows.end());
                       EXPECT_EQ(Rows, Case.Rows) << WideToUtf8(Case.File);
                   })
                   .Type(L"AREA")
                   .Check([&](THostDialog& Live) {
                       // The filter matches names, not scopes.
                       if (Case.Text == CppSource) {
                           EXPECT_EQ(VisibleEntries(Live.Items[List]).size(), 2u);
                       }
                   })
                   .Esc());
        Host->OpenFromEditor();
    }
    EXPECT_THAT(Boxes(), IsEmpty());
}

// F2 steps the order through file order and best match first back to name
// order, keeping the current tag and the filter; the order chosen is the
// next list's. F3 and Shift+F3 step the kind shown, together with the
// typed filter. The title says both.
TEST_F(FunctionListDllTest, OrderAndKindKeysKeepTheCurrentTagAndTheFilter)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    Editor.CurLine = 14; // in main, on no word that would fill the filter
    const auto Title = [](THostDialog& Live) { return Live.Items[List].List.Title; };
    Script(
        TDialogScript()
            .Key(VK_F2)
            .Check([&](THostDialog& Live) {
                EXPECT_EQ(Title(Live), L"Values: in file order, all kinds");
                EXPECT_THAT(ShownCells(Live.Items[List]),
                            ElementsAre(L"1|LIMIT|macro", L"3|point|struct", L"8|area|function", L"14|main|function",
                                        L"20|print_point|function"));
                EXPECT_EQ(CurrentCells(Live.Items[List]), L"14|main|function");
            })
            .Type(L"p")
            .Key(VK_F2)
            .Check([&](THostDialog& Live) {
                EXPECT_EQ(Title(Live), L"Values: by match, all kinds");
                EXPECT_THAT(ShownCells(Live.Items[List]), ElementsAre(L"3|point|struct", L"20|print_point|function"));
                EXPECT_EQ(CurrentCells(Live.Items[List]), L"3|point|struct");
            })
            .Key(VK_F2)
            .Check([&](THostDialog& Live) {
                EXPECT_EQ(Title(Live), L"Values: by name, all kinds");
                EXPECT_THAT(ShownCells(Live.Items[List]), ElementsAre(L"3|point|struct", L"20|print_point|function"));
            })
            .Key(VK_DOWN)
            .Key(VK_F3) // function: print_point stays current
            .Check([&](THostDialog& Live) {
                EXPECT_EQ(Title(Live), L"Values: by name, function");
                EXPECT_THAT(ShownCells(Live.Items[List]), ElementsAre(L"20|print_point|function"));
                EXPECT_EQ(CurrentCells(Live.Items[List]), L"20|print_point|function");
            })
            .Key(VK_F3, SHIFT_PRESSED)
            .Key(VK_F3, SHIFT_PRESSED) // back past all kinds to the last
            .Check([&](THostDialog& Live) {
                EXPECT_EQ(Title(Live), L"Values: by name, struct");
                EXPECT_THAT(ShownCells(Live.Items[List]), ElementsAre(L"3|point|struct"));
            })
            .Key(VK_F2)
            .Enter());
    Host->OpenFromEditor();
    EXPECT_EQ(Editor.CurLine, 2);
    EXPECT_EQ(Host->Settings().GetValue(PluginGuidValue, L"", L"FunctionListFileOrder")->AsNumber(), 1u);
    Editor.CurPos = 0; // on "struct", no tag's name
    Script(TDialogScript()
               .Check([&](THostDialog& Live) {
                   EXPECT_EQ(Title(Live), L"Values: in file order, all kinds");
                   EXPECT_EQ(ShownCells(Live.Items[List]).front(), L"1|LIMIT|macro");
                   // The nearest tag above the cursor is current in this order too.
                   EXPECT_EQ(CurrentCells(Live.Items[List]), L"3|point|struct");
               })
               .Esc());
    Host->OpenFromEditor();
    EXPECT_THAT(Boxes(), IsEmpty());
}

// The jump leaves a session bookmark where the cursor was and lands on the
// tag's name as a whole word; a line without it keeps the column. F1 has a
// topic in both dialogs.
TEST_F(FunctionListDllTest, TheJumpLeavesABookmarkAndLandsOnTheName)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    // "area" stands first inside "subarea", then on its own.
    TEditor& Editor = OpenSource(L"shapes.cpp", "double subarea::area()\n{\n}\nint main(void)\n{\n}\n");
    const struct {
        const wchar_t* Typed;
        intptr_t Line, Pos;
    } Cases[] = {{L"area", 0, 16}, {L"main", 3, 4}};
    for (const auto& Case : Cases) {
        Editor.CurLine = 5;
        Editor.CurPos = 1;
        Script(TDialogScript()
                   .Check([](THostDialog& Live) { EXPECT_EQ(Live.HelpTopic, L"FunctionList"); })
                   .Type(Case.Typed)
                   .Enter());
        Host->OpenFromEditor();
        EXPECT_EQ(Editor.CurLine, Case.Line);
        EXPECT_EQ(Editor.CurPos, Case.Pos) << WideToUtf8(Case.Typed);
        ASSERT_FALSE(Editor.SessionBookmarks.empty());
        EXPECT_EQ(Editor.SessionBookmarks.back().Line, 5);
        EXPECT_EQ(Editor.SessionBookmarks.back().Pos, 1);
    }
    EXPECT_EQ(Editor.SessionBookmarks.size(), 2u);
    {
        // A tag whose name its line does not hold: the line's first
        // character, not the old screen column.
        const TScript Ghost(Dir, "out ghost\tm\t2;\"\tfunction\\n\n", L"ghost.txt");
        Editor.CurLine = 5;
        Editor.CurPos = 9;
        Script(TDialogScript().Enter());
        Host->OpenFromEditor();
        EXPECT_EQ(Editor.CurLine, 1);
        EXPECT_EQ(Editor.CurPos, 0);
        // Where the cursor already is, no bookmark: the way back would stay
        // on it.
        const size_t Bookmarks = Editor.SessionBookmarks.size();
        Script(TDialogScript().Enter());
        Host->OpenFromEditor();
        EXPECT_EQ(Editor.SessionBookmarks.size(), Bookmarks);
    }
    // A tag near the top, from the end of the file: the lines above it stay
    // in sight.
    Editor.CurLine = 5;
    Editor.TopScreenLine = 5;
    Script(TDialogScript().Type(L"area").Enter());
    Host->OpenFromEditor();
    EXPECT_EQ(Editor.TopScreenLine, 0);
    Script(TDialogScript().Check([](THostDialog& Live) { EXPECT_EQ(Live.HelpTopic, L"Config"); }).Esc());
    Host->Configure();
}

// What the context lines and the rows show of tabs, a tag far into a long
// line and a long scope.
TEST_F(FunctionListDllTest, ThePreviewAndTheRowsShowWhatMatters)
{
    Load();
    const std::string Long = "var pad = \"" + std::string(100000, 'x') + "\"; function far_name() {}";
    const std::string Scope = "namespace_level_00::namespace_level_01::namespace_level_02::Inner";
    const TScript Steer(Dir, "out table_count\\tm\\t1;\"\\tvariable\\n\n"
                             "out far_name\\tm\\t2;\"\\tfunction\\n\n"
                             "out member\\tm\\t3;\"\\tfunction\\tscope:class:" +
                                 Scope + "\\n\n");
    OpenSource(L"main.js", "int table_count;\t\t/* how many */\n" + Long + "\nvoid member(void);\n");
    Script(TDialogScript()
               .Type(L"table")
               .Check([](THostDialog& Live) {
                   // Far's edit shows a text wider than its field from its end.
                   EXPECT_EQ(ShownEditText(Live.Items[FirstContext]).substr(0, 24), L"int table_count;        ");
               })
               .Key(VK_BACK, 0)
               .Key(VK_BACK, 0)
               .Key(VK_BACK, 0)
               .Key(VK_BACK, 0)
               .Key(VK_BACK, 0)
               .Type(L"far")
               .Check([](THostDialog& Live) {
                   const std::wstring Shown = ShownEditText(Live.Items[FirstContext]);
                   EXPECT_EQ(Shown.substr(0, 1), L"\u2026");
                   EXPECT_NE(Shown.find(L"far_name"), std::wstring::npos) << WideToUtf8(Shown);
               })
               .Key(VK_BACK, 0)
               .Key(VK_BACK, 0)
               .Key(VK_BACK, 0)
               .Type(L"member")
               .Check([](THostDialog& Live) {
                   const std::wstring Row = VisibleEntries(Live.Items[List]).at(0);
                   EXPECT_NE(Row.find(L"\u2026"), std::wstring::npos) << WideToUtf8(Row);
                   EXPECT_NE(Row.find(L"::Inner|"), std::wstring::npos) << WideToUtf8(Row);
               })
               .Esc());
    Host->OpenFromEditor();
    EXPECT_THAT(Boxes(), IsEmpty());
}

// Which row is current: the file's first tag in file order above every
// tag, the current one again when the filter widens, the first or the last
// with Ctrl+Home and Ctrl+End.
TEST_F(FunctionListDllTest, TheCurrentRowIsTheOneTheUserExpects)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenSource(L"main.c", "\n\n" + std::string(TaggedSource));
    const auto Current = [](const wchar_t* Start) {
        return [Start](THostDialog& Live) {
            const THostList& Rows = Live.Items[List].List;
            ASSERT_GE(Rows.CurPos, 0);
            EXPECT_EQ(Rows.Entries[static_cast<size_t>(Rows.CurPos)].Text.substr(0, wcslen(Start)), Start);
        };
    };
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionListFileOrder", 1);
    Editor.CurLine = 0;
    Script(TDialogScript().Check(Current(L"  3|LIMIT")).Esc());
    Host->OpenFromEditor();
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionListFileOrder", 0);
    Editor.CurLine = 21; // in print_point
    Script(TDialogScript()
               .Type(L"p")
               .Check(Current(L" 22|print_point"))
               .Key(VK_BACK, 0)
               .Check(Current(L" 22|print_point"))
               .Key(VK_HOME, LEFT_CTRL_PRESSED)
               .Check(Current(L" 10|area"))
               .Key(VK_END, LEFT_CTRL_PRESSED)
               .Check(Current(L" 22|print_point"))
               .Key(VK_PRIOR, RIGHT_CTRL_PRESSED)
               .Check(Current(L" 10|area"))
               .Key(VK_NEXT, LEFT_CTRL_PRESSED)
               .Check(Current(L" 22|print_point"))
               .Esc());
    Host->OpenFromEditor();
}

// On narrow consoles the name keeps its room before the kind and the
// scope, and the title keeps the kind chosen.
TEST_F(FunctionListDllTest, NarrowConsolesKeepTheNameAndTheKindChosen)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenSource(L"main.c", TaggedSource);
    for (const SHORT Width : {40, 30}) {
        Host->SetConsoleSize(Width, Width == 40 ? 12 : 10);
        Script(TDialogScript()
                   .Type(L"print")
                   .Key(VK_F3)
                   .Check([Width](THostDialog& Live) {
                       const std::wstring Row = VisibleEntries(Live.Items[List]).at(0);
                       EXPECT_EQ(Row.substr(0, 8), L" 20|prin") << Width << ": " << WideToUtf8(Row);
                       if (Width == 40) {
                           EXPECT_NE(Row.find(L"print_point"), std::wstring::npos) << WideToUtf8(Row);
                           EXPECT_THAT(Live.Items[List].List.Title, ::testing::EndsWith(L"function"));
                       }
                   })
                   .Esc());
        Host->OpenFromEditor();
    }
}

// After each change of the filter the best match is current: the name as
// typed, then without case, then the start of the name, of a word in it,
// anywhere; among equals the tag nearest above the cursor, else the first
// row. Fuzzy matching, when chosen, also finds scattered letters, below
// every substring; by match order lists the rows best first and stays.
TEST_F(FunctionListDllTest, TheBestMatchIsCurrentAndFuzzyAndMatchOrderWhenChosen)
{
    Load();
    const TScript Steer(Dir, "out Area\tm\t2;\"\tfunction\\n\n"
                             "out area_total\tm\t4;\"\tfunction\\n\n"
                             "out subarea\tm\t6;\"\tfunction\\n\n"
                             "out calc_area\tm\t8;\"\tfunction\\n\n"
                             "out area\tm\t10;\"\tfunction\\n\n"
                             "out xname\tm\t12;\"\tfunction\\n\n"
                             "out getUserName\tm\t14;\"\tfunction\\n\n"
                             "out getUserRecord\tm\t16;\"\tfunction\\n\n"
                             "out total\tm\t18;\"\tfunction\\n\n"
                             "out total\tm\t22;\"\tvariable\\n\n");
    std::string Source;
    for (int I = 1; I <= 30; ++I)
        Source += "line " + std::to_string(I) + "\n";
    TEditor& Editor = OpenSource(L"main.c", Source);
    struct {
        bool Fuzzy;
        intptr_t CursorLine;
        const wchar_t* Typed;
        const wchar_t* Chosen; // its first cells; empty: no row
    } const Cases[] = {
        {false, 0, L"area", L"10|area"},          {false, 0, L"AREA", L"2|Area"},
        {false, 0, L"area_", L"4|area_total"},    {false, 0, L"Area_", L"4|area_total"},
        {false, 0, L"name", L"14|getUserName"},   {false, 0, L"rea", L"2|Area"},
        {false, 0, L"total", L"18|total"},        {false, 25, L"total", L"22|total"},
        {false, 20, L"total", L"18|total"},       {false, 0, L"gtusr", L""},
        {true, 0, L"gtusr", L"16|getUserRecord"}, {true, 0, L"sar", L"6|subarea"},
        {true, 0, L"area", L"10|area"},
    };
    for (const auto& Case : Cases) {
        Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionListFuzzy", Case.Fuzzy);
        Editor.CurLine = Case.CursorLine;
        const std::wstring Chosen = Case.Chosen;
        Script(TDialogScript()
                   .Type(Case.Typed)
                   .Check([&](THostDialog& Live) {
                       const std::wstring Cells = CurrentCells(Live.Items[List]);
                       EXPECT_EQ(Chosen.empty() ? Cells : Cells.substr(0, Chosen.size()), Chosen)
                           << WideToUtf8(Case.Typed) << " fuzzy " << Case.Fuzzy << " at " << Case.CursorLine;
                   })
                   .Esc());
        Host->OpenFromEditor();
    }
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionListFuzzy", 0);
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionListMatchOrder", 1);
    Editor.CurLine = 0;
    Script(TDialogScript()
               .Type(L"area")
               .Check([&](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Values: by match, all kinds");
                   EXPECT_THAT(ShownCells(Live.Items[List]),
                               ElementsAre(L"10|area|function", L"2|Area|function", L"4|area_total|function",
                                           L"8|calc_area|function", L"6|subarea|function"));
                   EXPECT_EQ(CurrentCells(Live.Items[List]), L"10|area|function");
               })
               .Enter());
    Host->OpenFromEditor();
    EXPECT_EQ(Editor.CurLine, 9);
    EXPECT_EQ(Host->Settings().GetValue(PluginGuidValue, L"", L"FunctionListMatchOrder")->AsNumber(), 1u);
    EXPECT_THAT(Boxes(), IsEmpty());
}

// A text exactly as ctags last read it takes its tags again without ctags;
// whatever changes its characters (typing, undo, a reload, another code
// page) or the ctags program runs ctags anew. An editor that reported no
// change since is not even read.
TEST_F(FunctionListDllTest, AnUnchangedTextIsNotReadByCtagsAgain)
{
    // A copy of its own: other tests running meanwhile make other ctags of
    // the shared fakectags (see TScript).
    const std::wstring Ctags = Dir / L"ctags.exe";
    ASSERT_TRUE(::CopyFileW(FakeCtags().c_str(), Ctags.c_str(), FALSE));
    Load(Ctags);
    const std::wstring Ran = Dir / L"ran.c";
    const TScript Steer(Dir, "keep " + WideToUtf8(Ran) + "\nctags\n");
    const std::vector<TEditorLine> Original = OpenSource(L"main.c", TaggedSource).Lines;
    const auto Retype = [](intptr_t Line, const wchar_t* Text) {
        return [=](TEditor& E) { E.Lines[static_cast<size_t>(Line)].Text = Text; };
    };
    const auto Reload = [&](TEditor& E) {
        tagstest::WriteFileBytes(E.FileName, "int caf\xC3\xA9(void)\n{\n}\n");
        Host->Editors().OpenFile(E.FileName.c_str(),
                                 far3::EF_OPENMODE_RELOADIFOPEN | far3::EF_NONMODAL | far3::EF_IMMEDIATERETURN, -1, -1,
                                 CP_UTF8);
    };
    // F8: the same bytes in another code page, of which the host says nothing.
    const auto Recode = [&](TEditor& E) { Host->Editors().Recode(E, 1252, L"int caf\u00C3\u00A9(void)\n{\n}\n"); };
    const struct {
        const char* Change;
        std::function<void(TEditor&)> Make;
        bool Reads, Runs;
        const wchar_t* Listed;
    } Cases[] = {
        {"the first open", [](TEditor&) {}, true, true, L"print_point"},
        {"nothing", [](TEditor&) {}, false, false, L"print_point"},
        {"only a line end", [](TEditor& E) { E.Lines[1].Eol = L"\r\n"; }, true, false, L"print_point"},
        {"nothing after that", [](TEditor&) {}, false, false, L"print_point"},
        {"typing", Retype(19, L"void print_pt(int p)"), true, true, L"print_pt"},
        {"undo", [&](TEditor& E) { E.Lines = Original; }, true, true, L"print_point"},
        {"a reload from disk", Reload, true, true, L"caf\u00E9"},
        {"another code page", Recode, true, true, L"caf\u00C3\u00A9"},
        {"another ctags", [&](TEditor&) { TScript::Renew(Ctags); }, true, true, L"caf\u00C3\u00A9"},
    };
    for (const auto& Case : Cases) {
        ::DeleteFileW(Ran.c_str());
        Case.Make(Host->Editors().Current());
        std::vector<std::wstring> Rows;
        Script(TDialogScript().Check([&](THostDialog& Live) { Rows = VisibleEntries(Live.Items[List]); }).Esc());
        Host->ClearCalls();
        Host->OpenFromEditor();
        // Before the list, the word under the cursor is read, and the whole
        // text where the editor may have changed.
        const std::vector<TServiceCall> Calls = Host->Calls();
        const auto List = std::find_if(Calls.begin(), Calls.end(),
                                       [](const TServiceCall& C) { return C.Service == "DialogInit"; });
        const auto Reads = std::count_if(Calls.begin(), List,
                                         [](const TServiceCall& C) { return C.Service == "ECTL_GETSTRING"; });
        EXPECT_EQ(Reads > 2, Case.Reads) << Case.Change << ": " << Reads << " lines read";
        EXPECT_EQ(::GetFileAttributesW(Ran.c_str()) != INVALID_FILE_ATTRIBUTES, Case.Runs) << Case.Change;
        EXPECT_TRUE(std::any_of(Rows.begin(), Rows.end(), [&](const std::wstring& Row) {
            return Row.find(Case.Listed) != std::wstring::npos;
        })) << Case.Change;
    }
    EXPECT_THAT(LeftIn(TempDir), IsEmpty());
}
