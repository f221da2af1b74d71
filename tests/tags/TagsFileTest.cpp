// Tags files as each ctags writes them: the pseudo tags, the tag lines and
// their escapes, the lookups of each order, the index of an unsorted file,
// every name in turn and the tags of one source file.
#include "TagsTestUtil.h"

#include "base/Handle.h"
#include "base/uStrings.h"
#include "tags/uTagsFile.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace tagstest;

namespace {

// An entry in one line: name|file (relative to Folder where it lies in
// it)|line|pattern (^ and $ where anchored, - when none)|kind|scope.
std::wstring Shown(const TTagsFileEntry& Entry, const std::wstring& Folder)
{
    std::wstring File = Entry.File;
    if (File.rfind(Folder + L"\\", 0) == 0)
        File = File.substr(Folder.size() + 1);
    std::wstring Pattern = L"-";
    if (Entry.Pattern)
        Pattern = (Entry.Pattern->Start ? L"^" : L"") + Entry.Pattern->Text + (Entry.Pattern->End ? L"$" : L"");
    return Entry.Name + L"|" + File + L"|" + std::to_wstring(Entry.Line) + L"|" + Pattern + L"|" + Entry.Kind + L"|" +
           Entry.Scope;
}

std::vector<std::wstring> Shown(const std::vector<TTagsFileEntry>& Entries, const std::wstring& Folder)
{
    std::vector<std::wstring> Result;
    for (const TTagsFileEntry& Entry : Entries)
        Result.push_back(Shown(Entry, Folder));
    return Result;
}

// What Universal Ctags 6.2.1 for Windows writes with --fields=+nKZ and
// backslashes as separators (fewer pseudo tags), with its CR LF.
const char* const UniversalWindows = R"tags(!_TAG_FIELD_DESCRIPTION|file|/File-restricted scoping/
!_TAG_FIELD_DESCRIPTION|line|/Line number of tag definition/
!_TAG_FIELD_DESCRIPTION|scope|/[tags output] prepend "scope:" key to s\/scope field output/
!_TAG_FIELD_DESCRIPTION|typeref|/Type and name of a variable or typedef/
!_TAG_FILE_FORMAT|2|/extended format; --format=1 will not append ;" to lines/
!_TAG_FILE_SORTED|1|/0=unsorted, 1=sorted, 2=foldcase/
!_TAG_OUTPUT_FILESEP|backslash|/slash or backslash/
!_TAG_OUTPUT_MODE|u-ctags|/u-ctags or e-ctags/
!_TAG_PATTERN_LENGTH_LIMIT|96|/0 for no limit/
!_TAG_PROGRAM_NAME|Universal Ctags|/Derived from Exuberant Ctags/
!_TAG_PROGRAM_VERSION|6.2.1|//
A!B|src\\doc.tex|/^\\subsection{A!B}$/;"|subsection|line:2|scope:section:Intro\\textbackslash
Circle|src\\a.cpp|/^class Circle {$/;"|class|line:2|scope:namespace:geo|file:
Intro\\textbackslash|src\\doc.tex|/^\\section{Intro\\textbackslash}$/;"|section|line:1
\x21bang heading|src\\doc.md|/^# !bang heading$/;"|chapter|line:1
a_very_long_function_name_with_many_many_arguments|src\\sub\\b.c|/^int a_very_long_function_name_with_many_many_arguments(int first_argument, int second_argument, /;"|function|line:6|typeref:typename:int
area|src\\a.cpp|/^double Circle::area() const { return 3.14 * r * r; }$/;"|function|line:7|scope:class:geo::Circle|typeref:typename:double
cost$|src\\d.c|/^int cost\$$/;"|variable|line:4|typeref:typename:int
crlf|C:\\elsewhere\\crlf.c|/^int crlf(void)$/;"|function|line:1|typeref:typename:int
dollar$|src\\d.c|/^int|dollar$;$/;"|variable|line:1|typeref:typename:int
money|src\\d.c|/^int money(void) { return 1; } \/* $ *\/$/;"|function|line:3|typeref:typename:int
tab\there|src\\doc.md|/^## tab|here$/;"|section|line:3|scope:chapter:lead
)tags";

// Exuberant Ctags for Windows: backslashes as they are, nothing escaped
// but the pattern, letters for kinds, the scope as KIND:NAME; -B writes
// ?...? patterns, and a macro gets a line number.
const char* const ExuberantWindows =
    R"tags(!_TAG_FILE_FORMAT|2|/extended format; --format=1 will not append ;" to lines/
!_TAG_FILE_SORTED|1|/0=unsorted, 1=sorted, 2=foldcase/
!_TAG_PROGRAM_NAME|Exuberant Ctags|//
!_TAG_PROGRAM_VERSION|5.8|//
Circle|src\a.cpp|?^class Circle {$?;"|c|namespace:geo|file:
Foo\\Bar|src\x.php|?^function Foo\\Bar()$?;"|f
PATH|src\a.cpp|9;"|d|file:
area|src\a.cpp|?^double Circle::area() const { return 3.14 * r * r; }$?;"|f|class:geo::Circle
search_me|src\a.cpp|?^int search_me(const char *p) { return p[0] == '/'; }$?;"|f|typeref:struct:x|signature:(const char *p)
system|/usr/include/stdlib.h|/^extern int system (const char *__command) __wur;$/;"|p|file:
)tags";

// Universal Ctags without Z and with letters, its kinds described; the
// first format's numbers-only lines and combined addresses.
const char* const UniversalLetters = R"tags(!_TAG_FILE_SORTED|0|/0=unsorted, 1=sorted, 2=foldcase/
!_TAG_KIND_DESCRIPTION!C|f,function|/function definitions/
!_TAG_KIND_DESCRIPTION!C|m,member|/struct, and union members/
!_TAG_KIND_DESCRIPTION!C|s,struct|/structure names/
!_TAG_KIND_DESCRIPTION!Python|m,member|/class members/
!_TAG_KIND_DESCRIPTION!Sh|f,function|/functions/
!_TAG_KIND_DESCRIPTION!Sh|s,script|/script files/
!_TAG_PROGRAM_NAME|Universal Ctags|/Derived from Exuberant Ctags/
x|./sub/b.c|1;/^struct point { int x; int y; };$/;"|m|struct:point|typeref:typename:int|file:
point|sub/b.c|1;"|s|language:C
point|sub/b.c|1;"|s
twice|sub/b.c|2
go|../up/x.rb|3;"|f|module:Tools
)tags";

struct TFixture {
    const char* Name;
    const char* Text;
    const char* Break;
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> Lookups;
};

} // namespace

TEST(TagsFile, ReadsEachFlavourAsItWritesIt)
{
    const TFixture Fixtures[] = {
        {"Universal for Windows",
         UniversalWindows,
         "\r\n",
         {{L"Circle", {L"Circle|src\\a.cpp|2|^class Circle {$|class|geo"}},
          {L"area", {L"area|src\\a.cpp|7|^double Circle::area() const { return 3.14 * r * r; }$|function|geo::Circle"}},
          {L"Intro\\textbackslash",
           {L"Intro\\textbackslash|src\\doc.tex|1|^\\section{Intro\\textbackslash}$|section|"}},
          {L"A!B", {L"A!B|src\\doc.tex|2|^\\subsection{A!B}$|subsection|Intro\\textbackslash"}},
          {L"!bang heading", {L"!bang heading|src\\doc.md|1|^# !bang heading$|chapter|"}},
          {L"tab\there", {L"tab\there|src\\doc.md|3|^## tab\there$|section|lead"}},
          {L"cost$", {L"cost$|src\\d.c|4|^int cost$$|variable|"}},
          {L"dollar$", {L"dollar$|src\\d.c|1|^int\tdollar$;$|variable|"}},
          {L"money", {L"money|src\\d.c|3|^int money(void) { return 1; } /* $ */$|function|"}},
          {L"crlf", {L"crlf|C:\\elsewhere\\crlf.c|1|^int crlf(void)$|function|"}},
          // Cut at 96 bytes: no $.
          {L"a_very_long_function_name_with_many_many_arguments",
           {L"a_very_long_function_name_with_many_many_arguments|src\\sub\\b.c|6|^int "
            L"a_very_long_function_name_with_many_many_arguments(int first_argument, int second_argument, |function|"}},
          {L"nothing", {}}}},
        {"Exuberant for Windows",
         ExuberantWindows,
         "\n",
         {{L"Circle", {L"Circle|src\\a.cpp|0|^class Circle {$|c|geo"}},
          {L"area", {L"area|src\\a.cpp|0|^double Circle::area() const { return 3.14 * r * r; }$|f|geo::Circle"}},
          {L"PATH", {L"PATH|src\\a.cpp|9|-|d|"}},
          {L"Foo\\\\Bar", {L"Foo\\\\Bar|src\\x.php|0|^function Foo\\Bar()$|f|"}},
          // Its own fields are never the scope.
          {L"search_me", {L"search_me|src\\a.cpp|0|^int search_me(const char *p) { return p[0] == '/'; }$|f|"}},
          // A Linux path starts at the root of the tags file's drive.
          {L"system", {L"system|C:\\usr\\include\\stdlib.h|0|^extern int system (const char *__command) __wur;$|p|"}}}},
        {"Universal with letters",
         UniversalLetters,
         "\n",
         {{L"x", {L"x|sub\\b.c|1|^struct point { int x; int y; };$|member|point"}},
          // m is a member in both languages, s only in C when the tag says so.
          {L"point", {L"point|sub\\b.c|1|-|struct|", L"point|sub\\b.c|1|-|s|"}},
          {L"twice", {L"twice|sub\\b.c|2|-||"}},
          {L"go", {L"go|UP\\x.rb|3|-|function|Tools"}}}},
    };
    for (const TFixture& Fixture : Fixtures) {
        SCOPED_TRACE(Fixture.Name);
        TScratchDir Dir;
        ::CreateDirectoryW((Dir / L"project").c_str(), nullptr);
        const std::wstring Folder = Dir / L"project";
        WriteFileBytes(Folder + L"\\tags", TagsText(Fixture.Text, Fixture.Break));
        const TTagsFile Tags(Folder + L"\\tags");
        EXPECT_EQ(Tags.Folder(), Folder);
        for (const auto& [Name, Expected] : Fixture.Lookups) {
            std::vector<std::wstring> Found = Shown(Tags.FindTags(Name), Folder);
            for (std::wstring& Line : Found)
                if (const size_t Up = Line.find(Dir.Path() + L"\\up\\"); Up != std::wstring::npos)
                    Line.replace(Up, Dir.Path().size() + 4, L"UP\\");
            EXPECT_EQ(Found, Expected) << ::testing::PrintToString(Name);
        }
    }
}

