// The options dialog from the host's configuration menu: what it shows, how
// it checks the delay while the user types, and what it writes.
#include "DllTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

// Frame, path label, path, check box, delay, unit label, separator, OK, Cancel.
enum { PathEdit = 2, DelayCheck = 3, DelayEdit = 4, OkButton = 7, CancelButton = 8 };

class OptionsDialogTest : public TDllTest {
protected:
    void Store(const std::wstring& Path, bool Enabled, int Delay)
    {
        Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Path);
        Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", Enabled ? 1 : 0);
        Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", static_cast<uint64_t>(Delay));
    }
    std::optional<TSettingsValue> Stored(const wchar_t* Name)
    {
        return Host->Settings().GetValue(PluginGuidValue, L"", Name);
    }
    static bool Enabled(const THostDialog& Live, int Item) { return !(Live.Items[Item].Flags & far3::DIF_DISABLE); }
};

} // namespace

TEST_F(OptionsDialogTest, TheDelayIsCheckedAsTheUserTypesAndTheBoxSwitchesTheField)
{
    Store(L"C:\\tools\\ctags.exe", false, 250);
    ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    const auto OkIs = [](bool Expected) {
        return [Expected](THostDialog& Live) { EXPECT_EQ(Enabled(Live, OkButton), Expected); };
    };
    Host->QueueDialogScript(TDialogScript()
                                .Check([](THostDialog& Live) {
                                    EXPECT_EQ(Live.Items[PathEdit].Data, L"C:\\tools\\ctags.exe");
                                    EXPECT_EQ(Live.Items[PathEdit].History, L"CtagsFileName");
                                    EXPECT_TRUE(Live.Items[PathEdit].Flags & far3::DIF_HISTORY);
                                    EXPECT_EQ(Live.Items[DelayCheck].Selected, 0);
                                    EXPECT_EQ(Live.Items[DelayEdit].Data, L"250");
                                    // The field starts enabled whatever the box says.
                                    EXPECT_TRUE(Enabled(Live, DelayEdit));
                                    EXPECT_TRUE(Enabled(Live, OkButton));
                                    EXPECT_EQ(Live.Height, 10);
                                })
                                .Key(VK_TAB)
                                .Key(VK_TAB)
                                // Digits only, as in the host's own number fields: a letter or
                                // a sign is not taken.
                                .Check([](THostDialog& Live) {
                                    EXPECT_EQ(Live.Items[DelayEdit].Type, far3::DI_FIXEDIT);
                                    EXPECT_TRUE(Live.Items[DelayEdit].Flags & far3::DIF_MASKEDIT);
                                    EXPECT_EQ(Live.Items[DelayEdit].Mask, L"99999");
                                })
                                .Type(L"x")
                                .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[DelayEdit].Data, L"250"); })
                                .Key(VK_BACK)
                                .Check(OkIs(false))
                                .Type(L"-5")
                                .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[DelayEdit].Data, L"5"); })
                                .Check(OkIs(true))
                                .Key(VK_BACK)
                                .Check(OkIs(false))
                                .Type(L"0")
                                .Check(OkIs(true))
                                .Click(DelayCheck)
                                .Check([](THostDialog& Live) { EXPECT_TRUE(Enabled(Live, DelayEdit)); })
                                .Click(DelayCheck)
                                .Check([](THostDialog& Live) { EXPECT_FALSE(Enabled(Live, DelayEdit)); })
                                .Click(CancelButton));
    EXPECT_EQ(Host->Configure(), 0);
    EXPECT_EQ(Host->CallCount("SCTL_SET"), 0u);
    EXPECT_EQ(Stored(L"FunctionSearchDelay"), TSettingsValue::FromNumber(250));
}

TEST_F(OptionsDialogTest, OkWritesOnlyWhatChangedAndTheNextCommandUsesIt)
{
    Store(L"C:\\nowhere\\ctags.exe", true, 300);
    ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    Host->QueueDialogScript(TDialogScript().Enter());
    EXPECT_EQ(Host->Configure(), 1);
    EXPECT_EQ(Host->CallCount("SCTL_SET"), 0u);

    // A new path and delay (typing replaces a field's text until it has
    // changed once), and the box cleared.
    Host->QueueDialogScript(
        TDialogScript().Type(FakeCtags()).Key(VK_TAB).Key(VK_TAB).Type(L"0").Click(DelayCheck).Click(OkButton));
    EXPECT_EQ(Host->Configure(), 1);
    EXPECT_EQ(Stored(L"CtagsFileName"), TSettingsValue::FromString(FakeCtags()));
    EXPECT_EQ(Stored(L"FunctionSearchDelayEnabled"), TSettingsValue::FromNumber(0));
    EXPECT_EQ(Stored(L"FunctionSearchDelay"), TSettingsValue::FromNumber(0));

    const TScript Steer(Dir, "out main\\tmain.c\\t3;\"\\tfunction\\n");
    TEditor& Editor = OpenSource(L"main.c", "\n\n\nint main(void)\n");
    Host->QueueDialogScript(TDialogScript().Enter());
    Host->OpenFromEditor();
    EXPECT_EQ(Editor.CurLine, 2);
    EXPECT_THAT(Boxes(), IsEmpty());
}

// Defaults shown for options that could not be read would be saved over
// them; a save the host refuses is not a success.
TEST_F(OptionsDialogTest, SettingsTheHostWillNotReadOrTakeAreSaidAndNeverOverwritten)
{
    Store(FakeCtags(), true, 300);
    ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    const auto Box = [](const wchar_t* Text) { return ElementsAre(ElementsAre(L"Lodestar", Text, L"&OK")); };
    Host->SetFailing("SCTL_CREATE");
    EXPECT_EQ(Host->Configure(), 0);
    EXPECT_THAT(Boxes(), Box(L"The plugin's settings cannot be read."));
    // Nor does the command guess which ctags to run.
    Host->ClearMessages();
    OpenSource(L"main.c", "int main(void);\n");
    Host->OpenFromEditor();
    EXPECT_THAT(Boxes(), Box(L"The plugin's settings cannot be read."));
    EXPECT_EQ(Host->CallCount("DialogInit"), 0u);
    Host->SetFailing("SCTL_CREATE", false);
    EXPECT_EQ(Stored(L"CtagsFileName"), TSettingsValue::FromString(FakeCtags()));

    Host->ClearMessages();
    Host->SetFailing("SCTL_SET");
    Host->QueueDialogScript(TDialogScript().Key(VK_TAB).Key(VK_TAB).Type(L"500").Click(OkButton));
    EXPECT_EQ(Host->Configure(), 0);
    EXPECT_THAT(Boxes(), Box(L"The settings could not be saved."));
    EXPECT_EQ(Stored(L"FunctionSearchDelay"), TSettingsValue::FromNumber(300));
}
