// Temporary names, their deletion at unload, environment expansion and
// folder deletion.
#include "TagsTestUtil.h"

#include "plugin/uLibrary.h"
#include "base/uSystem.h"

#include <gmock/gmock.h>

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

TEST(PathHelpers, SplitAndQuoteTheWayTheCommandLineNeeds)
{
    EXPECT_EQ(ExtractFileDir(L"C:\\tools\\ctags.exe"), L"C:\\tools");
    EXPECT_EQ(ExtractFileDir(L"C:\\ctags.exe"), L"C:\\");
    EXPECT_EQ(ExtractFileDir(L"ctags.exe"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.b\\file"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\a\\file.tar.gz"), L".gz");
    EXPECT_EQ(QuotedStr(L"C:\\My \"Tools\"\\x"), L"\"C:\\My \"\"Tools\"\"\\x\"");
}
