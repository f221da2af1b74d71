// Temporary names, their deletion at unload, environment expansion and
// folder deletion.
#include "TagsTestUtil.h"

#include "plugin/uLibrary.h"
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <aclapi.h>
#include <gmock/gmock.h>

#include <cwchar>
#include <string>

using namespace tagstest;

namespace {

// The unit's list exists only between its start and stop.
class TempFilesTest : public ::testing::Test {
protected:
    void SetUp() override { SystemInitializeUnit(); }
    void TearDown() override { SystemFinalizeUnit(); }
};

class TCurrentDirOverride {
public:
    explicit TCurrentDirOverride(const std::wstring& Dir) : FSaved(GetCurrentDir()) { SetCurrentDir(Dir); }
    ~TCurrentDirOverride() { SetCurrentDir(FSaved); }

private:
    std::wstring FSaved;
};

} // namespace

TEST(GetTempDirectory, ReportsThePathWithItsBackslashOrNothingWhenTooLong)
{
    TScratchDir Dir;
    {
        TEnvOverride Tmp(L"TMP", Dir.Path());
        TEnvOverride Temp(L"TEMP", Dir.Path());
        EXPECT_EQ(GetTempDirectory(), Dir.Path() + L"\\");
    }
    const std::wstring Long = L"C:\\" + std::wstring(300, L'x');
    TEnvOverride Tmp(L"TMP", Long);
    TEnvOverride Temp(L"TEMP", Long);
    EXPECT_EQ(GetTempDirectory(), L"");
}

TEST_F(TempFilesTest, TempNamesAreFreeNamesInTheFolderOnlyAndNotYetTheirs)
{
    TScratchDir Dir;
    const std::wstring Name = MakeTempFileName(Dir.Path() + L"\\", L"ctagstemp");
    ASSERT_FALSE(Name.empty());
    EXPECT_EQ(Name.rfind(Dir.Path() + L"\\cta", 0), 0u) << Name;
    EXPECT_EQ(ExtractFileExt(Name), L".tmp");
    EXPECT_FALSE(FileExists(Name)); // reserved by the system, then released

    const std::wstring Ext = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L".cpp");
    EXPECT_EQ(ExtractFileExt(Ext), L".cpp");
    EXPECT_EQ(Ext.rfind(Dir.Path() + L"\\cta", 0), 0u) << Ext;
    EXPECT_FALSE(FileExists(Ext));
    const std::wstring Bare = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L"");
    EXPECT_EQ(ExtractFileExt(Bare), L"");

    // A name freed at once is nobody's to delete at unload: another program
    // may take it meanwhile.
    EXPECT_TRUE(TempFiles().empty());

    // A folder that cannot take a file gives no name at all, never one in
    // whatever folder is current.
    TCurrentDirOverride Here(Dir.Path());
    for (const std::wstring& Unusable : {Dir / L"missing\\", std::wstring()}) {
        EXPECT_EQ(MakeTempFileName(Unusable, L"ctagstemp"), L"");
        EXPECT_EQ(MakeTempFileNameExt(Unusable, L"ctagstemp", L".c"), L"");
    }
    EXPECT_THAT(toolsupport::FilesIn(Dir.Path()), ::testing::IsEmpty());
}

TEST_F(TempFilesTest, DeletingARegisteredFileForgetsIt)
{
    TScratchDir Dir;
    WriteFileBytes(Dir / L"a.c", "a");
    ::CreateDirectoryW((Dir / L"f").c_str(), nullptr);
    WriteFileBytes(Dir / L"f\\b.c", "b");
    RegisterTempFile(Dir / L"a.c");
    RegisterTempFile(Dir / L"f");
    RegisterTempFile(Dir / L"never-made.c");
    EXPECT_EQ(TempFiles(), (TStrings{Dir / L"a.c", Dir / L"f"}));

    EXPECT_TRUE(DeleteTempFile(Dir / L"f"));
    EXPECT_FALSE(DirectoryExists(Dir / L"f"));
    EXPECT_TRUE(DeleteTempFile(Dir / L"a.c"));
    EXPECT_FALSE(FileExists(Dir / L"a.c"));
    EXPECT_TRUE(TempFiles().empty());
}