// Each order's lookup against a plain scan of the same lines: names of few
// letters in both cases, so that spellings of one name without case abound
// and names begin one another.
TEST(TagsFile, FindsANameInEachOrderAsAScanWould)
{
    std::mt19937 Random(11);
    const std::string Letters = "aAbB_z";
    std::vector<std::string> Names;
    for (int I = 0; I < 1500; ++I) {
        std::string Name;
        for (size_t Length = 1 + Random() % 4; Length > 0; --Length)
            Name += Letters[Random() % Letters.size()];
        Names.push_back(Name);
    }
    const auto Folded = [](std::string Text) {
        for (char& C : Text)
            if (C >= 'a' && C <= 'z')
                C = static_cast<char>(C - 'a' + 'A');
        return Text;
    };
    struct TLine {
        std::string Name;
        size_t Number;
        std::string Text;
    };
    std::vector<TLine> Lines;
    for (size_t I = 0; I < Names.size(); ++I)
        Lines.push_back(
            {Names[I], I + 1, Names[I] + "\tf" + std::to_string(I % 7) + ".c\t" + std::to_string(I + 1) + ";\"\tf"});
    const struct {
        const char* Sorted;
        const char* Break;
    } Cases[] = {{"1", "\n"}, {"2", "\n"}, {"0", "\n"}, {"1", "\r\n"}, {"2", "\r\n"}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(std::string("sorted ") + Case.Sorted + (Case.Break[0] == '\r' ? ", CR LF" : ", LF"));
        if (Case.Sorted[0] == '1')
            std::sort(Lines.begin(), Lines.end(), [](const TLine& A, const TLine& B) { return A.Text < B.Text; });
        else if (Case.Sorted[0] == '2')
            std::sort(Lines.begin(), Lines.end(),
                      [&](const TLine& A, const TLine& B) { return Folded(A.Text) < Folded(B.Text); });
        else
            std::shuffle(Lines.begin(), Lines.end(), Random);
        std::string Text = std::string("!_TAG_FILE_SORTED\t") + Case.Sorted + "\t/0=unsorted, 1=sorted, 2=foldcase/" +
                           Case.Break + "!_TAG_PROGRAM_NAME\tExuberant Ctags\t//" + Case.Break;
        for (const TLine& Line : Lines)
            Text += Line.Text + Case.Break;
        TScratchDir Dir;
        WriteFileBytes(Dir / L"tags", Text);
        const TTagsFile Tags(Dir / L"tags");
        std::vector<std::string> Queries = Names;
        Queries.insert(Queries.end(), {"", "c", "aaaaa", "zz_", "Z", "_", "bab_A"});
        for (size_t I = 0; I < 300; ++I)
            Queries.push_back(Folded(Names[I]));
        for (const std::string& Query : Queries) {
            std::vector<std::string> Expected;
            for (const bool Blind : {false, true}) {
                for (const TLine& Line : Lines)
                    if (Blind ? Folded(Line.Name) == Folded(Query) : Line.Name == Query)
                        Expected.push_back(Line.Name + " " + std::to_string(Line.Number));
                if (!Expected.empty())
                    break;
            }
            std::vector<std::string> Found;
            for (const TTagsFileEntry& Entry : Tags.FindTags(DecodeText(Query)))
                Found.push_back(WideToUtf8(Entry.Name) + " " + std::to_string(Entry.Line));
            ASSERT_EQ(Found, Expected) << "query " << ::testing::PrintToString(Query);
        }
    }
}

