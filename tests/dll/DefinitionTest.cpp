// Go to definition and back through the DLL: the project's tags file of
// each flavour and order, the edited file's own fresh tags, the list of
// several definitions, the jump into another file and the way back.
#include "DllTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace dlltest;
using tagstest::TagsText;

namespace {

// Two files of a project: shapes.c defines area (and a second area in a
// struct's scope), main.c calls it.
const char* const Shapes = "/* shapes */\n"
                           "\n"
                           "int area(int w, int h)\n"
                           "{\n"
                           "    return w * h;\n"
                           "}\n";
const char* const Main = "int main(void)\n"
                         "{\n"
                         "    return area(2, 3);\n"
                         "}\n";

class DefinitionTest : public TDllTest {
protected:
    void SetUp() override
    {
        TDllTest::SetUp();
        ::CreateDirectoryW((Dir / L"src").c_str(), nullptr);
        tagstest::WriteFileBytes(Dir / L"src\\shapes.c", Shapes);
    }
    // main.c open in an editor, the cursor on "area".
    TEditor& OpenMain()
    {
        TEditor& Editor = OpenSource(L"src\\main.c", Main);
        Editor.CurLine = 2;
        Editor.CurPos = 12;
        return Editor;
    }
    intptr_t Definition() { return Macro({TMacroValue::Str(L"definition")}); }
    intptr_t Back() { return Macro({TMacroValue::Str(L"back")}); }
    const TEditor& Current() { return Host->Editors().Current(); }
};

} // namespace

// Each ctags writes its tags file its own way; the definition is found in
// each, and the cursor lands on it in the other file, which opens.
TEST_F(DefinitionTest, TheTagsFileOfEachFlavourAndOrderLeadsIntoTheOtherFile)
{
    const struct {
        const char* Case;
        std::string Tags;
    } Cases[] = {
        {"Universal, sorted, escapes and marked scopes",
         TagsText("!_TAG_FILE_FORMAT|2|/extended format/\n!_TAG_FILE_SORTED|1|/0=unsorted, 1=sorted, 2=foldcase/\n"
                  "!_TAG_PROGRAM_NAME|Universal Ctags|/Derived from Exuberant Ctags/\n"
                  "a\\\\b|src/shapes.c|/^\\/* shapes *\\/$/;\"|macro|line:1\n"
                  "area|src/shapes.c|/^int area(int w, int h)$/;\"|function|line:3\n"
                  "main|src/main.c|/^int main(void)$/;\"|function|line:1\n")},
        {"Exuberant, backslash paths, CR LF", TagsText("!_TAG_FILE_SORTED|1|/0=unsorted, 1=sorted, 2=foldcase/\n"
                                                       "!_TAG_PROGRAM_NAME|Exuberant Ctags|//\n"
                                                       "area|src\\shapes.c|/^int area(int w, int h)$/;\"|f\n"
                                                       "main|src\\main.c|/^int main(void)$/;\"|f\n",
                                                       "\r\n")},
        {"unsorted, line numbers only",
         TagsText("!_TAG_FILE_SORTED|0|//\nmain|src/main.c|1;\"|f\narea|src/shapes.c|3;\"|f\n")},
        {"foldcase", TagsText("!_TAG_FILE_SORTED|2|//\narea|src/shapes.c|3;\"|f\nAREA_MAX|src/x.h|1;\"|d\n")},
        // The file changed since the tags were made: the line is found by
        // its text.
        {"a stale line", TagsText("!_TAG_FILE_SORTED|1|//\narea|src/shapes.c|1;/^int area(int w, int h)$/;\"|f\n")},
    };
    Load();
    const TScript Steer(Dir, "ctags\n");
    for (const auto& Case : Cases) {
        tagstest::WriteFileBytes(Dir / L"tags", Case.Tags);
        TEditor& Editor = OpenMain();
        EXPECT_EQ(Definition(), 1) << Case.Case;
        EXPECT_EQ(Current().FileName, Dir / L"src\\shapes.c") << Case.Case;
        EXPECT_EQ(Current().CurLine, 2) << Case.Case;
        EXPECT_EQ(Current().CurPos, 4) << Case.Case;
        EXPECT_THAT(Boxes(), IsEmpty()) << Case.Case;
        // Back into main.c, where the cursor was.
        EXPECT_EQ(Back(), 1) << Case.Case;
        EXPECT_EQ(Current().FileName, Editor.FileName) << Case.Case;
        EXPECT_EQ(Current().CurLine, 2) << Case.Case;
        EXPECT_EQ(Current().CurPos, 12) << Case.Case;
        while (Host->Editors().Count() > 0)
            Host->Editors().Close(Host->Editors().Current().Id);
    }
}