// The path names what the plugin made only while it is the same file: a
// folder renamed away and another put in its place is another program's,
// and a link in its place leads elsewhere.
TEST_F(TempFilesTest, ADeleteTouchesOnlyWhatThePluginMade)
{
    TScratchDir Dir;
    const std::wstring Ours = Dir / L"ours";
    const std::wstring Elsewhere = Dir / L"elsewhere";
    for (const bool Link : {false, true}) {
        ::CreateDirectoryW(Ours.c_str(), nullptr);
        RegisterTempFile(Ours);
        ASSERT_TRUE(::MoveFileW(Ours.c_str(), (Dir / L"moved").c_str()));
        ::CreateDirectoryW(Elsewhere.c_str(), nullptr);
        WriteFileBytes(Elsewhere + L"\\keep.txt", "not ours");
        if (Link) {
            // Wine says it made a link it cannot open: nothing to try then.
            if (!::CreateSymbolicLinkW(Ours.c_str(), Elsewhere.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
                !DirectoryExists(Ours)) {
                ::DeleteFileW(Ours.c_str());
                ::RemoveDirectoryW(Ours.c_str());
                DeleteDirectoryTree(Dir / L"moved");
                DeleteDirectoryTree(Elsewhere);
                DeleteTempFile(Ours);
                continue;
            }
        } else {
            ASSERT_TRUE(::MoveFileW(Elsewhere.c_str(), Ours.c_str()));
        }
        EXPECT_TRUE(DeleteTempFile(Ours));
        EXPECT_TRUE(FileExists(Ours + L"\\keep.txt")) << Link;
        EXPECT_TRUE(DirectoryExists(Dir / L"moved")) << Link;
        EXPECT_TRUE(TempFiles().empty()) << Link;
        DeleteDirectoryTree(Dir / L"moved");
        if (Link) {
            ::RemoveDirectoryW(Ours.c_str());
            DeleteDirectoryTree(Elsewhere);
        } else {
            DeleteDirectoryTree(Ours);
        }
    }
    // A delete that fails keeps the entry for the unload, and only its own.
    ::CreateDirectoryW(Ours.c_str(), nullptr);
    WriteFileBytes(Ours + L"\\busy.txt", "x");
    RegisterTempFile(Ours);
    {
        TFileHandle Busy(
            ::CreateFileW((Ours + L"\\busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(DeleteTempFile(Ours));
    }
    EXPECT_EQ(TempFiles(), TStrings{Ours});
    EXPECT_TRUE(DeleteTempFile(Ours));
    EXPECT_FALSE(DirectoryExists(Ours));
}

// The snapshot folder: open to the current user alone, named after the
// process, and removed at a later start once that process is gone.
TEST_F(TempFilesTest, PrivateFoldersAreTheUsersAloneAndLeftoversOfDeadProcessesGo)
{
    TScratchDir Dir;
    const std::wstring Folder = MakePrivateFolder(Dir.Path(), L"ctagstemp");
    ASSERT_FALSE(Folder.empty());
    wchar_t Own[32];
    std::swprintf(Own, 32, L"\\ctagstemp-%lx-", ::GetCurrentProcessId());
    EXPECT_EQ(Folder.find(Own), Dir.Path().size()) << tooltext::Narrow(Folder);
    EXPECT_EQ(TempFiles(), TStrings{Folder});
    // Nobody but the current user is let in (and the system, which wine
    // adds of its own).
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    PACL Acl = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoW(Folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &Acl,
                                      nullptr, &Descriptor),
              ERROR_SUCCESS);
    ASSERT_NE(Acl, nullptr);
    HANDLE Token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &Token));
    std::uint8_t User[256];
    DWORD Size = sizeof(User);
    ASSERT_TRUE(::GetTokenInformation(Token, TokenUser, User, Size, &Size));
    ::CloseHandle(Token);
    std::uint8_t System[SECURITY_MAX_SID_SIZE];
    Size = sizeof(System);
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, System, &Size));
    bool UserAllowed = false;
    for (DWORD I = 0; I < Acl->AceCount; ++I) {
        void* Entry = nullptr;
        ASSERT_TRUE(::GetAce(Acl, I, &Entry));
        auto* Allowed = static_cast<ACCESS_ALLOWED_ACE*>(Entry);
        ASSERT_EQ(Allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        PSID Sid = &Allowed->SidStart;
        const bool IsUser = ::EqualSid(Sid, reinterpret_cast<TOKEN_USER*>(User)->User.Sid) != FALSE;
        EXPECT_TRUE(IsUser || ::EqualSid(Sid, System)) << "an entry for someone else";
        UserAllowed = UserAllowed || IsUser;
    }
    EXPECT_TRUE(UserAllowed);
    ::LocalFree(Descriptor);
    EXPECT_EQ(MakePrivateFolder(Dir / L"missing", L"ctagstemp"), L"");
    EXPECT_TRUE(DeleteTempFile(Folder));

    // A process that has ended: its id is free until reused.
    const DWORD Dead = EndedProcessId();
    const auto Name = [](DWORD Process, const wchar_t* Rest) {
        wchar_t Text[64];
        std::swprintf(Text, 64, L"ctagstemp-%lx-%ls", Process, Rest);
        return std::wstring(Text);
    };
    for (const std::wstring& Made : {Name(Dead, L"0"), Name(::GetCurrentProcessId(), L"1"),
                                     std::wstring(L"ctagstemp-x"), std::wstring(L"ctagstempA-1-2")}) {
        ::CreateDirectoryW((Dir / Made).c_str(), nullptr);
        WriteFileBytes(Dir / (Made + L"\\snapshot.c"), "x");
    }
    WriteFileBytes(Dir / Name(Dead, L"2"), "a file");
    RemoveLeftoverFolders(Dir.Path(), L"ctagstemp");
    EXPECT_THAT(toolsupport::LeftIn(Dir.Path()),
                ::testing::UnorderedElementsAre(Name(::GetCurrentProcessId(), L"1"), L"ctagstemp-x", L"ctagstempA-1-2",
                                                Name(Dead, L"2")));

    // The new files of a make or a refresh beside a tags file, in any case.
    TScratchDir Beside;
    const auto File = [](const wchar_t* Stem, DWORD Process, const wchar_t* Rest) {
        wchar_t Text[80];
        std::swprintf(Text, 80, L"%ls-%lx-%ls", Stem, Process, Rest);
        return std::wstring(Text);
    };
    for (const std::wstring& Made : {File(L"tags.lodestar", Dead, L"0.tmp"), File(L"TAGS.LODESTAR", Dead, L"1.TMP"),
                                     File(L"tags.lodestar", ::GetCurrentProcessId(), L"2.tmp"),
                                     File(L"tags.lodestar", Dead, L"3.txt"), File(L"other.lodestar", Dead, L"4.tmp")})
        WriteFileBytes(Beside / Made, "");
    RemoveLeftoverFiles(Beside / L"tags.lodestar", L".tmp");
    EXPECT_THAT(toolsupport::LeftIn(Beside.Path()),
                ::testing::UnorderedElementsAre(File(L"tags.lodestar", ::GetCurrentProcessId(), L"2.tmp"),
                                                File(L"tags.lodestar", Dead, L"3.txt"),
                                                File(L"other.lodestar", Dead, L"4.tmp")));
}