// An unsorted file is scanned once for its index, which serves every later
// lookup while the file keeps its size and time, whoever opens it.
TEST(TagsFile, KeepsTheIndexOfAnUnsortedFileWhileItStaysTheSame)
{
    TScratchDir Dir;
    const std::wstring Path = Dir / L"tags";
    const auto Write = [&](const std::string& Lines, std::uint64_t Time) {
        WriteFileBytes(Path, TagsText("!_TAG_FILE_SORTED|0|//\n" + Lines));
        const TFileHandle File(
            ::CreateFileW(Path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME Written{static_cast<DWORD>(Time), static_cast<DWORD>(Time >> 32)};
        ASSERT_TRUE(::SetFileTime(File.get(), nullptr, nullptr, &Written));
    };
    const auto Lines = [&](const TTagsFile& Tags, const wchar_t* Name) {
        std::vector<std::int32_t> Result;
        for (const TTagsFileEntry& Entry : Tags.FindTags(Name))
            Result.push_back(Entry.Line);
        return Result;
    };
    Write("b|x.c|1;\"|f\nA|x.c|2;\"|f\nb|y.c|3;\"|f\n", 133000000000000000);
    const std::uint64_t Before = TTagsIndex::BuildCount();
    {
        const TTagsFile Tags(Path);
        EXPECT_EQ(TTagsIndex::BuildCount(), Before); // not before a lookup
        EXPECT_EQ(Lines(Tags, L"b"), (std::vector<std::int32_t>{1, 3}));
        EXPECT_EQ(Lines(Tags, L"a"), (std::vector<std::int32_t>{2}));
        EXPECT_EQ(TTagsIndex::BuildCount(), Before + 1);
    }
    EXPECT_EQ(Lines(TTagsFile(Path), L"B"), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(TTagsIndex::BuildCount(), Before + 1);
    // Another size; then the same size at another time. (The system lets
    // no one rewrite a file while it is mapped: each reader is gone.)
    Write("b|x.c|1;\"|f\nA|x.c|2;\"|f\ncc|y.c|4;\"|f\n", 133000000000000000);
    EXPECT_EQ(Lines(TTagsFile(Path), L"cc"), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(TTagsIndex::BuildCount(), Before + 2);
    Write("b|x.c|1;\"|f\nA|x.c|2;\"|f\ndd|y.c|4;\"|f\n", 133000000010000000);
    EXPECT_EQ(Lines(TTagsFile(Path), L"dd"), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(TTagsIndex::BuildCount(), Before + 3);
}

TEST(TagsFile, AFileThatCannotBeReadRaisesAndAnEmptyOneHasNoTags)
{
    TScratchDir Dir;
    try {
        const TTagsFile Tags(Dir / L"missing\\tags");
        FAIL() << "no exception";
    } catch (const ETagsFileError& E) {
        EXPECT_EQ(E.Message(), L"The tags file cannot be read: " + Dir / L"missing\\tags");
        EXPECT_EQ(E.ErrorCode(), ERROR_PATH_NOT_FOUND);
    }
    EXPECT_THROW(TTagsFile(Dir.Path()), ETagsFileError);
    for (const char* Text : {"", "!_TAG_FILE_SORTED\t1\t//\n", "broken\nno tabs at all\r\n\n"}) {
        WriteFileBytes(Dir / L"tags", Text);
        const TTagsFile Tags(Dir / L"tags");
        EXPECT_TRUE(Tags.FindTags(L"broken").empty());
        std::uint64_t Pos = Tags.TagsBegin();
        TTagsFile::TNameRef Ref;
        EXPECT_FALSE(Tags.NextName(Pos, Ref));
    }
}

// Every name in turn, as views into the file, and the tags of one source
// file by any spelling of its path.
TEST(TagsFile, HandsOutEveryNameAndTheTagsOfOneFile)
{
    TScratchDir Dir;
    WriteFileBytes(Dir / L"tags", TagsText(R"tags(!_TAG_FILE_SORTED|1|//
!_TAG_PROGRAM_NAME|Universal Ctags|//
Beta|src/a.c|/^int Beta;$/;"|v
alpha|./src/a.c|3;"|f
gamma|src\\b.c|4;"|f
odd\\name|SRC/A.C|5;"|f
)tags",
                                           "\r\n"));
    const TTagsFile Tags(Dir / L"tags");
    std::vector<std::string> Names;
    std::uint64_t Pos = Tags.TagsBegin();
    TTagsFile::TNameRef Ref;
    while (Tags.NextName(Pos, Ref)) {
        Names.emplace_back(std::string(Ref.Name) + " " + std::string(Ref.File));
        const auto Entry = Tags.ReadEntry(Ref.Offset);
        ASSERT_TRUE(Entry);
        EXPECT_EQ(Entry->Name, Tags.DecodeName(Ref.Name));
        EXPECT_EQ(Entry->Offset, Ref.Offset);
    }
    EXPECT_EQ(Names,
              (std::vector<std::string>{"Beta src/a.c", "alpha ./src/a.c", "gamma src\\\\b.c", "odd\\\\name SRC/A.C"}));
    for (const std::wstring& Spelling : {Dir / L"src\\a.c", Dir / L"SRC\\sub\\..\\a.c", Dir / L"src/a.c"}) {
        std::vector<std::wstring> Found;
        for (const TTagsFileEntry& Entry : Tags.FindTagsOfFile(Spelling))
            Found.push_back(Entry.Name);
        EXPECT_EQ(Found, (std::vector<std::wstring>{L"Beta", L"alpha", L"odd\\name"}))
            << ::testing::PrintToString(Spelling);
    }
    EXPECT_TRUE(Tags.FindTagsOfFile(Dir / L"src\\c.c").empty());
}

TEST(FindTagsFile, TakesTheNamesInTurnEachTheNearestAboveTheFile)
{
    TScratchDir Dir;
    for (const wchar_t* Folder : {L"a", L"a\\b", L"a\\b\\c", L"other"})
        ::CreateDirectoryW((Dir / Folder).c_str(), nullptr);
    for (const wchar_t* File : {L"a\\tags", L"a\\b\\tags", L"a\\TAGS2", L"other\\mine.tags"})
        WriteFileBytes(Dir / File, "");
    const std::wstring Source = Dir / L"a\\b\\c\\x.c";
    const struct {
        std::wstring Names;
        std::wstring Found;
    } Cases[] = {
        {L"tags", Dir / L"a\\b\\tags"},
        {L" TAGS2 ; tags", Dir / L"a\\TAGS2"},
        {L"none;tags", Dir / L"a\\b\\tags"},
        {Dir / L"other\\mine.tags" + L";tags", Dir / L"other\\mine.tags"},
        {Dir / L"other\\missing" + L";tags", Dir / L"a\\b\\tags"},
        {L"none", L""},
        {L"", L""},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(FindTagsFile(Source, Case.Names), Case.Found) << ::testing::PrintToString(Case.Names);
}

// A file that names no encoding may hold UTF-8 (Universal Ctags) or the
// system's ANSI code page (Exuberant Ctags on a source in it): a name is
// found in either, and a file that names its encoding is read in it.
TEST(TagsFile, FindsANameInTheEncodingTheFileHasIt)
{
    const std::wstring Name = L"caf\u00E9";
    const std::string Ansi = WideToCodePage(CP_ACP, Name);
    ASSERT_EQ(CodePageToWide(CP_ACP, Ansi), Name) << "the system's ANSI code page has no e acute";
    TScratchDir Dir;
    const std::string Both = WideToUtf8(Name) + "\tx.c\t1;\"\tf\n" + Ansi + "\tx.c\t2;\"\tf\n";
    const struct {
        std::string Header;
        std::string Written;
        std::wstring Wanted;
        std::vector<std::int32_t> Lines;
    } Cases[] = {
        {"", Both, Name, {1, 2}},
        {"!_TAG_FILE_ENCODING\tutf-8\t//\n", Both, Name, {1}},
        {"!_TAG_FILE_ENCODING\tcp1251\t//\n", "\xEA\xEE\xF2\tx.c\t4;\"\tf\n", L"\u043A\u043E\u0442", {4}},
    };
    for (const auto& Case : Cases) {
        WriteFileBytes(Dir / L"tags", "!_TAG_FILE_SORTED\t1\t//\n" + Case.Header + Case.Written);
        const TTagsFile Tags(Dir / L"tags");
        std::vector<std::int32_t> Lines;
        for (const TTagsFileEntry& Entry : Tags.FindTags(Case.Wanted)) {
            Lines.push_back(Entry.Line);
            EXPECT_EQ(Entry.Name, Case.Wanted);
        }
        EXPECT_EQ(Lines, Case.Lines) << Case.Header;
    }
}
