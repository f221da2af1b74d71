// The typed settings store over the host's SettingsControl: the key walk,
// what it costs in host calls, and how refusals leave it.
#include "PluginTestSupport.h"
#include "settings/uFarConfig.h"
#include "plugin/uPlugin.h"

#include <type_traits>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

static_assert(!std::is_copy_constructible_v<TFarConfig> && !std::is_copy_assignable_v<TFarConfig>);
static_assert(!std::is_copy_constructible_v<TFarSettingsHandle> &&
              std::is_nothrow_move_constructible_v<TFarSettingsHandle>);

class FarConfigTest : public TLinkedPluginTest {
protected:
    void SetUp() override { StartWith(std::make_unique<TPlugin>()); }

    TSettingsStore& Store() { return Host->Settings(); }

    // Host calls of one kind made while Action runs.
    size_t Calls(const char* Command, const std::function<void()>& Action)
    {
        const size_t Before = Host->CallCount(Command);
        Action();
        return Host->CallCount(Command) - Before;
    }

    size_t SettingsCalls() const
    {
        size_t Count = 0;
        for (const char* Command :
             {"SCTL_CREATE", "SCTL_FREE", "SCTL_GET", "SCTL_SET", "SCTL_CREATESUBKEY", "SCTL_OPENSUBKEY"})
            Count += Host->CallCount(Command);
        return Count;
    }
};

TEST_F(FarConfigTest, ExpandKeyPathResolvesAgainstTheCurrentKey)
{
    auto Config = TFarConfig::CreateForPlugin(false);
    EXPECT_EQ(Config->ExpandKeyPath(L"a"), L"a"); // closed: from the root
    EXPECT_EQ(Config->ExpandKeyPath(L"\\\\"), L"");
    ASSERT_TRUE(Config->OpenKey(L"a", false));
    EXPECT_EQ(Config->ExpandKeyPath(L"c"), L"a\\c");
    EXPECT_EQ(Config->ExpandKeyPath(L"c\\\\"), L"a\\c");
    EXPECT_EQ(Config->ExpandKeyPath(L"\\\\x\\y\\"), L"x\\y");
    EXPECT_EQ(Config->ExpandKeyPath(L""), L"a");
    EXPECT_TRUE(Config->IsCurrentKey(L"a"));
    EXPECT_FALSE(Config->IsCurrentKey(L"A"));
}

TEST_F(FarConfigTest, OpenKeyWalksFromAFreshRootHandleUnlessTheKeyIsCurrent)
{
    auto Config = TFarConfig::CreateForPlugin(false);
    EXPECT_FALSE(Config->IsOpen());
    EXPECT_EQ(SettingsCalls(), 0u);

    // The root: one handle, no subkey calls; asking again costs nothing.
    EXPECT_TRUE(Config->OpenKey(L"", false));
    EXPECT_TRUE(Config->IsOpen());
    EXPECT_EQ(Config->GetRoot(), 0);
    EXPECT_EQ(SettingsCalls(), 1u);
    EXPECT_TRUE(Config->OpenKey(L"", false));
    EXPECT_EQ(SettingsCalls(), 1u);

    // Leading, trailing and doubled separators: one name per step.
    EXPECT_TRUE(Config->OpenKey(L"\\\\a\\b\\", false));
    EXPECT_EQ(Config->GetPath(), L"a\\b");
    EXPECT_NE(Config->GetRoot(), 0);
    EXPECT_EQ(SettingsCalls(), 1u + 4u) << "free, create, and two subkeys";
    EXPECT_EQ(Host->CallCount("SCTL_CREATESUBKEY"), 2u);
    EXPECT_TRUE(Store().HasKey(PluginGuidValue, L"a\\b"));

    // Relative to the current key, and every change rebuilds from the root.
    EXPECT_EQ(Calls("SCTL_CREATESUBKEY", [&] { EXPECT_TRUE(Config->OpenKey(L"c", false)); }), 3u);
    EXPECT_EQ(Config->GetPath(), L"a\\b\\c");

    // Two separators in a row are one step, yet the text never equals Path.
    EXPECT_EQ(Calls("SCTL_OPENSUBKEY", [&] { EXPECT_TRUE(Config->OpenKey(L"\\a\\\\b", true)); }), 2u);
    EXPECT_EQ(Config->GetPath(), L"a\\b");
    EXPECT_EQ(Calls("SCTL_CREATE", [&] { EXPECT_TRUE(Config->OpenKey(L"\\a\\\\b", true)); }), 1u);

    Config.reset();
    EXPECT_EQ(Host->Settings().OpenHandleCount(), 0u);
    EXPECT_EQ(Host->CallCount("SCTL_CREATE"), Host->CallCount("SCTL_FREE"));
}

