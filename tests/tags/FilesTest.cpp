// Temporary names, their deletion at unload, environment expansion and
// folder deletion.
#include "TagsTestUtil.h"

#include "uLibrary.h"
#include "uSystem.h"

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

TEST_F(TempFilesTest, MakeTempFileNameGivesAFreeNameAndRegistersIt)
{
    TScratchDir Dir;
    const std::wstring Name = MakeTempFileName(Dir.Path() + L"\\", L"ctagstemp");
    ASSERT_FALSE(Name.empty());
    EXPECT_EQ(Name.rfind(Dir.Path() + L"\\cta", 0), 0u) << Name;
    EXPECT_EQ(ExtractFileExt(Name), L".tmp");
    EXPECT_FALSE(FileExists(Name)); // reserved by the system, then released
    EXPECT_EQ(*TempFiles(), TStrings{Name});

    EXPECT_EQ(MakeTempFileName(Dir / L"missing\\", L"ctagstemp"), L"");
    EXPECT_EQ(TempFiles()->size(), 1u);
}

TEST_F(TempFilesTest, MakeTempFileNameExtKeepsTheExtensionAndSkipsTakenNames)
{
    TScratchDir Dir;
    const std::wstring Name = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L".cpp");
    EXPECT_EQ(ExtractFileExt(Name), L".cpp");
    EXPECT_EQ(Name.rfind(Dir.Path() + L"\\cta", 0), 0u) << Name;
    EXPECT_FALSE(FileExists(Name));
    // Both the system's name and the one handed out are registered.
    ASSERT_EQ(TempFiles()->size(), 2u);
    EXPECT_EQ(TempFiles()->at(1), Name);
    EXPECT_EQ(ChangeFileExt(TempFiles()->at(0), L".cpp"), Name);

    const std::wstring Bare = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L"");
    EXPECT_EQ(ExtractFileExt(Bare), L"");
    EXPECT_EQ(Bare.rfind(Dir.Path() + L"\\cta", 0), 0u) << Bare;

    // Without a usable directory the base is empty, so the candidates are
    // plain: ".c", then "0.c", "1.c", ... in the current directory.
    TCurrentDirOverride Here(Dir.Path());
    const std::wstring Missing = Dir / L"missing\\";
    EXPECT_EQ(MakeTempFileNameExt(Missing, L"ctagstemp", L".c"), L".c");
    WriteFileBytes(Dir / L".c", "");
    EXPECT_EQ(MakeTempFileNameExt(Missing, L"ctagstemp", L".c"), L"0.c");
    WriteFileBytes(Dir / L"0.c", "");
    ::CreateDirectoryW((Dir / L"1.c").c_str(), nullptr);
    EXPECT_EQ(MakeTempFileNameExt(Missing, L"ctagstemp", L".c"), L"2.c");
    // Registered with the folder it was meant for, so that the cleanup at
    // unload cannot hit a namesake in whatever folder is current then.
    EXPECT_EQ(TempFiles()->back(), Dir / L"2.c");
}

// Through the library's own start and stop, as the host's load and unload
// run them.
TEST(TempFilesUnload, DeletesRegisteredFilesAndFoldersAndSkipsWhatIsGone)
{
    TScratchDir Dir;
    LibraryInitialize();
    ASSERT_NE(TempFiles(), nullptr);
    const std::wstring File = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L".c");
    WriteFileBytes(File, "int main;");
    const std::wstring Folder = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L"");
    ::CreateDirectoryW(Folder.c_str(), nullptr);
    ::CreateDirectoryW((Folder + L"\\sub").c_str(), nullptr);
    WriteFileBytes(Folder + L"\\sub\\deep.txt", "x");
    ::SetFileAttributesW((Folder + L"\\sub\\deep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring Gone = MakeTempFileNameExt(Dir.Path() + L"\\", L"ctagstemp", L".h");
    WriteFileBytes(Dir / L"unrelated.txt", "stays");

    LibraryFinalize();
    EXPECT_EQ(TempFiles(), nullptr);
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