// The edited file's own tags are found afresh, in place of the tags file's
// entries for it; several candidates make a list that previews the other
// file; an open file comes to the front.
TEST_F(DefinitionTest, SeveralDefinitionsMakeAListAndAnOpenFileComesToTheFront)
{
    tagstest::WriteFileBytes(Dir / L"tags", TagsText("!_TAG_FILE_SORTED|1|//\n"
                                                     "area|src/main.c|/^int area_stale(void)$/;\"|f\n"
                                                     "area|src/shapes.c|/^int area(int w, int h)$/;\"|f\n"));
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Shapes = Host->Editors().Open(Dir / L"src\\shapes.c", CodePageToWide(CP_UTF8, ::Shapes));
    TEditor& Editor = OpenSource(L"src\\main.c", std::string(Main) + "\nint area(void)\n{\n}\n");
    Editor.CurLine = 2;
    Editor.CurPos = 12;
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[3]);
                   ASSERT_EQ(Rows.size(), 2u);
                   // The edited file's own first, its fresh line, not the stale entry.
                   EXPECT_EQ(Rows[0].substr(0, 14), L"src\\main.c  |6");
                   EXPECT_EQ(Rows[1].substr(0, 14), L"src\\shapes.c|3");
                   EXPECT_EQ(Live.Items[3].List.Title, L"Definitions of area");
               })
               .Key(VK_DOWN)
               .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[4].Data, L"int area(int w, int h)"); })
               .Enter());
    EXPECT_EQ(Definition(), 1);
    EXPECT_EQ(Current().Id, Shapes.Id);
    EXPECT_EQ(Current().CurLine, 2);
    EXPECT_EQ(Host->Editors().Count(), 2u);
    EXPECT_THAT(Boxes(), IsEmpty());
}

// Nothing to jump to: a box says why, and what to do about it.
TEST_F(DefinitionTest, NoTagsFileOrNoTagSaysSo)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenMain();
    EXPECT_EQ(Definition(), 0);
    EXPECT_THAT(Boxes(), ElementsAre(ElementsAre(
                             L"Lodestar", L"No definition of area was found.",
                             L"No tags file was found above the file's folder:", Dir / L"src",
                             L"Make one with \"Lodestar: make project tags\", or with ctags -R there.", L"&OK")));
    Host->ClearMessages();
    tagstest::WriteFileBytes(Dir / L"tags", TagsText("!_TAG_FILE_SORTED|1|//\nmain|src/main.c|1;\"|f\n"));
    EXPECT_EQ(Definition(), 0);
    EXPECT_THAT(Boxes(), ElementsAre(ElementsAre(L"Lodestar", L"No definition of area was found.",
                                                 L"The tags file searched:", Dir / L"tags", L"&OK")));
}

// The way back goes through every file the jumps went to, reopens one
// that was closed, and skips one that is gone.
TEST_F(DefinitionTest, BackGoesThroughTheFilesAndReopensAClosedOne)
{
    tagstest::WriteFileBytes(Dir / L"src\\gone.c", "int gone;\n");
    tagstest::WriteFileBytes(Dir / L"tags", TagsText("!_TAG_FILE_SORTED|1|//\n"
                                                     "area|src/shapes.c|3;\"|f\n"
                                                     "gone|src/gone.c|1;\"|v\n"
                                                     "main|src/main.c|1;\"|f\n"));
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenMain();
    const intptr_t MainId = Editor.Id;
    EXPECT_EQ(Definition(), 1); // into shapes.c
    const intptr_t ShapesId = Current().Id;
    Host->Editors().Close(MainId);
    // From shapes.c to gone.c, which is then deleted.
    TEditor& InShapes = Host->Editors().Current();
    InShapes.SetText(L"/* gone */\n");
    InShapes.CurLine = 0;
    InShapes.CurPos = 3;
    EXPECT_EQ(Definition(), 1);
    EXPECT_EQ(Current().FileName, Dir / L"src\\gone.c");
    Host->Editors().Close(Current().Id);
    ::DeleteFileW((Dir / L"src\\gone.c").c_str());
    // Back: to shapes.c (still open), then to main.c (reopened from disk).
    EXPECT_EQ(Back(), 1);
    EXPECT_EQ(Current().Id, ShapesId);
    EXPECT_EQ(Back(), 1);
    EXPECT_EQ(Current().FileName, Dir / L"src\\main.c");
    EXPECT_EQ(Current().CurLine, 2);
    EXPECT_EQ(Current().CurPos, 12);
    EXPECT_EQ(Back(), 0);
    EXPECT_THAT(Boxes(), IsEmpty());
}
