// Tag extraction: the tag-line rules, the order of the list, and whole runs
// of fakectags through LoadFromFile.
#include "TagsTestUtil.h"

#include "tags/uCtags.h"
#include "tags/uLocaleOrder.h"
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <algorithm>
#include <random>
#include <string>

using namespace tagstest;

namespace {

struct TExpected {
    std::wstring Name;
    std::wstring Kind;
    std::int32_t Line;
    std::wstring Scope = {};
};

std::vector<TExpected> Items(const TCtags& Tags)
{
    std::vector<TExpected> Result;
    for (int I = 0; I < Tags.Count(); ++I)
        Result.push_back({Tags[I]->Name, Tags[I]->Kind, Tags[I]->Line, Tags[I]->Scope});
    return Result;
}

bool operator==(const TExpected& A, const TExpected& B)
{
    return A.Name == B.Name && A.Kind == B.Kind && A.Line == B.Line && A.Scope == B.Scope;
}

void PrintTo(const TExpected& E, std::ostream* Out)
{
    *Out << ::testing::PrintToString(E.Name) << "/" << ::testing::PrintToString(E.Kind) << "/" << E.Line << "/"
         << ::testing::PrintToString(E.Scope);
}

// The directory the test started in, restored when the test ends, whatever
// a failing check left behind.
class CtagsTest : public ::testing::Test {
protected:
    void SetUp() override { FSaved = GetCurrentDir(); }
    void TearDown() override { SetCurrentDir(FSaved); }
    std::wstring FSaved;
};

} // namespace

TEST(ParseTagLine, AcceptsFourFieldsWithALineAddressThenExtensionFields)
{
    const auto Parse = [](const wchar_t* Line) { return TCtags::ParseTagLine(Line); };
    auto Item = Parse(L"main\tfile.c\t12;\"\tfunction");
    ASSERT_TRUE(Item);
    EXPECT_EQ(Item->Name, L"main");
    EXPECT_EQ(Item->Kind, L"function");
    EXPECT_EQ(Item->Line, 12);

    EXPECT_EQ(Item->Scope, L"");

    // Extension fields in any order: the scope is kept, the rest skipped.
    // Universal Ctags marks the scope, so a field a language adds is never
    // taken for it, and a scope whose kind looks like another field's name
    // is never dropped; Exuberant Ctags writes no other "key:value" field.
    constexpr auto U = TCtagsFlavour::Universal;
    constexpr auto E = TCtagsFlavour::Exuberant;
    const struct {
        TCtagsFlavour Flavour;
        const wchar_t* Line;
        const wchar_t* Scope;
    } Extensions[] = {
        {U, L"main\tfile.c\t12;\"\tfunction\t", L""},
        {U, L"main\tfile.c\t12;\"\tfunction\tx", L""},
        {U, L"main\tfile.c\t12;\"\tfunction\t\t", L""},
        {U, L"area\tf.cpp\t11;\"\tfunction\tscope:class:geo::Circle", L"geo::Circle"},
        {U, L"x\tf.cpp\t3;\"\tmember\tfile:\taccess:public\tscope:struct:Point\tsignature:(int)", L"Point"},
        {U, L"x\tf.cpp\t3;\"\tmember\tscope:class:Outer.Inner\ttyperef:typename:int", L"Outer.Inner"},
        {U, L"np\tf.py\t1;\"\tnamespace\tnameref:module:numpy", L""},
        {U, L"Circle\tf.rb\t1;\"\tclass\tmixin:include:Comparable", L""},
        {U, L"area\tf.rs\t2;\"\tmethod\tscope:implementation:Circle", L"Circle"},
        {U, L"f\tf.d\t2;\"\tfunction\tscope:template:Box", L"Box"},
        {U, L"x\tf.c\t3;\"\tvariable\tline:3\tlanguage:C\tend:9", L""},
        {U, L"x\tf.c\t3;\"\tk\t:nokey\tnovalue:\tscope:bare\tscope::x", L""},
        {U, L"qux\tf.php\t3;\"\tfunction\tscope:class:Foo\\\\Bar\\\\Baz", L"Foo\\Bar\\Baz"},
        {E, L"area\tf.cpp\t11;\"\tfunction\tclass:geo::Circle", L"geo::Circle"},
        {E, L"__init__\tf.py\t2;\"\tmember\tclass:Shape", L"Shape"},
        {E, L"x\tf.c\t3;\"\tlocal\tfunction:main\tclass:Other", L"main"},
        {E, L"x\tf.c\t3;\"\tk\t:nokey\tnovalue:", L""},
        {E, L"qux\tf.php\t3;\"\tfunction\tclass:Foo\\\\Bar", L"Foo\\\\Bar"},
    };
    for (const auto& Case : Extensions) {
        const auto Extended = TCtags::ParseTagLine(Case.Line, Case.Flavour);
        ASSERT_TRUE(Extended) << ::testing::PrintToString(std::wstring(Case.Line));
        EXPECT_EQ(Extended->Scope, Case.Scope) << ::testing::PrintToString(std::wstring(Case.Line));
    }
    // Names as the source spells them: Universal Ctags' escapes undone, a
    // backslash of Exuberant Ctags kept.
    const struct {
        TCtagsFlavour Flavour;
        const wchar_t* Written;
        const wchar_t* Name;
    } Names[] = {
        {U, L"Foo\\\\Bar", L"Foo\\Bar"},
        {U, L"\\\\section", L"\\section"},
        {U, L"Heading \\\\# one", L"Heading \\# one"},
        {U, L"\\x21insertmacro", L"!insertmacro"},
        {U, L"\\x20lead", L" lead"},
        {U, L"a\\tb\\rc\\nd\\ae\\bf\\vg\\fh", L"a\tb\rc\nd\ae\bf\vg\fh"},
        {U, L"key\\x3d\\x7F", L"key=\x7f"},
        {U, L"odd\\q\\x4\\", L"odd\\q\\x4\\"},
        {E, L"Foo\\\\Bar", L"Foo\\\\Bar"},
        {E, L"\\x21x", L"\\x21x"},
    };
    for (const auto& Case : Names) {
        const auto Item = TCtags::ParseTagLine(std::wstring(Case.Written) + L"\tf\t1;\"\tfunction", Case.Flavour);
        ASSERT_TRUE(Item) << ::testing::PrintToString(std::wstring(Case.Written));
        EXPECT_EQ(Item->Name, Case.Name) << ::testing::PrintToString(std::wstring(Case.Written));
    }
    EXPECT_FALSE(Parse(L"main\tfile.c\t12;\"")); // three fields
    EXPECT_FALSE(Parse(L""));
    EXPECT_FALSE(Parse(L"\tfile.c\t12;\"\tfunction"));   // empty name
    EXPECT_FALSE(Parse(L"main\tfile.c\t12;\"\t"));       // empty kind
    EXPECT_FALSE(Parse(L"main\tfile.c\t;\"\tfunction")); // no number
    EXPECT_FALSE(Parse(L"main\tfile.c\tabc;\"\tfunction"));
    EXPECT_FALSE(Parse(L"main\tfile.c\t-3;\"\tfunction"));
    EXPECT_FALSE(Parse(L"main\tfile.c\t12\tfunction")); // no ;"
    EXPECT_FALSE(Parse(L"main\tfile.c\t/^int main$/;\"\tfunction"));
    EXPECT_FALSE(Parse(L"main\tfile.c\t2147483648;\"\tfunction"));
    EXPECT_FALSE(Parse(L"main\tfile.c\t12 ;\"\tfunction"));

    EXPECT_EQ(Parse(L"main\t\t0;\"\tfunction")->Line, 0); // an empty file name is fine
    EXPECT_EQ(Parse(L"m\tf\t  +7;\"\tk")->Line, 7);
    EXPECT_EQ(Parse(L"m\tf\t$1F;\"\tk")->Line, 31);
    EXPECT_EQ(Parse(L"m\tf\t0x10;\"\tk")->Line, 16);
    EXPECT_EQ(Parse(L"m\tf\tX10;\"\tk")->Line, 16);
    EXPECT_EQ(Parse(L"m\tf\t-0;\"\tk")->Line, 0);
    EXPECT_EQ(Parse(L"m\tf\t2147483647;\"\tk")->Line, 2147483647);
    EXPECT_EQ(Parse(L"operator ()\tf\t5;\"\tfunction")->Name, L"operator ()");
}

