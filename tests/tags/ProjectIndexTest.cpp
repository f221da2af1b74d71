// The index of a project's tags: one pass per version of the file, the
// names found by a part of them, a file left out, one kind, and the cap.
#include "TagsTestUtil.h"

#include "tags/uProjectIndex.h"

using namespace tagstest;

TEST(ProjectIndex, FindsByPartOfTheNameAndIsKeptWhileTheFileStaysTheSame)
{
    TScratchDir Dir;
    const std::wstring Path = Dir / L"tags";
    WriteFileBytes(Path, "!_TAG_FILE_SORTED\t1\t//\n"
                         "Area\ta.c\t1;\"\tfunction\n"
                         "calc_area\tb.c\t2;\"\tfunction\n"
                         "main\ta.c\t3;\"\tfunction\n"
                         "sub_area\tb.c\t4;\"\tmacro\n");
    std::shared_ptr<const TProjectIndex> First;
    {
        const TTagsFile File(Path);
        First = TProjectIndex::Of(File);
        ASSERT_EQ(First->Count(), 4u);
        EXPECT_EQ(First->UpperName(1), "CALC_AREA");
        const auto Found = First->Find({"AREA", false, TProjectIndex::NoFile, 2});
        EXPECT_EQ(Found.Count, 3u);
        EXPECT_EQ(Found.First, (std::vector<std::uint32_t>{0, 1}));
        // The best wherever they are: the whole name, then words' starts;
        // scattered letters only when asked for.
        EXPECT_EQ(First->Find({"AREA", false, TProjectIndex::NoFile, 0, nullptr, 0, 2}).Best,
                  (std::vector<std::uint32_t>{0, 1}));
        EXPECT_EQ(First->Find({"SBA", false, TProjectIndex::NoFile, 10}).Count, 0u);
        EXPECT_EQ(First->Find({"SBA", true, TProjectIndex::NoFile, 10}).First, (std::vector<std::uint32_t>{3}));
        // Without a.c's tags, and of one kind.
        const std::uint32_t A = First->FileNumber(File, Dir / L"a.c");
        ASSERT_NE(A, TProjectIndex::NoFile);
        EXPECT_EQ(First->Find({"", false, A, 10}).First, (std::vector<std::uint32_t>{1, 3}));
        const TProjectIndex::TKinds& Kinds = First->Kinds(File);
        const auto Macro = static_cast<std::uint16_t>(std::find(Kinds.Names.begin(), Kinds.Names.end(), L"macro") -
                                                      Kinds.Names.begin());
        EXPECT_EQ(First->Find({"AREA", false, TProjectIndex::NoFile, 10, &Kinds.Of, Macro}).First,
                  (std::vector<std::uint32_t>{3}));
        EXPECT_EQ(First->FileNumber(File, Dir / L"none.c"), TProjectIndex::NoFile);
        EXPECT_EQ(TProjectIndex::Of(File), First);
    }
    // A changed file is read again.
    WriteFileBytes(Path, "!_TAG_FILE_SORTED\t1\t//\nz\tz.c\t1;\"\tfunction\n");
    const TTagsFile Changed(Path);
    const auto Again = TProjectIndex::Of(Changed);
    EXPECT_NE(Again, First);
    EXPECT_EQ(Again->Count(), 1u);
}

// A file large enough to be read in two halves and in many buffers, with a
// line longer than a buffer, CRLF ends and no end to its last line: the
// index holds every tag that reading the file line by line finds, in order.
TEST(ProjectIndex, LargeFilesHoldWhatReadingLineByLineFinds)
{
    TScratchDir Dir;
    const std::wstring Path = Dir / L"tags";
    std::string Bytes = "!_TAG_FILE_SORTED\t1\t//\n";
    for (int I = 0; Bytes.size() < (5u << 20); ++I) {
        Bytes.append("n").append(std::to_string(I)).append("\tf").append(std::to_string(I % 7)).append(".c\t/^");
        Bytes.append(I == 9000 ? (3u << 20) : 60u, 'x').append("$/;\"\tf").append(I % 3 ? "\n" : "\r\n");
        if (I % 1000 == 0)
            Bytes += "broken line\n\n";
    }
    Bytes += "last\tl.c\t1";
    WriteFileBytes(Path, Bytes);
    const TTagsFile File(Path);
    const TProjectIndex Index(File);
    std::uint64_t Pos = File.TagsBegin();
    TTagsFile::TNameRef Ref;
    size_t I = 0;
    for (; File.NextName(Pos, Ref); ++I) {
        ASSERT_LT(I, Index.Count());
        ASSERT_EQ(Index.Offset(I), Ref.Offset) << I;
        std::string Upper(Ref.Name);
        for (char& C : Upper)
            C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
        ASSERT_EQ(Index.UpperName(I), Upper) << I;
    }
    EXPECT_EQ(Index.Count(), I);
    EXPECT_EQ(Index.UpperName(I - 1), "LAST");
    EXPECT_EQ(Index.Find({"N9000", false, TProjectIndex::NoFile, 5}).Count, 1u);
}
