// Saving a file in the editor brings its lines in the project's tags file up
// to date, off the host's thread, and the next lookup finds what is new; a
// save with no tags file above it costs nothing but the callback.
#include "DllTestSupport.h"

#include "tags/uTagsFile.h"
#include "tags/uTagsMaker.h"

#include <algorithm>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

const char* const UtilSource = "int helper(void)\n{\n}\n";
// main.c as saved: area, main, point and print_point are gone; Beta and
// zeta_added are new, and sort apart with and without case.
const char* const SavedMain = "#define LIMIT 10\n\nint Beta(void)\n{\n}\n\nint zeta_added(void)\n{\n}\n";

std::vector<std::string> LinesOf(const std::string& Bytes)
{
    std::vector<std::string> Lines;
    for (size_t Start = 0; Start < Bytes.size();) {
        const size_t End = std::min(Bytes.find('\n', Start), Bytes.size());
        Lines.push_back(Bytes.substr(Start, End - Start));
        Start = End + 1;
    }
    return Lines;
}

std::string NameOf(const std::string& Line)
{
    return Line.substr(0, Line.find('\t'));
}

std::string FileOf(const std::string& Line)
{
    const size_t Start = Line.find('\t') + 1;
    return Line.substr(Start, Line.find('\t', Start) - Start);
}

std::string Upper(std::string Text)
{
    for (char& C : Text)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    return Text;
}

class SaveRefreshTest : public TDllTest {
protected:
    std::wstring Project = Dir / L"proj";
    std::wstring Tags = Project + L"\\tags";
    std::wstring Main = Project + L"\\src\\main.c";
    std::wstring Util = Project + L"\\src\\util.c";

    void MakeSources()
    {
        ::CreateDirectoryW(Project.c_str(), nullptr);
        ::CreateDirectoryW((Project + L"\\src").c_str(), nullptr);
        tagstest::WriteFileBytes(Main, TaggedSource);
        tagstest::WriteFileBytes(Util, UtilSource);
    }

    // The project's tags file as the plugin's own command has fakectags
    // write it: sorted, with src/ names.
    std::string MadeTags()
    {
        TProcessOptions Options;
        Options.Directory = Project;
        TStrings Output, Errors;
        std::uint32_t ExitCode = 1;
        EXPECT_TRUE(RunProcess(
            QuotedStr(FakeCtags()) + std::wstring(TTagsMaker::ArgumentsFor(TCtagsFlavour::Universal)) + L"tags",
            static_cast<const TStrings*>(nullptr), &Output, &Errors, ExitCode, SW_HIDE, 0, {}, {}, 0, {}, Options));
        EXPECT_EQ(ExitCode, 0u);
        return tagstest::ReadFileBytes(Tags);
    }

    // The user types Text into main.c's editor and presses F2.
    void SaveMain(const char* Text)
    {
        TEditor& Editor = Host->Editors().Open(Main, CodePageToWide(CP_UTF8, TaggedSource));
        Editor.SetText(CodePageToWide(CP_UTF8, Text));
        Editor.Unsaved = true;
        ASSERT_TRUE(Host->Editors().Save(Editor.Id));
        // The host's loop calls back once the file is written.
        EXPECT_EQ(Host->DeliverSynchroEvents(), 1u);
    }

    // The refresh ends with a callback of its own; the bound only keeps a
    // broken build from hanging.
    bool WaitForRefresh()
    {
        for (int Second = 0; Second < 300; ++Second)
            if (Host->WaitForSynchroEvent(1000))
                return Host->DeliverSynchroEvents() > 0;
        return false;
    }
};

} // namespace