// Random and mutated lines never crash the parser, and whatever it accepts
// obeys the rules and reads back the same.
TEST(ParseTagLine, HoldsItsRulesOnRandomAndMutatedLines)
{
    std::mt19937 Random(20240607);
    const std::wstring Alphabet = L"\t\t\t;;\"\"0123456789-+$xX abcZ\u00E9\u20AC\r";
    const std::vector<std::wstring> Seeds = {L"main\tfile.c\t12;\"\tfunction", L"a\tb\t0;\"\tc\t",
                                             L"Foo\tx.h\t$7f;\"\tclass",
                                             L"area\tx.h\t9;\"\tfunction\tscope:class:a::Z"};
    const auto Pick = [&](size_t Size) { return static_cast<size_t>(Random() % Size); };
    int Accepted = 0;
    for (int Round = 0; Round < 30000; ++Round) {
        std::wstring Line;
        if (Round % 2 == 0) {
            const size_t Length = Pick(24);
            for (size_t I = 0; I < Length; ++I)
                Line += Alphabet[Pick(Alphabet.size())];
        } else {
            Line = Seeds[Pick(Seeds.size())];
            for (size_t Edits = 1 + Pick(3); Edits > 0; --Edits) {
                const size_t At = Pick(Line.size() + 1);
                switch (Pick(3)) {
                case 0: Line.insert(At, 1, Alphabet[Pick(Alphabet.size())]); break;
                case 1:
                    if (At < Line.size())
                        Line.erase(At, 1);
                    break;
                default:
                    if (At < Line.size())
                        Line[At] = Alphabet[Pick(Alphabet.size())];
                }
            }
        }
        const auto Item = TCtags::ParseTagLine(Line);
        if (!Item)
            continue;
        ++Accepted;
        ASSERT_FALSE(Item->Name.empty()) << ::testing::PrintToString(Line);
        ASSERT_FALSE(Item->Kind.empty()) << ::testing::PrintToString(Line);
        ASSERT_GE(Item->Line, 0) << ::testing::PrintToString(Line);
        ASSERT_EQ(Item->Name.find(L'\t'), std::wstring::npos);
        ASSERT_EQ(Item->Kind.find(L'\t'), std::wstring::npos);
        ASSERT_EQ(Item->Scope.find(L'\t'), std::wstring::npos);
        // Accepted lines start with the name, and the kind is the fourth
        // field, with the scope, if any, among the fields after it.
        ASSERT_EQ(Line.rfind(Item->Name + L"\t", 0), 0u) << ::testing::PrintToString(Line);
        ASSERT_NE(Line.find(L";\"\t" + Item->Kind), std::wstring::npos) << ::testing::PrintToString(Line);
        if (!Item->Scope.empty() && Line.find(L'\\') == std::wstring::npos) {
            ASSERT_NE(Line.find(L":" + Item->Scope), std::wstring::npos) << ::testing::PrintToString(Line);
        }
        const auto Again = TCtags::ParseTagLine(Item->Name + L"\tf\t" + std::to_wstring(Item->Line) + L";\"\t" +
                                                Item->Kind);
        ASSERT_TRUE(Again);
        ASSERT_EQ(Again->Line, Item->Line);
    }
    EXPECT_GT(Accepted, 100); // the mutations do reach the accepting paths
}

