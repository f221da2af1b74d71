// The function list through the DLL as a new user meets it: what Enter
// chooses, what the rows and the context show, where the filter comes from,
// and how the list fits the console it opens in.
#include "DllTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

// Tags (by the tiny tagger of fakectags), in list order: area 8, LIMIT 1,
// main 14, point 3, print_point 20.
const char* const Source = "#define LIMIT 10\n"
                           "\n"
                           "struct point\n"
                           "{\n"
                           "    int x, y;\n"
                           "};\n"
                           "\n"
                           "int area(int w, int h)\n"
                           "{\n"
                           "    return w * h;\n"
                           "}\n"
                           "\n"
                           "\n"
                           "int main(void)\n"
                           "{\n"
                           "    print_point(0);\n"
                           "    return area(2, 3);\n"
                           "}\n"
                           "\n"
                           "void print_point(int p)\n"
                           "{\n"
                           "}\n";

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
    TEditor& Editor = OpenSource(L"main.c", Source);
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
    TEditor& Editor = OpenSource(L"main.cpp", Source);
    Editor.CurLine = 19; // in print_point
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Values");
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
    TEditor& Editor = OpenSource(L"main.c", Source);
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

// Down to 40 x 12 the list keeps three rows, the context lines give way
// first, and everything lies inside the frame, also after a resize.
TEST_F(FunctionListDllTest, TheListFitsAnyConsoleItOpensInAndFollowsAResize)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenSource(L"main.c", Source);
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
               .Check(Fits(80, 17, 0))
               .Resize(80, 25)
               .Check(Fits(80, 25, 3))
               .Resize(80, 14)
               .Check(Fits(80, 14, 0))
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
    TEditor& Editor = OpenSource(L"main.c", Source);
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
