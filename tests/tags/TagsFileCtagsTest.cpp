// Tags files that this machine's ctags writes, each flavour with its
// orders and addresses, through ctags-bridge; skipped where the bridge
// cannot run the Linux program.
#include "TagsTestUtil.h"

#include "base/uStrings.h"
#include "base/uSystem.h"
#include "tags/uTagsFile.h"

#include <string>
#include <vector>

using namespace tagstest;

namespace {

std::wstring Bridge()
{
    return toolsupport::ProgramFolder() + L"\\ctags-bridge.exe";
}

// The bridge run in Folder with Arguments; its exit code, or 127 where it
// cannot run the program.
std::uint32_t RunBridge(const std::wstring& Folder, const std::wstring& Arguments)
{
    const std::wstring Saved = GetCurrentDir();
    SetCurrentDir(Folder);
    std::uint32_t ExitCode = 127;
    TStrings Output, Errors;
    if (!RunProcess(QuotedStr(Bridge()) + L" " + Arguments, static_cast<const TStrings*>(nullptr), &Output, &Errors,
                    ExitCode, SW_HIDE, 0))
        ExitCode = 127;
    SetCurrentDir(Saved);
    return ExitCode;
}

std::vector<std::wstring> LinesOf(const std::wstring& Path)
{
    return SplitTextLines(DecodeText(toolsupport::ReadFileBytes(Path)));
}

} // namespace

TEST(TagsFileOfCtags, EachFlavourOrderAndAddressIsRead)
{
    const struct {
        const wchar_t* Program;
        const wchar_t* Arguments;
        const wchar_t* Function; // the kind of a function as written
        bool Tex;                // the TeX tag's name kept as written
        std::int32_t Area;       // where a moved tag is found: by its pattern, or at its old line
    } Cases[] = {
        {L"ctags", L"-R --fields=+nKZ -f tags .", L"function", true, 10},
        {L"ctags", L"-R --sort=foldcase -f tags .", L"f", true, 10},
        {L"ctags", L"-R --sort=no --excmd=combine --fields=+K -f tags .", L"function", true, 10},
        {L"ctags-exuberant", L"-R -f tags .", L"f", false, 10},
        {L"ctags-exuberant", L"-R --sort=foldcase -B -f tags .", L"f", false, 10},
        {L"ctags-exuberant", L"-R --sort=no -n -f tags .", L"f", false, 7},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(Case.Program) + L" " + Case.Arguments));
        const TEnvOverride Program(L"CTAGS_BRIDGE_PROGRAM", Case.Program);
        TScratchDir Dir;
        for (const wchar_t* Folder : {L"src", L"src\\sub"})
            ::CreateDirectoryW((Dir / Folder).c_str(), nullptr);
        WriteFileBytes(Dir / L"src\\a.cpp",
                       "namespace geo {\nclass Circle {\npublic:\n    double area() const;\n"
                       "    int r;\n};\ndouble Circle::area() const { return 3.14 * r * r; }\n}\n");
        WriteFileBytes(Dir / L"src\\sub\\b.c", "struct point { int x; int y; };\nstatic int twice(int v)\n{\n}\n");
        WriteFileBytes(Dir / L"src\\crlf.c", "int crlf(void)\r\n{\r\n}\r\n");
        WriteFileBytes(Dir / L"src\\doc.tex", "\\section{Intro\\textbackslash}\n");
        const std::uint32_t ExitCode = RunBridge(Dir.Path(), Case.Arguments);
        if (ExitCode == 127)
            GTEST_SKIP() << "no Linux program to bridge to";
        ASSERT_EQ(ExitCode, 0u);
        // Lines above the tags' lines since the tags file was made.
        const std::string Moved = "// one\n// two\n// three\n" + toolsupport::ReadFileBytes(Dir / L"src\\a.cpp");
        WriteFileBytes(Dir / L"src\\a.cpp", Moved);

        const TTagsFile Tags(Dir / L"tags");
        const auto Find = [&](const wchar_t* Name) {
            std::vector<std::wstring> Found;
            for (const TTagsFileEntry& Entry : Tags.FindTags(Name)) {
                const std::wstring File = Entry.File.substr(Dir.Path().size() + 1);
                const std::int32_t Line = FindTagLine(Entry.Pattern, Entry.Line, LinesOf(Entry.File));
                Found.push_back(Entry.Name + L"|" + File + L"|" + std::to_wstring(Line) + L"|" + Entry.Kind + L"|" +
                                Entry.Scope);
            }
            return Found;
        };
        const std::wstring F = Case.Function;
        using TFound = std::vector<std::wstring>;
        const std::wstring Area = L"area|src\\a.cpp|" + std::to_wstring(Case.Area) + L"|" + F + L"|geo::Circle";
        EXPECT_EQ(Find(L"area"), TFound{Area});
        EXPECT_EQ(Find(L"AREA"), TFound{Area});
        EXPECT_EQ(Find(L"twice"), (TFound{L"twice|src\\sub\\b.c|2|" + F + L"|"}));
        EXPECT_EQ(Find(L"crlf"), (TFound{L"crlf|src\\crlf.c|1|" + F + L"|"}));
        EXPECT_EQ(Find(L"x").size(), 1u);
        EXPECT_EQ(Find(L"x")[0].substr(0, 14), L"x|src\\sub\\b.c|");
        EXPECT_EQ(Find(L"x")[0].substr(Find(L"x")[0].size() - 6), L"|point");
        EXPECT_EQ(Find(L"nothing"), TFound{});
        if (Case.Tex) {
            EXPECT_EQ(Find(L"Intro\\textbackslash").size(), 1u);
        }
    }
}
