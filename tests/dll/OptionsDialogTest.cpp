// The options dialog from the host's configuration menu: what it shows, how
// it checks the delay while the user types, and what it writes.
#include "DllTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace dlltest;

namespace {

// Frame, path label, path, check box, delay, unit label, tags files label,
// tags files, separator, OK, Cancel.
enum {
    PathEdit = 2,
    DelayCheck = 3,
    DelayEdit = 4,
    DelayUnit = 5,
    TagsFilesEdit = 7,
    FuzzyCheck = 8,
    OkButton = 10,
    CancelButton = 11
};

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
    Store(L"C:\\tools\\ctags.exe", true, 250);
    ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    // While OK waits for a number, the unit after the field says why.
    const auto OkIs = [](bool Expected) {
        return [Expected](THostDialog& Live) {
            EXPECT_EQ(Enabled(Live, OkButton), Expected);
            EXPECT_EQ(Live.Items[DelayUnit].Data, Expected ? L"ms" : L"ms (required)");
        };
    };
    Host->QueueDialogScript(TDialogScript()
                                .Check([](THostDialog& Live) {
                                    EXPECT_EQ(Live.Items[PathEdit].Data, L"C:\\tools\\ctags.exe");
                                    EXPECT_EQ(Live.Items[PathEdit].History, L"CtagsFileName");
                                    EXPECT_TRUE(Live.Items[PathEdit].Flags & far3::DIF_HISTORY);
                                    EXPECT_EQ(Live.Items[DelayCheck].Selected, 1);
                                    EXPECT_EQ(Live.Items[DelayEdit].Data, L"250");
                                    // The field starts enabled whatever the box says.
                                    EXPECT_TRUE(Enabled(Live, DelayEdit));
                                    EXPECT_TRUE(Enabled(Live, OkButton));
                                    EXPECT_EQ(Live.Height, 13);
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
                                // A pause turned off asks for no number.
                                .Key(VK_BACK)
                                .Check(OkIs(false))
                                .Click(DelayCheck)
                                .Check([](THostDialog& Live) { EXPECT_FALSE(Enabled(Live, DelayEdit)); })
                                .Check(OkIs(true))
                                .Click(DelayCheck)
                                .Check([](THostDialog& Live) { EXPECT_TRUE(Enabled(Live, DelayEdit)); })
                                .Check(OkIs(false))
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
    // The project's tags files: the usual name, another list, and nothing
    // named, which is the usual name again.
    Host->QueueDialogScript(TDialogScript()
                                .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[TagsFilesEdit].Data, L"tags"); })
                                .Key(VK_TAB)
                                .Key(VK_TAB)
                                .Key(VK_TAB)
                                .Type(L"TAGS;.tags")
                                .Check([](THostDialog& Live) { EXPECT_EQ(Live.Items[FuzzyCheck].Selected, 0); })
                                .Click(FuzzyCheck)
                                .Click(OkButton));
    EXPECT_EQ(Host->Configure(), 1);
    EXPECT_EQ(Stored(L"TagsFiles"), TSettingsValue::FromString(L"TAGS;.tags"));
    EXPECT_EQ(Stored(L"FunctionListFuzzy"), TSettingsValue::FromNumber(1));

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

// Far lets a macro call the plugin while one of its dialogs runs: the call
// is refused quietly, and the dialog it came into goes on as it was.
TEST_F(OptionsDialogTest, ACallWhileACommandRunsIsRefusedQuietly)
{
    Store(FakeCtags(), true, 300);
    ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    const TScript Steer(Dir, "ctags\n");
    TEditor& Editor = OpenSource(L"main.c", TaggedSource);
    const auto Nested = [&](bool FromMenu) {
        return [&, FromMenu](THostDialog&) {
            const size_t Dialogs = Host->DialogCount();
            const intptr_t Result = FromMenu ? reinterpret_cast<intptr_t>(Host->OpenFromEditor())
                                             : Macro({TMacroValue::Str(L"execute")});
            EXPECT_EQ(Result, 0);
            EXPECT_EQ(Host->DialogCount(), Dialogs);
        };
    };
    for (const bool FromMenu : {false, true}) {
        Host->QueueDialogScript(
            TDialogScript().Key(VK_TAB).Key(VK_TAB).Type(L"450").Check(Nested(FromMenu)).Click(OkButton));
        EXPECT_EQ(Host->Configure(), 1);
        EXPECT_EQ(Stored(L"FunctionSearchDelay"), TSettingsValue::FromNumber(450));
        Store(FakeCtags(), true, 300);
    }
    // Inside the function list, the outer list still jumps.
    Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 0);
    Host->QueueDialogScript(TDialogScript().Type(L"main").Check(Nested(false)).Enter());
    EXPECT_EQ(Macro({TMacroValue::Str(L"execute")}), 1);
    EXPECT_EQ(Editor.CurLine, 13);
    EXPECT_THAT(Boxes(), IsEmpty());
}

// The check box's text stays inside the frame on every console the dialog
// fits, in both languages.
TEST_F(OptionsDialogTest, TheCheckBoxFitsTheFrameDownToFortyColumns)
{
    Store(FakeCtags(), true, 300);
    ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    for (const wchar_t* Language : {L"English", L"Russian"}) {
        Host->SetLanguage(Language);
        for (const SHORT Width : {40, 50, 80}) {
            Host->SetConsoleSize(Width, 25);
            Host->QueueDialogScript(
                TDialogScript()
                    .Check([&](THostDialog& Live) {
                        const THostItem& Box = Live.Items[DelayCheck];
                        std::wstring Text = Box.Data;
                        Text.erase(std::remove(Text.begin(), Text.end(), L'&'), Text.end());
                        // "[x] " and the text, inside the frame's lines.
                        EXPECT_LT(Box.X1 + 4 + static_cast<intptr_t>(Text.size()) - 1, Live.Items[0].X2)
                            << WideToUtf8(Language) << " at " << Width << ": " << WideToUtf8(Text);
                    })
                    .Esc());
            EXPECT_EQ(Host->Configure(), 0);
        }
    }
}