TEST(TCtagsOrder, NamesWithoutCaseThenScopesThenLines)
{
    // Same-named members: the one at file level first, then by scope, and
    // the scope decides before the line.
    EXPECT_TRUE(TCtags::ItemLess(TCtagsItem(L"area", L"k", 50), TCtagsItem(L"area", L"k", 5, L"Circle")));
    EXPECT_TRUE(TCtags::ItemLess(TCtagsItem(L"area", L"k", 50, L"circle"), TCtagsItem(L"area", L"k", 5, L"Square")));
    EXPECT_FALSE(TCtags::ItemLess(TCtagsItem(L"area", L"k", 5, L"Square"), TCtagsItem(L"area", L"k", 50, L"Circle")));
    EXPECT_TRUE(TCtags::ItemLess(TCtagsItem(L"area", L"k", 5, L"Z"), TCtagsItem(L"Beta", L"k", 1)));
    const TCtagsItem Foo30(L"Foo", L"function", 30), Foo10(L"foo", L"function", 10);
    EXPECT_TRUE(TCtags::ItemLess(Foo10, Foo30));
    EXPECT_FALSE(TCtags::ItemLess(Foo30, Foo10));
    EXPECT_TRUE(TCtags::ItemLess(TCtagsItem(L"alpha", L"k", 9), TCtagsItem(L"Beta", L"k", 1)));
    EXPECT_FALSE(TCtags::ItemLess(TCtagsItem(L"Beta", L"k", 1), TCtagsItem(L"alpha", L"k", 9)));
}

// The list is sorted by sort keys for speed; they must order names exactly
// as the comparison does, including ties.
TEST(TCtagsOrder, SortKeysAgreeWithTheComparison)
{
    std::mt19937 Random(7);
    const std::wstring Alphabet = L"aAbBzZ09_-'~.\u00E9\u00C9\u00DF\u00E6\u00E4\u0416\u0436 ";
    const auto Name = [&] {
        std::wstring Result;
        for (size_t Length = 1 + Random() % 6; Length > 0; --Length)
            Result += Alphabet[Random() % Alphabet.size()];
        return Result;
    };
    const auto Sign = [](int Value) { return (Value > 0) - (Value < 0); };
    for (int Round = 0; Round < 20000; ++Round) {
        const std::wstring A = Name();
        const std::wstring B = Round % 4 == 0 ? A : Name();
        ASSERT_EQ(Sign(CompareTextLocale(A, B)), Sign(SortKeyLocale(A).compare(SortKeyLocale(B))))
            << ::testing::PrintToString(A) << " " << ::testing::PrintToString(B);
    }
}

TEST_F(CtagsTest, LoadsParsesAndSortsTheTagsOfARealRun)
{
    TScratchDir Dir;
    WriteFileBytes(Dir / L"src.c", "int main(void)\r\n{\r\n}\r\nstruct Alpha {\r\n#define beta 1\r\n"
                                   "static int Zeta(int x)\r\n");
    TCtags Tags;
    EXPECT_EQ(Tags.GetExecutableName(), L"ctags.exe");
    EXPECT_EQ(Tags.Count(), 0);
    Tags.SetExecutableName(FakeCtags());
    // A relative name means the caller's directory, though ctags runs in
    // its own.
    SetCurrentDir(Dir.Path());
    Tags.LoadFromFile(L"src.c");
    EXPECT_EQ(GetCurrentDir(), Dir.Path());
    EXPECT_EQ(Items(Tags), (std::vector<TExpected>{{L"Alpha", L"struct", 4},
                                                   {L"beta", L"macro", 5},
                                                   {L"main", L"function", 1},
                                                   {L"Zeta", L"function", 6}}));
    EXPECT_THROW(Tags.GetItem(4), EArgumentOutOfRangeException);
    EXPECT_THROW(Tags.GetItem(-1), EArgumentOutOfRangeException);
}