// Through the library's own start and stop, as the host's load and unload
// run them.
TEST(TempFilesUnload, DeletesWhatThePluginMadeAndStillOwnsOnly)
{
    TScratchDir Dir;
    LibraryInitialize();
    const std::wstring File = Dir / L"snapshot.c";
    WriteFileBytes(File, "int main;");
    RegisterTempFile(File);
    const std::wstring Folder = Dir / L"ctagstemp1";
    ::CreateDirectoryW(Folder.c_str(), nullptr);
    ::CreateDirectoryW((Folder + L"\\sub").c_str(), nullptr);
    WriteFileBytes(Folder + L"\\sub\\deep.txt", "x");
    ::SetFileAttributesW((Folder + L"\\sub\\deep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    RegisterTempFile(Folder);
    // Deleted meanwhile by another program: nothing to do, and no failure.
    const std::wstring Gone = Dir / L"gone.c";
    WriteFileBytes(Gone, "ours");
    RegisterTempFile(Gone);
    ::DeleteFileW(Gone.c_str());
    WriteFileBytes(Dir / L"unrelated.txt", "stays");

    LibraryFinalize();
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_FALSE(FileExists(File));
    EXPECT_FALSE(DirectoryExists(Folder));
    EXPECT_FALSE(FileExists(Gone));
    EXPECT_TRUE(FileExists(Dir / L"unrelated.txt"));
}

TEST(DeleteDirectoryTree, RemovesEverythingOrReportsWhatItCouldNot)
{
    TScratchDir Dir;
    const std::wstring Root = Dir / L"tree";
    ::CreateDirectoryW(Root.c_str(), nullptr);
    ::CreateDirectoryW((Root + L"\\a").c_str(), nullptr);
    ::CreateDirectoryW((Root + L"\\a\\b").c_str(), nullptr);
    WriteFileBytes(Root + L"\\top.txt", "1");
    WriteFileBytes(Root + L"\\a\\b\\leaf.txt", "2");
    ::SetFileAttributesW((Root + L"\\a\\b\\leaf.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(DeleteDirectoryTree(Root)); // with or without the trailing backslash
    EXPECT_FALSE(DirectoryExists(Root));

    ::CreateDirectoryW(Root.c_str(), nullptr);
    WriteFileBytes(Root + L"\\busy.txt", "3");
    HANDLE Busy = ::CreateFileW((Root + L"\\busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Busy, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteDirectoryTree(Root + L"\\"));
    EXPECT_TRUE(DirectoryExists(Root));
    ::CloseHandle(Busy);
    EXPECT_TRUE(DeleteDirectoryTree(Root + L"\\"));
    EXPECT_FALSE(DeleteDirectoryTree(Root));
}

TEST(ExpandEnvironment, ReplacesKnownReferencesOnly)
{
    TEnvOverride Var(L"LODESTAR_TEST_DIR", L"C:\\Tools");
    EXPECT_EQ(ExpandEnvironment(L"%LODESTAR_TEST_DIR%\\ctags\\ctags.exe"), L"C:\\Tools\\ctags\\ctags.exe");
    EXPECT_EQ(ExpandEnvironment(L"%LODESTAR_NO_SUCH_VAR%\\x"), L"%LODESTAR_NO_SUCH_VAR%\\x");
    EXPECT_EQ(ExpandEnvironment(L""), L"");

    // Longer than the usual buffer: expanded in full, not cut or dropped.
    const std::wstring Long(20000, L'y');
    TEnvOverride Big(L"LODESTAR_TEST_LONG", Long);
    EXPECT_EQ(ExpandEnvironment(L"<%LODESTAR_TEST_LONG%>"), L"<" + Long + L">");
}

// A path the current drive anchors names another file when the panel's
// drive changes: it is neither full nor looked for, as a name or on PATH.
TEST(PathKind, OnlyADriveWithItsRootOrANetworkPathIsFull)
{
    const struct {
        const wchar_t* Path;
        TPathKind Kind;
    } Cases[] = {
        {L"C:\\Tools\\ctags.exe", TPathKind::Full},
        {L"c:/tools/ctags.exe", TPathKind::Full},
        {L"\\\\server\\share\\ctags.exe", TPathKind::Full},
        {L"//server/share/ctags.exe", TPathKind::Full},
        {L"\\\\?\\C:\\ctags.exe", TPathKind::Full},
        {L"\\bin\\ctags.exe", TPathKind::OnCurrentDrive},
        {L"/bin/ctags.exe", TPathKind::OnCurrentDrive},
        {L"C:ctags.exe", TPathKind::OnCurrentDrive},
        {L"C:", TPathKind::OnCurrentDrive},
        {L"ctags.exe", TPathKind::Relative},
        {L"tools\\ctags.exe", TPathKind::Relative},
        {L"", TPathKind::Relative},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(PathKind(Case.Path), Case.Kind) << WideToUtf8(Case.Path);

    const std::wstring Folder = toolsupport::ProgramFolder();
    const std::wstring Rooted = Folder.substr(2); // "\..." on the current drive
    const TCurrentDirOverride Here(Folder);
    const TEnvOverride Path(L"PATH", Rooted + L";" + Folder.substr(0, 2) + L"." + L";\"" + Rooted + L"\"");
    EXPECT_EQ(FindProgram(L"fakectags.exe"), L"");
    EXPECT_EQ(FindProgram(Rooted + L"\\fakectags.exe"), L"");
    EXPECT_EQ(FindProgram(Folder.substr(0, 2) + L"fakectags.exe"), L"");
    EXPECT_EQ(FindProgram(L"fakectags.exe", Folder), Folder + L"\\fakectags.exe");
}

TEST(PathHelpers, SplitAndQuoteTheWayTheCommandLineNeeds)
{
    EXPECT_EQ(ExtractFileDir(L"C:\\tools\\ctags.exe"), L"C:\\tools");
    EXPECT_EQ(ExtractFileDir(L"C:\\ctags.exe"), L"C:\\");
    EXPECT_EQ(ExtractFileDir(L"ctags.exe"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.b\\file"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\a\\file.tar.gz"), L".gz");
    EXPECT_EQ(QuotedStr(L"C:\\My \"Tools\"\\x"), L"\"C:\\My \"\"Tools\"\"\\x\"");
}
