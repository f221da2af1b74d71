// Making the project's tags file through the DLL: the folder asked for, ctags
// over it, and the new file in the old one's place only when ctags
// succeeded.
#include "DllTestSupport.h"
#include "tags/uProjectIndex.h"
#include "bridge/TestConsole.h"

#include "base/Handle.h"
#include "plugin/uMakeTags.h"
#include "tags/uTagsFile.h"

#include <thread>

using ::testing::Contains;
using ::testing::ContainsRegex;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using namespace dlltest;

namespace {

const char* const CircleSource = "namespace geo {\n"
                                 "class Circle {\n"
                                 "public:\n"
                                 "    double Area() const;\n"
                                 "};\n"
                                 "double Circle::Area() const { return 3.0; }\n"
                                 "}\n";

// The file's identity: a file written over in place keeps it, one renamed
// into its place brings its own.
std::uint64_t FileId(const std::wstring& Path)
{
    const TFileHandle File(::CreateFileW(Path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION Info{};
    if (!File || !::GetFileInformationByHandle(File.get(), &Info))
        return 0;
    return (std::uint64_t(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow;
}

class MakeTagsTest : public TDllTest {
protected:
    std::wstring Project = Dir / L"proj";
    std::wstring Tags = Project + L"\\tags";

    // A small project: a C file in src\, a C++ file in src\geo\.
    void MakeProject()
    {
        for (const std::wstring& Folder : {Project, Project + L"\\src", Project + L"\\src\\geo"})
            ::CreateDirectoryW(Folder.c_str(), nullptr);
        tagstest::WriteFileBytes(Project + L"\\src\\main.c", TaggedSource);
        tagstest::WriteFileBytes(Project + L"\\src\\geo\\circle.cpp", CircleSource);
        Host->Editors().Open(Project + L"\\src\\main.c", CodePageToWide(CP_UTF8, TaggedSource));
    }

    HANDLE MakeTags() { return Host->Open(far3::OPEN_EDITOR, &MakeTagsMenuGuid, 0); }

    // The dialog's folder is Offered; the user gives Typed (empty: takes it).
    void AnswerFolder(const std::wstring& Offered, const std::wstring& Typed = std::wstring())
    {
        TDialogScript Input;
        Input.Check([Offered](THostDialog& Live) { EXPECT_EQ(Live.Items[2].Data, Offered); });
        if (!Typed.empty())
            Input.Type(Typed);
        Script(std::move(Input.Enter()));
    }
};

} // namespace

TEST_F(MakeTagsTest, TheTagsFileIsMadeInTheFolderGivenAndTakesTheOldOnesPlaceInOneStep)
{
    Load();
    MakeProject();
    // No tags file yet: the edited file's folder is offered; a relative
    // folder starts from it.
    AnswerFolder(Project + L"\\src", L"..");
    EXPECT_EQ(MakeTags(), nullptr);
    ASSERT_TRUE(FileExists(Tags));
    const auto Box = Boxes();
    ASSERT_EQ(Box.size(), 1u);
    EXPECT_THAT(std::vector<std::wstring>(Box[0].begin(), Box[0].begin() + 3),
                ElementsAre(L"Lodestar", L"The tags file was made:", Tags));
    std::string Written;
    ASSERT_TRUE(ReadWholeFile(Tags, Written));
    EXPECT_THAT(Box[0][3], StartsWith(L"7 tags, " + GroupedNumber(Written.size()) + L" bytes, in "));
    EXPECT_THAT(WideToUtf8(Box[0][3]), ContainsRegex(" \\d+:\\d\\d$"));

    // Now the tags file above the edited file is found, and its folder
    // offered; the new file is another file, renamed over the old one.
    Host->ClearMessages();
    const std::uint64_t Before = FileId(Tags);
    AnswerFolder(Project);
    MakeTags();
    EXPECT_NE(FileId(Tags), Before);
    EXPECT_THAT(FilesIn(Project), ElementsAre(L"tags"));
    const TTagsFile File(Tags);
    const std::vector<TTagsFileEntry> Area = File.FindTags(L"area");
    ASSERT_EQ(Area.size(), 1u);
    EXPECT_EQ(Area[0].File, Project + L"\\src\\main.c");
    EXPECT_EQ(Area[0].Line, 8);
    EXPECT_EQ(Area[0].Kind, L"function");
    ASSERT_TRUE(Area[0].Pattern);
    EXPECT_EQ(Area[0].Pattern->Text, L"int area(int w, int h)");
    const std::vector<TTagsFileEntry> Member = File.FindTags(L"Area");
    ASSERT_EQ(Member.size(), 1u);
    EXPECT_EQ(Member[0].File, Project + L"\\src\\geo\\circle.cpp");
    EXPECT_EQ(Member[0].Scope, L"Circle");
}

// However the run ends short of success, the old tags file stays as it was
// and nothing else is left: not ctags' new file, nor its temporary files.
TEST_F(MakeTagsTest, AFailureACeilingOrEscLeavesTheOldFileAndNothingElse)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    const std::wstring Started = Dir / L"started";
    const std::wstring Made = Dir / L"made";
    const std::string Running = "tagsfile 50\ntmpfile " + WideToUtf8(Made) + "\npid " + WideToUtf8(Started) + "\n";
    const struct {
        const char* Case;
        std::string Script;
        std::wstring Typed;
        bool Esc;
        std::vector<std::wstring> Box;
    } Cases[] = {
        {"ctags fails",
         Running + "err cannot read src\nexit 2\n",
         L"",
         false,
         {L"Lodestar", L"The ctags program failed:", L"cannot read src", L"Exit code: 2", L"&OK"}},
        {"too many messages",
         Running + "flood err\n",
         L"",
         false,
         {L"Lodestar", L"ctags wrote more than 1 MiB of messages and was stopped:", Project, L"&OK"}},
        {"nothing written",
         "pid " + WideToUtf8(Started) + "\nexit 0\n",
         L"",
         false,
         {L"Lodestar", L"ctags ended without writing any tags into:", Tags, L"&OK"}},
        {"Esc", Running + "sleep 90000\n", L"", true, {}},
        {"no such folder",
         "",
         Dir / L"nowhere",
         false,
         {L"Lodestar", L"There is no such folder:", Dir / L"nowhere", L"&OK"}},
    };
    Load();
    MakeProject();
    tagstest::WriteFileBytes(Tags, "!_TAG_FILE_SORTED\t1\t//\nold\tsrc/main.c\t1;\"\tfunction\n");
    for (const auto& Case : Cases) {
        Host->ClearMessages();
        ::DeleteFileW(Started.c_str());
        const TScript Steer(Dir, Case.Script);
        AnswerFolder(Project, Case.Typed);
        // A hang check: the wait is far beyond what any machine needs to
        // start a program.
        std::thread User([&] {
            for (int I = 0; Case.Esc && I < 6000 && !FileExists(Started); ++I)
                ::Sleep(10);
            if (Case.Esc)
                Console.Write({TTestConsole::Key(VK_ESCAPE)});
        });
        EXPECT_EQ(MakeTags(), nullptr) << Case.Case;
        User.join();
        if (Case.Box.empty())
            EXPECT_THAT(Boxes(), IsEmpty()) << Case.Case;
        else
            EXPECT_THAT(Boxes(), ElementsAre(Case.Box)) << Case.Case;
        EXPECT_EQ(tagstest::ReadFileBytes(Tags), "!_TAG_FILE_SORTED\t1\t//\nold\tsrc/main.c\t1;\"\tfunction\n")
            << Case.Case;
        EXPECT_THAT(FilesIn(Project), ElementsAre(L"tags")) << Case.Case;
        EXPECT_THAT(LeftIn(TempDir), IsEmpty()) << Case.Case;
        EXPECT_EQ(Host->SavedScreenCount(), 0u) << Case.Case;
        if (Case.Esc && FileExists(Started)) {
            // ctags was ended and waited for before the command returned.
            TKernelHandle Child(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(toolsupport::ReadFileBytes(Started))));
            if (Child) {
                EXPECT_EQ(::WaitForSingleObject(Child.get(), 0), WAIT_OBJECT_0);
            }
        }
        Console.Flush();
    }
}

namespace {

// Takes the place of the screen: lets ctags end once the progress window
// has said that bytes were written.
class TProgressWatch : public THostFrontEnd {
public:
    explicit TProgressWatch(std::wstring Gate) : FGate(std::move(Gate)) {}
    intptr_t Message(const TMessageBox& Box) override
    {
        if (!Box.Buttons.empty() || Box.Lines.empty())
            return 0;
        Drawn.push_back(Box.Lines);
        const std::wstring& Last = Box.Lines.back();
        if (!Last.empty() && Last[0] != L'0')
            ::DeleteFileW(FGate.c_str());
        return -1;
    }
    std::vector<std::vector<std::wstring>> Drawn;

private:
    std::wstring FGate;
};

} // namespace

TEST_F(MakeTagsTest, TheProgressWindowSaysHowMuchIsWrittenWhileCtagsRuns)
{
    Load();
    MakeProject();
    const std::wstring Gate = Dir / L"gate";
    tagstest::WriteFileBytes(Gate, "");
    // ctags writes, then waits until the window has shown it.
    const TScript Steer(Dir, "tagsfile 200\nwaitwhile " + WideToUtf8(Gate) + "\n");
    TProgressWatch Watch(Gate);
    Host->SetFrontEnd(&Watch);
    AnswerFolder(Project + L"\\src", Project);
    MakeTags();
    Host->SetFrontEnd(nullptr);
    EXPECT_FALSE(FileExists(Gate)) << "the window never showed the bytes written";
    ASSERT_FALSE(Watch.Drawn.empty());
    for (const auto& Lines : Watch.Drawn) {
        // After ctags, the same window reads the new file for the list.
        if (Lines.size() == 2) {
            EXPECT_EQ(TrimText(Lines[0]), L"Reading the project's tags...");
            continue;
        }
        ASSERT_EQ(Lines.size(), 3u);
        EXPECT_EQ(TrimText(Lines[0]), L"Making the tags file of the folder:");
        EXPECT_EQ(TrimText(Lines[1]), Project);
        EXPECT_THAT(WideToUtf8(TrimText(Lines[2])), ContainsRegex("^\\d.* bytes written in \\d+:\\d\\d$"));
    }
    EXPECT_TRUE(FileExists(Tags));
    // The project list's index of the new file is saved for the next Far.
    EXPECT_NE(TProjectIndex::Load(TTagsFile(Tags)), nullptr);
}

// The machine's ctags of either flavour, through the bridge: the file it
// writes with the command's options is one the reader reads in full.
TEST_F(MakeTagsTest, RealCtagsOfEitherFlavourWriteATagsFileTheReaderReads)
{
    const std::wstring Bridge = toolsupport::ProgramFolder() + L"\\ctags-bridge.exe";
    const struct {
        const char* Case;
        const wchar_t* Program;
        TCtagsFlavour Flavour;
    } Cases[] = {
        {"Universal", L"ctags", TCtagsFlavour::Universal},
        {"Exuberant", L"ctags-exuberant", TCtagsFlavour::Exuberant},
    };
    Load();
    MakeProject();
    int Ran = 0;
    for (const auto& Case : Cases) {
        // A ctags is asked its flavour once while its file stays the same:
        // each flavour has a bridge of its own.
        const std::wstring Own = Dir / (std::wstring(Case.Program) + L".exe");
        ASSERT_TRUE(::CopyFileW(Bridge.c_str(), Own.c_str(), FALSE));
        Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Own);
        const TEnvOverride Program(L"CTAGS_BRIDGE_PROGRAM", Case.Program);
        TStrings Output, Errors;
        std::uint32_t ExitCode = 0;
        ASSERT_TRUE(RunProcess(QuotedStr(Bridge) + L" --version", static_cast<const TStrings*>(nullptr), &Output,
                               &Errors, ExitCode, SW_HIDE, 0));
        if (ExitCode == 127)
            continue;
        ++Ran;
        Host->ClearMessages();
        AnswerFolder(Ran == 1 ? Project + L"\\src" : Project, Project);
        MakeTags();
        const auto Box = Boxes();
        ASSERT_EQ(Box.size(), 1u) << Case.Case;
        EXPECT_EQ(Box[0][1], L"The tags file was made:") << Case.Case;
        const TTagsFile File(Tags);
        EXPECT_EQ(File.Format().Flavour(), Case.Flavour) << Case.Case;
        EXPECT_EQ(File.Format().Order(), TTagsFileOrder::Sorted) << Case.Case;
        const std::vector<TTagsFileEntry> Area = File.FindTags(L"area");
        ASSERT_EQ(Area.size(), 1u) << Case.Case;
        EXPECT_EQ(Area[0].File, Project + L"\\src\\main.c") << Case.Case;
        EXPECT_EQ(Area[0].Line, 8) << Case.Case;
        EXPECT_EQ(Area[0].Kind, L"function") << Case.Case;
        EXPECT_TRUE(Area[0].Pattern) << Case.Case;
        // A macro keeps its line and pattern too.
        const std::vector<TTagsFileEntry> Limit = File.FindTags(L"LIMIT");
        ASSERT_EQ(Limit.size(), 1u) << Case.Case;
        EXPECT_EQ(Limit[0].Line, 1) << Case.Case;
        EXPECT_EQ(Limit[0].Kind, L"macro") << Case.Case;
        std::vector<std::wstring> Scopes;
        for (const TTagsFileEntry& Entry : File.FindTags(L"Area"))
            Scopes.push_back(Entry.Scope);
        EXPECT_THAT(Scopes, Contains(L"geo::Circle")) << Case.Case;
        EXPECT_THAT(FilesIn(Project), ElementsAre(L"tags")) << Case.Case;
    }
    if (Ran == 0)
        GTEST_SKIP() << "no Linux ctags to bridge to";
}