TEST_F(CtagsTest, SkipsBrokenLinesDecodesUtf8AndSortsCaseBlind)
{
    TScratchDir Dir;
    TScript Script(Dir, "out Foo\\tx.c\\t30;\"\\tfunction\\r\\n"
                        "broken line\\r\\n"
                        "foo\\tx.c\\t10;\"\\tfunction\\r\\n"
                        "\\r\\n"
                        "Beta\\tx.c\\t2;\"\\tclass\\r\\n"
                        "gr\\xC3\\xB6\\xC3\\x9Fe\\tx.c\\t7;\"\\tvariable\\r\\n"
                        "alpha\\tx.c\\t5;\"\\tfunction\\t\\r\\n"
                        "bad\\tx.c\\t-1;\"\\tfunction\\r\\n\n"
                        "err warnings of a successful run are dropped\\n\n");
    TCtags Tags;
    Tags.SetExecutableName(FakeCtags());
    Tags.LoadFromFile(Dir / L"x.c");
    EXPECT_EQ(Items(Tags), (std::vector<TExpected>{{L"alpha", L"function", 5},
                                                   {L"Beta", L"class", 2},
                                                   {L"foo", L"function", 10},
                                                   {L"Foo", L"function", 30},
                                                   {L"gr\u00F6\u00DFe", L"variable", 7}}));
}

TEST_F(CtagsTest, ManyTagsComeOutInTheOrderOfTheComparison)
{
    TScratchDir Dir;
    TScript Script(Dir, "tags 3000\nout same\tx.c\t9;\"\tk\\nSAME\tx.c\t8;\"\tk\\n\n");
    TCtags Tags;
    Tags.SetExecutableName(FakeCtags());
    Tags.LoadFromFile(Dir / L"x.c");
    ASSERT_EQ(Tags.Count(), 3002);
    for (int I = 1; I < Tags.Count(); ++I)
        ASSERT_FALSE(TCtags::ItemLess(*Tags[I], *Tags[I - 1])) << I;
}

TEST_F(CtagsTest, BuildsTheCommandLineAndRunsBesideTheExecutable)
{
    TScratchDir Dir;
    TScript Script(Dir, "args err\ncwd err\nexit 1\n");
    TCtags Tags;
    SetCurrentDir(Dir.Path());
    // Each flavour, as it says of itself, gets the options it knows.
    const std::wstring Older = Dir / L"older\\ctags.exe";
    ::CreateDirectoryW((Dir / L"older").c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(FakeCtags().c_str(), Older.c_str(), FALSE));
    const struct {
        std::wstring Exe;
        const wchar_t* Flavour;
        TCtagsFlavour Read;
        const wchar_t* Options;
    } Flavours[] = {{FakeCtags(), L"universal", TCtagsFlavour::Universal, L" -f - --fields=KsZ -n --format=2 -G "},
                    {Older, L"exuberant", TCtagsFlavour::Exuberant, L" -f - --fields=Ks -n --format=2 "}};
    for (const auto& Case : Flavours) {
        const TEnvOverride Flavour(L"FAKECTAGS_FLAVOUR", Case.Flavour);
        Tags.SetExecutableName(Case.Exe);
        try {
            Tags.LoadFromFile(L"some \"file\".c");
            FAIL() << "no exception";
        } catch (const ECtagsError_ExecutionFailed& E) {
            EXPECT_EQ(E.ExitCode(), 1);
            EXPECT_EQ(E.Message(), L"\"" + Case.Exe + L"\"" + Case.Options + L"\"" + Dir.Path() +
                                       L"\\some \"\"file\"\".c\"\r\n" + ExtractFileDir(Case.Exe));
        }
        EXPECT_EQ(Tags.GetFlavour(), Case.Read);
        EXPECT_EQ(GetCurrentDir(), Dir.Path());
    }

    // A bare name is looked for on PATH, never in the current directory,
    // and runs by the full path found, beside itself.
    ASSERT_TRUE(::CopyFileW(FakeCtags().c_str(), (Dir / L"planted.exe").c_str(), FALSE));
    Tags.SetExecutableName(L"planted.exe");
    EXPECT_THROW(Tags.LoadFromFile(L"x.c"), ECtagsError_CtagsNotFound);
    const TEnvOverride Path(L"PATH", Dir / L"missing" + L";" + toolsupport::ProgramFolder());
    Tags.SetExecutableName(L"fakectags");
    try {
        Tags.LoadFromFile(L"x.c");
        FAIL() << "no exception";
    } catch (const ECtagsError_ExecutionFailed& E) {
        EXPECT_EQ(E.Message().substr(0, FakeCtags().size() + 3), L"\"" + FakeCtags() + L"\" ");
        EXPECT_EQ(E.Message().substr(E.Message().size() - toolsupport::ProgramFolder().size()),
                  toolsupport::ProgramFolder());
    }
    EXPECT_EQ(GetCurrentDir(), Dir.Path());
}

