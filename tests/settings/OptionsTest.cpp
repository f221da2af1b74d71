// The plugin's three options in the host's settings store: defaults, what a
// load and a save read and write, and what survives the plugin's unload.
#include "PluginTestSupport.h"
#include "settings/uOptions.h"
#include "plugin/uPlugin.h"

using ::testing::IsEmpty;

namespace {

class OptionsTest : public TLinkedPluginTest {
protected:
    void SetUp() override { StartWith(std::make_unique<TPlugin>()); }

    TSettingsStore& Store() { return Host->Settings(); }

    std::optional<TSettingsValue> Stored(const wchar_t* Name) { return Store().GetValue(PluginGuidValue, L"", Name); }

    void ExpectStored(const std::wstring& Path, bool Enabled, int32_t Delay)
    {
        EXPECT_EQ(Stored(L"CtagsFileName"), TSettingsValue::FromString(Path));
        EXPECT_EQ(Stored(L"FunctionSearchDelayEnabled"), TSettingsValue::FromNumber(Enabled ? 1 : 0));
        EXPECT_EQ(Stored(L"FunctionSearchDelay"), TSettingsValue::FromNumber(static_cast<uint64_t>(int64_t(Delay))));
    }
};

TEST_F(OptionsTest, AnEmptyStoreKeepsTheDefaultsAndAnUnchangedSaveWritesNothing)
{
    TOptions Options;
    EXPECT_EQ(Options.GetCtagsFileName(), L"");
    EXPECT_TRUE(Options.GetFunctionSearchDelayEnabled());
    EXPECT_EQ(Options.GetFunctionSearchDelay(), 300);
    EXPECT_TRUE(Options.GetModified()); // nothing loaded yet
    EXPECT_EQ(Host->CallCount("SCTL_CREATE"), 0u);

    Options.Load();
    EXPECT_EQ(Options.GetCtagsFileName(), L"");
    EXPECT_TRUE(Options.GetFunctionSearchDelayEnabled());
    EXPECT_EQ(Options.GetFunctionSearchDelay(), 300);
    EXPECT_FALSE(Options.GetModified());
    EXPECT_FALSE(Options.IsOpen());

    // Setting a value to what it is changes nothing either.
    Options.SetCtagsFileName(L"");
    Options.SetFunctionSearchDelayEnabled(true);
    Options.SetFunctionSearchDelay(300);
    EXPECT_FALSE(Options.GetModified());
    const size_t Creates = Host->CallCount("SCTL_CREATE");
    EXPECT_TRUE(Options.Save(false));
    EXPECT_EQ(Host->CallCount("SCTL_CREATE"), Creates);
    EXPECT_EQ(Host->CallCount("SCTL_SET"), 0u);
    EXPECT_THAT(Store().ValueNames(PluginGuidValue, L""), IsEmpty());

    // Forced, all three go out at the root of the plugin's settings.
    EXPECT_TRUE(Options.Save(true));
    ExpectStored(L"", true, 300);
    EXPECT_EQ(Store().OpenHandleCount(), 0u);
}

TEST_F(OptionsTest, ChangedValuesAreSavedAndLoadedBack)
{
    TOptions Options;
    Options.Load();
    Options.SetCtagsFileName(L"%ProgramFiles%\\ctags\\ctags.exe");
    EXPECT_TRUE(Options.GetModified());
    Options.SetFunctionSearchDelayEnabled(false);
    Options.SetFunctionSearchDelay(-7);
    EXPECT_TRUE(Options.Save(false));
    EXPECT_FALSE(Options.GetModified());
    ExpectStored(L"%ProgramFiles%\\ctags\\ctags.exe", false, -7);

    // Strings compare exactly: a change of case is a change.
    Options.SetCtagsFileName(L"%PROGRAMFILES%\\ctags\\ctags.exe");
    EXPECT_TRUE(Options.GetModified());

    TOptions Again;
    Again.Load();
    EXPECT_EQ(Again.GetCtagsFileName(), L"%ProgramFiles%\\ctags\\ctags.exe");
    EXPECT_FALSE(Again.GetFunctionSearchDelayEnabled());
    EXPECT_EQ(Again.GetFunctionSearchDelay(), -7);
}

TEST_F(OptionsTest, StoredNumbersLoadAsTheirLow32BitsAndBooleansAsNonZero)
{
    Store().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", ~uint64_t(0));
    Store().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 2);
    TOptions Options;
    Options.Load();
    EXPECT_EQ(Options.GetFunctionSearchDelay(), -1);
    EXPECT_TRUE(Options.GetFunctionSearchDelayEnabled());
    EXPECT_TRUE(Options.Save(true));
    ExpectStored(L"", true, -1); // the Boolean goes back as 1

    Store().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", 0x100000000ull + 250);
    Options.Load();
    EXPECT_EQ(Options.GetFunctionSearchDelay(), 250);
    Store().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", 0x80000000ull);
    Options.Load();
    EXPECT_EQ(Options.GetFunctionSearchDelay(), INT32_MIN);
}

TEST_F(OptionsTest, ARefusingStoreKeepsChangesPendingInsteadOfDroppingThem)
{
    Store().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", 50);
    TOptions Options;
    Options.SetFunctionSearchDelay(80);
    Host->SetFailing("SCTL_CREATE");
    Options.Load();
    EXPECT_EQ(Options.GetFunctionSearchDelay(), 80);
    EXPECT_TRUE(Options.GetModified());
    EXPECT_FALSE(Options.Save(false));
    EXPECT_TRUE(Options.GetModified());
    Host->SetFailing("SCTL_CREATE", false);

    // The handle opens but a value is refused: the others still go out,
    // and the next unforced save tries again.
    Host->SetFailing("SCTL_SET");
    EXPECT_FALSE(Options.Save(false));
    EXPECT_TRUE(Options.GetModified());
    EXPECT_EQ(Host->CallCount("SCTL_SET"), 7u); // every value, the orders, fuzzy and the tags files
    EXPECT_EQ(Stored(L"FunctionSearchDelay"), TSettingsValue::FromNumber(50));
    Host->SetFailing("SCTL_SET", false);
    EXPECT_TRUE(Options.Save(false));
    EXPECT_FALSE(Options.GetModified());
    ExpectStored(L"", true, 80);
    EXPECT_EQ(Store().OpenHandleCount(), 0u);
}

TEST_F(OptionsTest, SavedOptionsSurviveUnloadingAndReloadingThePlugin)
{
    {
        TOptions Options;
        Options.Load();
        Options.SetCtagsFileName(L"D:\\tools\\ctags.exe");
        Options.SetFunctionSearchDelay(1200);
        ASSERT_TRUE(Options.Save(false));
    }
    ASSERT_TRUE(Host->Unload());
    EXPECT_THAT(Host->Errors(), IsEmpty());
    TFarModule::FinalizeUnit();

    TFarModule::InitializeUnit();
    TFarPlugin::RegisterInstance(std::make_unique<TPlugin>());
    ASSERT_TRUE(Host->LoadStatic(LinkedExports(), TestProgramPath()));
    TOptions Options;
    Options.Load();
    EXPECT_EQ(Options.GetCtagsFileName(), L"D:\\tools\\ctags.exe");
    EXPECT_TRUE(Options.GetFunctionSearchDelayEnabled());
    EXPECT_EQ(Options.GetFunctionSearchDelay(), 1200);
}

} // namespace