TEST_F(SaveRefreshTest, ASavedFilesLinesAreReplacedInTheTagsFilesOwnOrder)
{
    const struct {
        const char* Case;
        TTagsFileOrder Order;
    } Cases[] = {
        {"sorted", TTagsFileOrder::Sorted},
        {"foldcase", TTagsFileOrder::FoldCase},
        {"unsorted", TTagsFileOrder::Unsorted},
    };
    Load();
    for (const auto& Case : Cases) {
        MakeSources();
        std::vector<std::string> Header, Lines;
        for (const std::string& Line : LinesOf(MadeTags()))
            (Line.rfind("!_", 0) == 0 ? Header : Lines).push_back(Line);
        for (std::string& Line : Header)
            if (Line.rfind("!_TAG_FILE_SORTED\t", 0) == 0)
                Line = "!_TAG_FILE_SORTED\t" + std::to_string(int(Case.Order)) + "\t/0=unsorted, 1=sorted/";
        if (Case.Order == TTagsFileOrder::FoldCase)
            std::stable_sort(Lines.begin(), Lines.end(), [](const std::string& A, const std::string& B) {
                return Upper(NameOf(A)) < Upper(NameOf(B));
            });
        if (Case.Order == TTagsFileOrder::Unsorted)
            std::reverse(Lines.begin(), Lines.end());
        std::string Before;
        for (const auto* Part : {&Header, &Lines})
            for (const std::string& Line : *Part)
                Before += Line + "\n";
        tagstest::WriteFileBytes(Tags, Before);

        SaveMain(SavedMain);
        ASSERT_TRUE(WaitForRefresh()) << Case.Case;

        std::vector<std::string> After = LinesOf(tagstest::ReadFileBytes(Tags));
        ASSERT_GE(After.size(), Header.size()) << Case.Case;
        EXPECT_TRUE(std::equal(Header.begin(), Header.end(), After.begin())) << Case.Case;
        After.erase(After.begin(), After.begin() + static_cast<std::ptrdiff_t>(Header.size()));
        std::vector<std::string> Others, OthersBefore, Fresh;
        for (const std::string& Line : After)
            (FileOf(Line) == "src/main.c" ? Fresh : Others).push_back(Line);
        for (const std::string& Line : Lines)
            if (FileOf(Line) != "src/main.c")
                OthersBefore.push_back(Line);
        EXPECT_EQ(Others, OthersBefore) << Case.Case;
        std::vector<std::string> Names;
        for (const std::string& Line : Fresh)
            Names.push_back(NameOf(Line));
        std::sort(Names.begin(), Names.end());
        EXPECT_THAT(Names, ElementsAre("Beta", "LIMIT", "zeta_added")) << Case.Case;
        for (size_t I = 1; I < After.size(); ++I) {
            const bool Fold = Case.Order == TTagsFileOrder::FoldCase;
            const std::string A = NameOf(After[I - 1]), B = NameOf(After[I]);
            if (Case.Order != TTagsFileOrder::Unsorted) {
                EXPECT_LE(Fold ? Upper(A) : A, Fold ? Upper(B) : B) << Case.Case;
            }
        }
        if (Case.Order == TTagsFileOrder::Unsorted) {
            // The new lines go at the end.
            EXPECT_EQ(std::vector<std::string>(After.begin(),
                                               After.begin() + static_cast<std::ptrdiff_t>(Others.size())),
                      Others)
                << Case.Case;
        }
        EXPECT_THAT(FilesIn(Project), ElementsAre(L"tags")) << Case.Case;

        // From another file, the definition of the new function is found.
        TEditor& Other = Host->Editors().Open(Util, L"int helper(void)\n{\n    zeta_added();\n}\n");
        Other.CurLine = 2;
        Other.CurPos = 6;
        EXPECT_EQ(Macro({TMacroValue::Str(L"definition")}), 1) << Case.Case;
        EXPECT_EQ(Host->Editors().Current().FileName, Main) << Case.Case;
        EXPECT_EQ(Host->Editors().Current().CurLine, 6) << Case.Case;
        EXPECT_THAT(Boxes(), IsEmpty()) << Case.Case;
        while (Host->Editors().Count() > 0)
            Host->Editors().Close(Host->Editors().Current().Id);
    }
}

// Whatever keeps a save from refreshing, the tags file stays as it was and
// the editor shows no box, except one note, once, for a tags file another
// ctags wrote. With no tags file above the saved one nothing runs at all.
TEST_F(SaveRefreshTest, ASaveThatCannotRefreshLeavesEverythingAsItWas)
{
    const std::wstring Started = Dir / L"started";
    const std::string Foreign = "!_TAG_FILE_SORTED\t1\t//\n!_TAG_PROGRAM_NAME\tExuberant Ctags\t//\n"
                                "area\tsrc/main.c\t/^int area(int w, int h)$/;\"\tf\n";
    const std::string Ours = "!_TAG_FILE_SORTED\t1\t//\n!_TAG_PROGRAM_NAME\tUniversal Ctags\t//\n"
                             "area\tsrc/main.c\t8;\"\tfunction\n";
    const std::vector<std::wstring> Note = {
        L"Lodestar", L"Saved files are not brought up to date in a tags file another ctags wrote:", Tags,
        L"\"Lodestar: make project tags\" makes one that is.", L"&OK"};
    const struct {
        const char* Case;
        std::string Tags; // empty: none
        std::string Script;
        bool Runs;
        std::vector<std::vector<std::wstring>> Boxes;
    } Cases[] = {
        {"no tags file", "", "pid " + WideToUtf8(Started) + "\nexit 0\n", false, {}},
        {"another ctags' file", Foreign, "", false, {Note}},
        {"the same one again: noted once", Foreign, "", false, {}},
        {"ctags fails", Ours, "pid " + WideToUtf8(Started) + "\nerr cannot read\nexit 2\n", true, {}},
    };
    Load();
    for (const auto& Case : Cases) {
        MakeSources();
        ::DeleteFileW(Tags.c_str());
        ::DeleteFileW(Started.c_str());
        if (!Case.Tags.empty())
            tagstest::WriteFileBytes(Tags, Case.Tags);
        const TScript Steer(Dir, Case.Script.empty() ? "ctags\n" : Case.Script);
        Host->ClearMessages();
        const size_t Requests = Host->SynchroRequests();
        SaveMain(SavedMain);
        if (Case.Tags.empty()) {
            // Nothing was handed to a thread: nothing can come of it later.
            EXPECT_EQ(Host->SynchroRequests(), Requests + 1) << Case.Case;
        } else {
            ASSERT_TRUE(WaitForRefresh()) << Case.Case;
            EXPECT_EQ(tagstest::ReadFileBytes(Tags), Case.Tags) << Case.Case;
        }
        EXPECT_EQ(FileExists(Started), Case.Runs) << Case.Case;
        EXPECT_THAT(Boxes(), ElementsAreArray(Case.Boxes)) << Case.Case;
        EXPECT_THAT(FilesIn(Project), ElementsAreArray(Case.Tags.empty() ? std::vector<std::wstring>{}
                                                                         : std::vector<std::wstring>{L"tags"}))
            << Case.Case;
        EXPECT_EQ(tagstest::ReadFileBytes(Main), SavedMain) << Case.Case;
        while (Host->Editors().Count() > 0)
            Host->Editors().Close(Host->Editors().Current().Id);
    }
}