TEST_F(CtagsTest, FailuresKeepTheOldTagsAndTheDirectory)
{
    TScratchDir Dir;
    TCtags Tags;
    Tags.SetExecutableName(FakeCtags());
    {
        TScript Script(Dir, "out main\\tx.c\\t3;\"\\tfunction\\n\n");
        Tags.LoadFromFile(L"x.c");
        ASSERT_EQ(Tags.Count(), 1);
    }
    SetCurrentDir(Dir.Path());
    {
        TScript Script(
            Dir,
            "out half\\tx.c\\t1;\"\\tfunction\\n\nerr \\r\\n  ctags: bad things\\r\\nsecond line \\n\\n\nexit 2\n");
        try {
            Tags.LoadFromFile(L"x.c");
            FAIL() << "no exception";
        } catch (const ECtagsError_ExecutionFailed& E) {
            EXPECT_EQ(E.ExitCode(), 2);
            EXPECT_EQ(E.Message(), L"ctags: bad things\r\nsecond line");
            EXPECT_EQ(E.ErrorCode(), 0);
            EXPECT_STREQ(E.ClassName(), L"ECtagsError_ExecutionFailed");
        }
        EXPECT_EQ(GetCurrentDir(), Dir.Path());
        ASSERT_EQ(Tags.Count(), 1);
        EXPECT_EQ(Tags[0]->Name, L"main");
    }
    {
        TScript Script(Dir, "exit 3\n");
        try {
            Tags.LoadFromFile(L"x.c");
            FAIL() << "no exception";
        } catch (const ECtagsError_ExecutionFailed& E) {
            EXPECT_EQ(E.ExitCode(), 3);
            EXPECT_EQ(E.Message(), L"");
        }
    }
    Tags.SetExecutableName(Dir / L"no-ctags-here.exe");
    try {
        Tags.LoadFromFile(L"x.c");
        FAIL() << "no exception";
    } catch (const ECtagsError_CtagsNotFound& E) {
        EXPECT_EQ(E.Message(), L"ctags.exe not found: " + Dir / L"no-ctags-here.exe");
        EXPECT_STREQ(E.ClassName(), L"ECtagsError_CtagsNotFound");
        const ECtagsError* Base = &E; // the caller catches the family
        EXPECT_NE(dynamic_cast<const EInOutError*>(Base), nullptr);
    }
    EXPECT_EQ(GetCurrentDir(), Dir.Path());
    EXPECT_EQ(Tags.Count(), 1);
}

// Paths the current drive anchors, files that are no programs, a run that
// cannot be set up and output past a limit are errors of their own, and
// each leaves the tags as they were.
TEST_F(CtagsTest, EveryRunThatCannotBeMadeOrHeldIsAnErrorOfItsOwn)
{
    TScratchDir Dir;
    const std::wstring Cmd = Dir / L"ctags.cmd";
    WriteFileBytes(Cmd, "@echo off\r\n");
    WriteFileBytes(Dir / L"fake.exe", "MZ but nothing after it");
    const std::wstring Rooted = FakeCtags().substr(2); // "\...\fakectags.exe" on the current drive
    const std::wstring Temp = Dir / L"tmp";
    ::CreateDirectoryW(Temp.c_str(), nullptr);
    const TEnvOverride Tmp(L"TMP", Temp);
    const TEnvOverride TempVar(L"TEMP", Temp);
    TCtags Tags;
    Tags.SetExecutableName(FakeCtags());
    {
        TScript Script(Dir, "out main\\tx.c\\t3;\"\\tfunction\\n\n");
        Tags.LoadFromFile(L"x.c");
        ASSERT_EQ(Tags.Count(), 1);
    }
    const auto Raises = [&](const std::wstring& Program, const std::string& Script, auto Check) {
        Tags.SetExecutableName(Program);
        TScript Steer(Dir, Script);
        try {
            Tags.LoadFromFile(L"x.c");
            ADD_FAILURE() << "no exception: " << WideToUtf8(Program) << " " << Script;
        } catch (const ECtagsError& E) {
            Check(E);
        }
        EXPECT_EQ(Tags.Count(), 1);
        EXPECT_TRUE(toolsupport::LeftIn(Temp).empty());
    };
    const auto Is = [](const wchar_t* Class, const std::wstring& Message) {
        return [=](const ECtagsError& E) {
            EXPECT_STREQ(E.ClassName(), Class);
            EXPECT_EQ(E.Message(), Message);
        };
    };
    Raises(Rooted, "", Is(L"ECtagsError_PathNotFull", Rooted));
    Raises(L"C:fakectags.exe", "", Is(L"ECtagsError_PathNotFull", L"C:fakectags.exe"));
    Raises(Cmd, "", Is(L"ECtagsError_NotAProgram", Cmd));
    Raises(Dir / L"fake.exe", "", Is(L"ECtagsError_NotAProgram", Dir / L"fake.exe"));
    Raises(FakeCtags(), "flood err\n", [](const ECtagsError& E) {
        const auto* Large = dynamic_cast<const ECtagsError_OutputTooLarge*>(&E);
        ASSERT_NE(Large, nullptr) << WideToUtf8(E.ClassName());
        EXPECT_TRUE(Large->Errors());
        EXPECT_EQ(Large->Limit(), ProcessErrorLimit);
    });
    Tags.OutputLimit = 1000;
    Raises(FakeCtags(), "tags 1000\n", [](const ECtagsError& E) {
        const auto* Large = dynamic_cast<const ECtagsError_OutputTooLarge*>(&E);
        ASSERT_NE(Large, nullptr) << WideToUtf8(E.ClassName());
        EXPECT_FALSE(Large->Errors());
        EXPECT_EQ(Large->Limit(), 1000u);
    });
    {
        // No temporary folder for ctags: the system's reason, not "not found".
        const TEnvOverride NoTmp(L"TMP", Dir / L"missing");
        Raises(FakeCtags(), "", [](const ECtagsError& E) {
            EXPECT_STREQ(E.ClassName(), L"ECtagsError_SetupFailed");
            EXPECT_FALSE(E.Message().empty());
        });
    }

    // A good run: ctags has a temporary folder of its own, kept until the
    // list is done with, and the process's current folder stays the
    // caller's while it runs.
    SetCurrentDir(Dir.Path());
    const std::wstring Told = Dir / L"told.txt";
    TScript Script(Dir, "tmpfile " + WideToUtf8(Told) + "\nsleep 300\nout main\\tx.c\\t3;\"\\tfunction\\n\n");
    Tags.SetExecutableName(FakeCtags());
    std::wstring During;
    Tags.OnTurn = [&] { During = GetCurrentDir(); };
    Tags.LoadFromFile(L"x.c");
    EXPECT_EQ(During, Dir.Path());
    const std::wstring Made = CodePageToWide(CP_UTF8, ReadFileBytes(Told));
    EXPECT_EQ(Made.rfind(Temp + L"\\", 0), 0u) << WideToUtf8(Made);
    EXPECT_NE(ExtractFileDir(Made), Temp);
    EXPECT_TRUE(DirectoryExists(ExtractFileDir(Made)));
    Tags.RemoveRunFolder();
    EXPECT_FALSE(DirectoryExists(ExtractFileDir(Made)));
    EXPECT_TRUE(toolsupport::LeftIn(Temp).empty());
}