TEST_F(FarConfigTest, AFailedStepClosesTheWholeStore)
{
    Store().SetNumber(PluginGuidValue, L"a", L"n", 5);
    auto Config = TFarConfig::CreateForPlugin(true);
    ASSERT_TRUE(Config->IsOpen());

    EXPECT_FALSE(Config->OpenKey(L"a\\missing", true));
    EXPECT_FALSE(Config->IsOpen());
    EXPECT_EQ(Config->GetRoot(), 0);
    EXPECT_EQ(Config->GetPath(), L"");
    EXPECT_FALSE(Store().HasKey(PluginGuidValue, L"a\\missing"));
    EXPECT_EQ(Store().OpenHandleCount(), 0u);
    // Until the next successful open, reads give defaults and writes fail,
    // without bothering the host.
    const size_t Before = SettingsCalls();
    EXPECT_EQ(Config->ReadQWord(L"n", 9), 9u);
    EXPECT_FALSE(Config->WriteQWord(L"n", 1));
    EXPECT_FALSE(Config->WriteString(L"s", L"x"));
    std::wstring Text = L"stale";
    EXPECT_FALSE(Config->TryReadString(L"s", Text));
    EXPECT_EQ(Text, L"");
    EXPECT_EQ(SettingsCalls(), Before);

    // The relative path now starts from the root again.
    EXPECT_TRUE(Config->OpenKey(L"a", true));
    EXPECT_EQ(Config->ReadQWord(L"n", 9), 5u);

    // A refused handle or subkey leaves it closed just the same.
    Host->SetFailing("SCTL_CREATESUBKEY");
    EXPECT_FALSE(Config->OpenKey(L"\\b", false));
    EXPECT_FALSE(Config->IsOpen());
    Host->SetFailing("SCTL_CREATE");
    EXPECT_FALSE(Config->OpenKey(L"", false));
    EXPECT_FALSE(Config->IsOpen());
    EXPECT_EQ(Store().OpenHandleCount(), 0u);
}

TEST_F(FarConfigTest, ValuesRoundTripUnderTheCurrentKey)
{
    Store().SetNumber(PluginGuidValue, L"k", L"two", 2);
    Store().SetNumber(PluginGuidValue, L"k", L"zero", 0);
    {
        auto Config = TFarConfig::CreateForPlugin(false);
        ASSERT_TRUE(Config->OpenKey(L"k", true));
        EXPECT_TRUE(Config->WriteQWord(L"max", ~uint64_t(0)));
        EXPECT_TRUE(Config->WriteBool(L"yes", true));
        EXPECT_TRUE(Config->WriteBool(L"no", false));
        EXPECT_TRUE(Config->WriteString(L"text", L"C:\\Program Files\\\u0436"));
        EXPECT_TRUE(Config->WriteString(L"empty", L""));

        EXPECT_EQ(Config->ReadQWord(L"max", 0), ~uint64_t(0));
        EXPECT_TRUE(Config->ReadBool(L"two", false));
        EXPECT_FALSE(Config->ReadBool(L"zero", true));
        EXPECT_TRUE(Config->ReadBool(L"missing", true));
        EXPECT_EQ(Config->ReadString(L"empty", L"default"), L"");
        EXPECT_EQ(Config->ReadString(L"missing", L"default"), L"default");
        std::wstring Text;
        EXPECT_TRUE(Config->TryReadString(L"text", Text));
        Config->Close();
        // A copy, not the host's string, which died with the handle.
        EXPECT_EQ(Text, L"C:\\Program Files\\\u0436");
    }
    EXPECT_EQ(Store().GetValue(PluginGuidValue, L"k", L"yes"), TSettingsValue::FromNumber(1));
    EXPECT_EQ(Store().GetValue(PluginGuidValue, L"k", L"no"), TSettingsValue::FromNumber(0));
    EXPECT_THAT(Store().ValueNames(PluginGuidValue, L""), IsEmpty());
    EXPECT_THAT(Store().ValueNames(PluginGuidValue, L"k"),
                ElementsAre(L"empty", L"max", L"no", L"text", L"two", L"yes", L"zero"));
}

TEST_F(FarConfigTest, TheHandleIsFreedExactlyOnceWhoeverHoldsIt)
{
    auto Config = TFarConfig::CreateForPlugin(true);
    far3::FarSettingsCreate Create{};
    Create.StructSize = sizeof(Create);
    Create.Guid = PluginGuidValue;
    const auto Control = TFarModule::StartupInfo().SettingsControl;
    ASSERT_TRUE(Control(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, 0, &Create));
    TFarSettingsHandle First(Create.Handle, Control);
    TFarSettingsHandle Second(std::move(First));
    First = std::move(Second);
    EXPECT_EQ(Calls("SCTL_FREE",
                    [&] {
                        Second.reset();
                        First.reset();
                        First.reset();
                        Config.reset();
                    }),
              2u);
    EXPECT_EQ(Store().OpenHandleCount(), 0u);
}

TEST_F(FarConfigTest, AHandleLeftOpenIsAHostErrorAtUnload)
{
    far3::FarSettingsCreate Create{};
    Create.StructSize = sizeof(Create);
    Create.Guid = PluginGuidValue;
    ASSERT_TRUE(TFarModule::StartupInfo().SettingsControl(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, 0, &Create));
    Host->Unload();
    ASSERT_EQ(Host->Errors().size(), 1u);
    EXPECT_NE(Host->Errors()[0].find(L"never freed"), std::wstring::npos);
    EXPECT_EQ(Store().OpenHandleCount(), 0u);
    Host->ClearErrors();
}

TEST(FarConfig, CreateForPluginNeedsThePluginObject)
{
    EXPECT_THROW(TFarConfig::CreateForPlugin(false), EFarPluginError);
}

} // namespace
