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

// What one process read, the next maps: the same tags from the saved index,
// none for another version of the file or a damaged save, and a renewal
// after a change that saves the new version in the old one's place.
TEST(ProjectIndex, ASavedIndexIsMappedByTheNextProcessOnlyWhileSound)
{
    TScratchDir Dir;
    TScratchDir Store;
    TProjectIndex::SetStoreFolder(Store.Path());
    const auto Unset = ScopeExit([] { TProjectIndex::SetStoreFolder(std::wstring()); });
    const std::wstring Path = Dir / L"tags";
    WriteFileBytes(Path, "!_TAG_FILE_SORTED\t1\t//\nalpha\ta.c\t1;\"\tf\nbeta\tb.c\t2;\"\tf\n");
    const auto Saved = [&] {
        std::vector<std::wstring> Names;
        WIN32_FIND_DATAW Data;
        const TFindHandle Find(::FindFirstFileW((Store / L"*").c_str(), &Data));
        for (bool More = Find.valid(); More; More = ::FindNextFileW(Find.get(), &Data))
            if (!(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                Names.push_back(Store / Data.cFileName);
        return Names;
    };
    std::wstring First;
    {
        const TTagsFile File(Path);
        const auto Read = TProjectIndex::Of(File);
        ASSERT_FALSE(Read->Saved());
        TProjectIndex::FinishSaving();
        ASSERT_EQ(Saved().size(), 1u);
        First = Saved().front();
        const auto Mapped = TProjectIndex::Load(File);
        ASSERT_TRUE(Mapped && Mapped->Saved());
        ASSERT_EQ(Mapped->Count(), 2u);
        for (size_t I = 0; I < 2; ++I) {
            EXPECT_EQ(Mapped->UpperName(I), Read->UpperName(I));
            EXPECT_EQ(Mapped->Offset(I), Read->Offset(I));
            EXPECT_EQ(Mapped->FileOf(I), Read->FileOf(I));
        }
        EXPECT_EQ(Mapped->Find({"ETA", false, TProjectIndex::NoFile, 5}).First, (std::vector<std::uint32_t>{1}));
    }
    const std::string Whole = ReadFileBytes(First);
    struct {
        const char* What;
        std::string Bytes;
    } const Damaged[] = {
        {"cut short", Whole.substr(0, Whole.size() - 8)},
        {"a name start that goes back",
         [&] {
             // The name starts 0, 6 and 11; the second made 12.
             std::string Bytes = Whole;
             const size_t Starts = Bytes.find(std::string("\0\0\0\0\x06\0\0\0\x0b\0\0\0", 12));
             if (Starts != std::string::npos)
                 Bytes[Starts + 4] = 12;
             return Bytes;
         }()},
    };
    for (const auto& Case : Damaged) {
        WriteFileBytes(First, Case.Bytes);
        const TTagsFile File(Path);
        EXPECT_EQ(TProjectIndex::Load(File), nullptr) << Case.What;
    }
    // A save changes the file; the renewal saves its index instead of the
    // old one's.
    WriteFileBytes(Path, "!_TAG_FILE_SORTED\t1\t//\nalpha\ta.c\t1;\"\tf\nbeta\tb.c\t2;\"\tf\ngamma\tc.c\t3;\"\tf\n");
    ASSERT_TRUE(TProjectIndex::Renew(Path, nullptr));
    ASSERT_EQ(Saved().size(), 1u);
    EXPECT_NE(Saved().front(), First);
    const TTagsFile File(Path);
    const auto Renewed = TProjectIndex::Load(File);
    ASSERT_TRUE(Renewed);
    EXPECT_EQ(Renewed->UpperName(2), "GAMMA");
    EXPECT_FALSE(TProjectIndex::Renew(Dir / L"other-tags", nullptr));
}