// The sort takes a table for names the locale orders one character at a
// time, sort keys for the rest, and merges the two: whatever the mix, the
// result is a stable sort by ItemLess. Short names from few characters
// give many equal and nearly equal names; the long common start reaches
// past the part of a name the table packs into its head.
TEST(TCtagsOrder, SortEqualsAStableSortByTheComparison)
{
    std::mt19937 Random(5);
    // Same-named tags of several scopes, none included.
    const std::wstring Scopes[] = {L"", L"a", L"B", L"b::c", L"\u00E9t\u00E9"};
    const std::wstring Plain = L"aAbBzZ09_~ ";
    const std::wstring Other = L"-'\u00E9\u00C9\u0416\u0436\u00DF";
    for (int Round = 0; Round < 40; ++Round) {
        const unsigned OtherPercent = std::vector<unsigned>{0, 2, 20, 100}[Round % 4];
        std::vector<std::wstring> Names;
        std::vector<TCtags::TTagRef> Refs;
        std::vector<TCtagsItem> Items;
        Names.reserve(400);
        for (int I = 0; I < 400; ++I) {
            std::wstring Name = Random() % 8 == 0 ? L"a_rather_long_common_start_" : L"";
            for (size_t Length = 1 + Random() % 4; Length > 0; --Length)
                Name += Random() % 100 < OtherPercent ? Other[Random() % Other.size()] : Plain[Random() % Plain.size()];
            Names.push_back(Name);
            const auto Line = static_cast<std::int32_t>(Random() % 5);
            Items.emplace_back(Name, Random() % 2 == 0 ? L"k" : L"function", Line,
                               Scopes[Random() % std::size(Scopes)]);
        }
        // Views into the array: the items move as they are sorted.
        for (size_t I = 0; I < Names.size(); ++I)
            Refs.push_back({Names[I], Items[I].Kind == L"k" ? L"k" : L"function", Items[I].Line,
                            *std::find(std::begin(Scopes), std::end(Scopes), Items[I].Scope)});
        TCtags::SortTagRefs(Refs);
        std::stable_sort(Items.begin(), Items.end(), TCtags::ItemLess);
        for (size_t I = 0; I < Items.size(); ++I) {
            ASSERT_EQ(Refs[I].Name, Items[I].Name) << "round " << Round << ", place " << I;
            ASSERT_EQ(Refs[I].Line, Items[I].Line) << "round " << Round << ", place " << I;
            ASSERT_EQ(Refs[I].Scope, Items[I].Scope) << "round " << Round << ", place " << I;
            ASSERT_EQ(Refs[I].Kind, Items[I].Kind) << "round " << Round << ", place " << I;
        }
    }
}

