// The project's tags through the DLL: every tag of the tags file with the
// edited file's fresh ones, a bounded list whose title counts them all, the
// filter, one kind, the text of another file and the jump there and back.
#include "DllTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

enum { List = 3, FirstContext = 4 };

class ProjectTagsTest : public TDllTest {
protected:
    intptr_t Project() { return Macro({TMacroValue::Str(L"project")}); }
};

std::wstring CurrentRow(THostDialog& Live)
{
    const THostList& Rows = Live.Items[List].List;
    return Rows.CurPos < 0 ? L"" : Rows.Entries[static_cast<size_t>(Rows.CurPos)].Text;
}

} // namespace

TEST_F(ProjectTagsTest, EveryTagOfTheProjectFilteredAndJumpedTo)
{
    ::CreateDirectoryW((Dir / L"src").c_str(), nullptr);
    tagstest::WriteFileBytes(Dir / L"src\\shapes.c", "/* shapes */\n\nint area(int w, int h)\n{\n}\n");
    // 2,500 generated tags and two real ones; main.c's entry is stale (the
    // edited file's own tags stand in for it).
    std::string Tags = "!_TAG_FILE_SORTED\t1\t//\n";
    for (int I = 0; I < 2500; ++I) {
        char Line[96];
        std::snprintf(Line, sizeof(Line), "agen_%04d\tsrc/gen.c\t%d;\"\t%s\n", I, I + 1, I % 2 ? "macro" : "variable");
        Tags += Line;
    }
    Tags += "area\tsrc/shapes.c\t3;\"\tfunction\n";
    // After 2,500 that hold its name, the one named so.
    Tags += "gen\tsrc/gen.c\t1;\"\tfunction\n";
    Tags += "main\tsrc/main.c\t99;\"\tfunction\n";
    tagstest::WriteFileBytes(Dir / L"tags", Tags);
    Load();
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenSource(L"src\\main.c", "int main(void)\n{\n    return 0;\n}\n");
    Editor.CurLine = 2;
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   // All of them counted, a few thousand listed.
                   EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 2,503 of 2,503");
                   EXPECT_EQ(VisibleEntries(Live.Items[List]).size(), 2000u);
                   // The edited file's fresh tag, not its stale entry.
                   const std::wstring First = VisibleEntries(Live.Items[List]).at(0);
                   EXPECT_EQ(First.substr(0, 5), L"main ");
                   EXPECT_THAT(First, ::testing::EndsWith(L"|src\\main.c|   1"));
               })
               .Type(L"gen")
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 2,501 of 2,503");
                   EXPECT_EQ(CurrentRow(Live).substr(0, 4), L"gen ");
               })
               .Keys(VK_BACK, 3)
               .Type(L"gen_01")
               .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 100 of 2,503"); })
               .Key(VK_F3)
               .Key(VK_F3)
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 50 of 2,503, macro");
               })
               .Key(VK_F3, SHIFT_PRESSED)
               .Key(VK_F3, SHIFT_PRESSED)
               .Keys(VK_BACK, 6)
               .Type(L"ARE")
               .Check([](THostDialog& Live) {
                   const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[List]);
                   ASSERT_EQ(Rows.size(), 1u);
                   EXPECT_EQ(Rows[0].substr(0, 4), L"area");
                   // From the other file, as it is on disk.
                   EXPECT_EQ(Live.Items[FirstContext].Data, L"int area(int w, int h)");
               })
               .Enter());
    EXPECT_EQ(Project(), 1);
    EXPECT_EQ(Host->Editors().Current().FileName, Dir / L"src\\shapes.c");
    EXPECT_EQ(Host->Editors().Current().CurLine, 2);
    EXPECT_EQ(Macro({TMacroValue::Str(L"back")}), 1);
    EXPECT_EQ(Host->Editors().Current().Id, Editor.Id);
    // Scattered letters, when the options ask for them.
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionListFuzzy", 1);
    Script(TDialogScript()
               .Type(L"mn")
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 1 of 2,503");
                   EXPECT_EQ(CurrentRow(Live).substr(0, 5), L"main|");
               })
               .Esc());
    EXPECT_EQ(Project(), 0);
    EXPECT_THAT(Boxes(), IsEmpty());
}

// Without a tags file the box says so and offers to make one, and shows it.
// A tags file of megabytes shows its first tags at once and counts them
// all once its index is read behind the list; a filter waits for that.
TEST_F(ProjectTagsTest, ALargeFilesFirstTagsShowWhileItsIndexIsRead)
{
    std::string Tags = "!_TAG_FILE_SORTED\t1\t//\nmain\tsrc/main.c\t99;\"\tfunction\n";
    for (int I = 0; I < 40000; ++I) {
        char Line[160];
        std::snprintf(Line, sizeof(Line),
                      "tag_%05d\tsrc/big.c\t/^static int tag_%05d(struct device *dev, int value)$/;\"\tfunction\n", I,
                      I);
        Tags += Line;
    }
    ::CreateDirectoryW((Dir / L"src").c_str(), nullptr);
    tagstest::WriteFileBytes(Dir / L"tags", Tags);
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenSource(L"src\\main.c", "int main(void)\n{\n    return 0;\n}\n");
    Script(
        TDialogScript()
            .Check([](THostDialog& Live) {
                // The count comes as soon as the host lets it; the
                // rows are the same before and after.
                EXPECT_THAT(Live.Items[List].List.Title,
                            ::testing::AnyOf(L"Project tags: 2,000, counting...", L"Project tags: 40,001 of 40,001"));
                const std::vector<std::wstring> Rows = VisibleEntries(Live.Items[List]);
                ASSERT_EQ(Rows.size(), 2000u);
                EXPECT_EQ(Rows[0].substr(0, 5), L"main ");
                EXPECT_EQ(Rows[1999].substr(0, 9), L"tag_01998");
            })
            .Type(L"tag_3999")
            .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 10 of 40,001"); })
            .Keys(VK_BACK, 8)
            .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 40,001 of 40,001"); })
            .Esc());
    EXPECT_EQ(Project(), 0);
}

TEST_F(ProjectTagsTest, WithoutATagsFileABoxOffersToMakeOne)
{
    Load();
    const TScript Steer(Dir, "ctags\n");
    OpenSource(L"main.c", "int main(void)\n{\n}\n");
    Host->QueueMessageResult(1); // Cancel
    EXPECT_EQ(Project(), 0);
    EXPECT_THAT(Boxes(), ElementsAre(ElementsAre(L"Lodestar", L"No tags file was found above the file's folder:",
                                                 Dir.Path(), L"&Make one", L"&Cancel")));
    EXPECT_EQ(Host->CallCount("DialogInit"), 0u);
    // Made at once, the list of what was made follows.
    Host->QueueMessageResult(0);
    Script(TDialogScript().Enter()); // the folder offered
    Script(TDialogScript()
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[List].List.Title, L"Project tags: 1 of 1");
                   EXPECT_EQ(CurrentRow(Live).substr(0, 5), L"main|");
               })
               .Esc());
    EXPECT_EQ(Project(), 0);
    EXPECT_TRUE(FileExists(Dir / L"tags"));
}