// The table must serve identifiers here, or the test above proves nothing
// about it, and must leave out what the locale ignores or expands.
TEST(TCtagsOrder, TheLocaleTableCoversIdentifiersAndNothingOdd)
{
    const auto Order = TLocaleOrder::Current();
    EXPECT_TRUE(Order->Covers(L"Get_item42"));
    EXPECT_TRUE(Order->Covers(L"operator ()"));
    for (const wchar_t* Name : {L"co-op", L"it's", L"gro\u00DF", L"caf\u00E9", L"\u0416"})
        EXPECT_FALSE(Order->Covers(Name)) << ::testing::PrintToString(std::wstring(Name));
}

TEST(ParseTagLines, TakesTheLinesParseTagLineTakes)
{
    std::mt19937 Random(3);
    const std::vector<std::wstring> Pieces = {L"main\tf.c\t12;\"\tfunction",
                                              L"x\t\t0;\"\tk\t",
                                              L"\t",
                                              L"a",
                                              L"\r",
                                              L"\n",
                                              L"\r\n",
                                              L"b\tc\t7;\"\tclass\t\t",
                                              L"\u00E9\tf\t$1F;\"\tm",
                                              L"m\tf\t2;\"\tmember\tscope:class:Box",
                                              L"n\\\\x\tf\t3;\"\tmember\tscope:class:B\\\\ox"};
    for (int Round = 0; Round < 2000; ++Round) {
        std::wstring Text;
        for (size_t Count = Random() % 12; Count > 0; --Count)
            Text += Pieces[Random() % Pieces.size()];
        std::vector<TExpected> Expected;
        for (const std::wstring& Line : SplitTextLines(Text))
            if (const auto Item = TCtags::ParseTagLine(Line))
                Expected.push_back({Item->Name, Item->Kind, Item->Line, Item->Scope});
        std::vector<TExpected> Parsed;
        for (const TCtags::TTagRef& Ref : TCtags::ParseTagLines(Text))
            Parsed.push_back({std::wstring(Ref.Name), std::wstring(Ref.Kind), Ref.Line, std::wstring(Ref.Scope)});
        ASSERT_EQ(Parsed, Expected) << ::testing::PrintToString(Text);
    }
}

// However the output arrives, the pieces parsed as they come give what the
// whole gives, or leave it to the whole when only the whole can tell how it
// reads.
TEST(CtagsOutputParser, PiecesGiveWhatTheWholeGives)
{
    std::mt19937 Random(7);
    const std::vector<std::string> Pieces = {"main\tf.c\t12;\"\tfunction\n",
                                             "b\tc\t7;\"\tclass\r\n",
                                             "b\tc\t7;\"\tclass\tscope:class:A\n",
                                             "gr\xC3\xB6\xC3\x9F"
                                             "e\tx.c\t7;\"\tvariable\n",
                                             "broken\r",
                                             "n\\\\x\tf\t3;\"\tmember\n",
                                             "\xE9t\xE9\tf\t1;\"\tk\n"};
    for (int Round = 0; Round < 300; ++Round) {
        std::string Bytes = Random() % 10 == 0 ? "\xEF\xBB\xBF" : "";
        for (size_t Count = Random() % 30; Count > 0; --Count)
            Bytes += Pieces[Random() % (Random() % 4 == 0 ? Pieces.size() : Pieces.size() - 1)];
        TCtags::TOutputParser Parser(TCtagsFlavour::Universal);
        for (size_t Size = 0; Size < Bytes.size(); Size += Random() % 40)
            Parser.Feed(std::string_view(Bytes).substr(0, Size), false);
        Parser.Feed(Bytes, true);
        TCtags Whole;
        Whole.LoadFromOutput(Bytes);
        const bool Plain = Bytes.rfind("\xEF\xBB\xBF", 0) != 0 && IsValidUtf8(Bytes);
        ASSERT_EQ(Parser.Whole(), Plain) << ::testing::PrintToString(Bytes);
        if (!Plain)
            continue;
        const std::vector<TCtagsItem> Parsed = Parser.SortedItems();
        ASSERT_EQ(static_cast<int>(Parsed.size()), Whole.Count()) << ::testing::PrintToString(Bytes);
        for (size_t I = 0; I < Parsed.size(); ++I) {
            const TCtagsItem& Item = *Whole[static_cast<int>(I)];
            ASSERT_EQ(TExpected({Parsed[I].Name, Parsed[I].Kind, Parsed[I].Line, Parsed[I].Scope}),
                      TExpected({Item.Name, Item.Kind, Item.Line, Item.Scope}))
                << I << " " << ::testing::PrintToString(Bytes);
        }
    }
}

// What this machine's ctags of each flavour writes for real code, read as
// the source spells it: names unescaped, the scope alone taken for the
// scope. Skipped where the bridge cannot run the Linux program.
TEST(CtagsOfEachFlavour, NamesAndScopesAreTheSources)
{
    TScratchDir Dir;
    const struct {
        const wchar_t* File;
        const char* Text;
    } Sources[] = {
        {L"a.cpp", "namespace geo { class Circle { public: Circle(int r); int area(); }; }\n"
                   "geo::Circle::Circle(int r) {}\n"},
        {L"a.php", "<?php\nnamespace Foo\\Bar;\nclass Baz { function qux() {} }\n"},
        {L"a.rs", "struct Circle { r: f64 }\nimpl Circle { fn area(&self) -> f64 { 0.0 } }\n"},
        {L"a.py", "import numpy as np\nclass Shape:\n    def area(self): pass\n"},
        {L"a.rb", "class Circle\n  include Comparable\n  def area; end\nend\n"},
        {L"a.go", "package main\n\nimport f \"fmt\"\n\ntype Circle struct{ r float64 }\n\n"
                  "func (c *Circle) Area() float64 { f.Println(); return 0 }\n"},
        {L"a.m", "@interface Circle : NSObject <NSCopying>\n- (double)area;\n@end\n"
                 "@implementation Circle\n- (double)area { return 0; }\n@end\n"},
        {L"a.md", "# Heading \\# one\n## Second\n"},
    };
    for (const auto& Source : Sources)
        WriteFileBytes(Dir / Source.File, Source.Text);
    const struct {
        const wchar_t* Program; // the Linux ctags the bridge runs
        const wchar_t* File;
        const wchar_t* Name;
        std::int32_t Line;
        const wchar_t* Scope;
    } Cases[] = {
        {L"ctags", L"a.cpp", L"Circle", 2, L"geo::Circle"},
        {L"ctags", L"a.php", L"Foo\\Bar", 2, L""},
        {L"ctags", L"a.php", L"qux", 3, L"Foo\\Bar\\Baz"},
        {L"ctags", L"a.rs", L"area", 2, L"Circle"},
        {L"ctags", L"a.py", L"np", 1, L""},
        {L"ctags", L"a.py", L"area", 3, L"Shape"},
        {L"ctags", L"a.rb", L"Circle", 1, L""},
        {L"ctags", L"a.rb", L"area", 3, L"Circle"},
        {L"ctags", L"a.go", L"f", 3, L""},
        {L"ctags", L"a.go", L"Area", 7, L"main.Circle"},
        {L"ctags", L"a.m", L"Circle", 1, L""},
        {L"ctags", L"a.m", L"area", 5, L"Circle"},
        {L"ctags", L"a.md", L"Heading \\# one", 1, L""},
        {L"ctags", L"a.md", L"Second", 2, L"Heading \\# one"},
        {L"ctags-exuberant", L"a.cpp", L"Circle", 2, L"geo::Circle"},
        {L"ctags-exuberant", L"a.php", L"Baz", 3, L""},
        {L"ctags-exuberant", L"a.py", L"area", 3, L"Shape"},
        {L"ctags-exuberant", L"a.rb", L"area", 3, L"Circle"},
    };
    for (const auto& Case : Cases) {
        // A bridge of its own for each program: the flavour is known by the
        // executable.
        const std::wstring Bridge = Dir / (std::wstring(Case.Program) + L".exe");
        ::CopyFileW((toolsupport::ProgramFolder() + L"\\ctags-bridge.exe").c_str(), Bridge.c_str(), TRUE);
        const TEnvOverride Program(L"CTAGS_BRIDGE_PROGRAM", Case.Program);
        TCtags Tags;
        Tags.SetExecutableName(Bridge);
        try {
            Tags.LoadFromFile(Dir / Case.File);
        } catch (const ECtagsError_ExecutionFailed& E) {
            if (E.ExitCode() == 127)
                GTEST_SKIP() << "no " << WideToUtf8(Case.Program) << " to bridge to";
            throw;
        }
        bool Found = false;
        for (int I = 0; I < Tags.Count(); ++I) {
            const TCtagsItem* Item = Tags.GetItem(I);
            if (Item->Name == Case.Name && Item->Line == Case.Line) {
                Found = true;
                EXPECT_EQ(Item->Scope, Case.Scope) << WideToUtf8(Case.Program) << " " << WideToUtf8(Case.File);
            }
        }
        EXPECT_TRUE(Found) << WideToUtf8(Case.Program) << " " << WideToUtf8(Case.File) << ": no "
                           << WideToUtf8(Case.Name);
    }
}

// A shared list is another's to keep: the next load and a cut of its lines
// leave it as it was.
TEST(Ctags, ASharedListStaysAsItWas)
{
    TCtags Tags;
    Tags.LoadFromOutput("a\tf\t1;\"\tfunction\nb\tf\t9;\"\tfunction\n");
    const auto Shared = Tags.ShareItems();
    ASSERT_EQ(Shared->size(), 2u);
    EXPECT_EQ(Tags.ShareItems(), Shared);
    Tags.LoadFromOutput("c\tf\t3;\"\tfunction\n");
    EXPECT_EQ(Tags.Count(), 1);
    Tags.SetItems(Shared);
    ASSERT_EQ(Tags.Count(), 2);
    Tags.KeepLines(5);
    EXPECT_EQ(Tags.Count(), 1);
    EXPECT_EQ(Shared->size(), 2u);
    EXPECT_EQ((*Shared)[1].Name, L"b");
}
