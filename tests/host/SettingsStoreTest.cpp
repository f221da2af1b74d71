// The simulated settings store must answer SettingsControl as the real host
// does, or the settings tests prove nothing.
#include "FarHost.h"
#include "HostServices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

const GUID Plugin = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};

class SettingsStoreTest : public ::testing::Test {
protected:
    TFarHost Host;

    void SetUp() override { Host.PluginGuid = Plugin; }

    HANDLE Create(const GUID& Guid = Plugin, intptr_t Location = far3::PSL_ROAMING)
    {
        far3::FarSettingsCreate Info{};
        Info.StructSize = sizeof(Info);
        Info.Guid = Guid;
        return host::SettingsControl(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, Location, &Info) ? Info.Handle : nullptr;
    }

    intptr_t SubKey(HANDLE H, size_t Root, const wchar_t* Name, bool Create = true)
    {
        far3::FarSettingsValue Value{};
        Value.StructSize = sizeof(Value);
        Value.Root = Root;
        Value.Value = Name;
        return host::SettingsControl(H, Create ? far3::SCTL_CREATESUBKEY : far3::SCTL_OPENSUBKEY, 0, &Value);
    }

    far3::FarSettingsItem Item(size_t Root, const wchar_t* Name, far3::FARSETTINGSTYPES Type)
    {
        far3::FarSettingsItem Result{};
        Result.StructSize = sizeof(Result);
        Result.Root = Root;
        Result.Name = Name;
        Result.Type = Type;
        return Result;
    }

    intptr_t SetNumber(HANDLE H, size_t Root, const wchar_t* Name, uint64_t Number)
    {
        auto Value = Item(Root, Name, far3::FST_QWORD);
        Value.Number = Number;
        return host::SettingsControl(H, far3::SCTL_SET, 0, &Value);
    }

    // The value as a number or as a string; nullopt when SCTL_GET refuses.
    std::optional<uint64_t> GetNumber(HANDLE H, size_t Root, const wchar_t* Name)
    {
        auto Value = Item(Root, Name, far3::FST_QWORD);
        if (!host::SettingsControl(H, far3::SCTL_GET, 0, &Value))
            return std::nullopt;
        return Value.Number;
    }

    const wchar_t* GetString(HANDLE H, size_t Root, const wchar_t* Name)
    {
        auto Value = Item(Root, Name, far3::FST_STRING);
        return host::SettingsControl(H, far3::SCTL_GET, 0, &Value) ? Value.String : nullptr;
    }

    void Free(HANDLE H) { EXPECT_EQ(host::SettingsControl(H, far3::SCTL_FREE, 0, nullptr), 1); }
};

TEST_F(SettingsStoreTest, KeyIdsBelongToTheHandleWhileValuesPersist)
{
    HANDLE A = Create();
    ASSERT_NE(A, nullptr);
    // Every successful open hands out a new id, also for a key already open.
    EXPECT_EQ(SubKey(A, 0, L"k"), 1);
    EXPECT_EQ(SubKey(A, 0, L"k"), 2);
    EXPECT_EQ(SubKey(A, 2, L"inner"), 3);
    EXPECT_EQ(SubKey(A, 0, L"missing", false), 0);
    EXPECT_FALSE(Host.Settings().HasKey(Plugin, L"missing"));
    EXPECT_EQ(SetNumber(A, 3, L"n", 7), 1);

    HANDLE B = Create();
    ASSERT_NE(B, A);
    EXPECT_EQ(SubKey(B, 0, L"k", false), 1);
    EXPECT_EQ(SubKey(B, 1, L"inner", false), 2);
    EXPECT_EQ(GetNumber(B, 2, L"n"), 7u);
    EXPECT_EQ(GetNumber(B, 1, L"n"), std::nullopt);
    Free(A);
    Free(B);
    EXPECT_EQ(Host.Settings().OpenHandleCount(), 0u);

    // Local and roaming settings are apart; tests see what the plugin wrote.
    HANDLE Local = Create(Plugin, far3::PSL_LOCAL);
    EXPECT_EQ(SubKey(Local, 0, L"k", false), 0);
    Free(Local);
    EXPECT_EQ(Host.Settings().GetValue(Plugin, L"k\\inner", L"n"), TSettingsValue::FromNumber(7));
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

TEST_F(SettingsStoreTest, GetConvertsOtherTypesAsTheHostsDatabaseDoes)
{
    auto& Store = Host.Settings();
    Store.SetNumber(Plugin, L"", L"minus one", ~uint64_t(0));
    Store.SetString(Plugin, L"", L"prefix", L"  -42 apples");
    Store.SetString(Plugin, L"", L"words", L"none");
    Store.SetString(Plugin, L"", L"huge", L"99999999999999999999");
    Store.SetValue(Plugin, L"", L"bytes", TSettingsValue::FromData({'1', '2', 'x'}));
    HANDLE H = Create();
    EXPECT_STREQ(GetString(H, 0, L"minus one"), L"-1");
    EXPECT_EQ(GetNumber(H, 0, L"prefix"), uint64_t(-42));
    EXPECT_EQ(GetNumber(H, 0, L"words"), 0u);
    EXPECT_EQ(GetNumber(H, 0, L"huge"), uint64_t(INT64_MAX));
    EXPECT_EQ(GetNumber(H, 0, L"bytes"), 12u);
    EXPECT_STREQ(GetString(H, 0, L"bytes"), L"12x");

    Store.SetString(Plugin, L"", L"text", L"\u00e9");
    auto Data = Item(0, L"text", far3::FST_DATA);
    ASSERT_EQ(host::SettingsControl(H, far3::SCTL_GET, 0, &Data), 1);
    ASSERT_EQ(Data.Data.Size, 2u); // UTF-8
    EXPECT_EQ(std::memcmp(Data.Data.Data, "\xC3\xA9", 2), 0);

    // Strings handed out stay valid until the handle is freed.
    const wchar_t* First = GetString(H, 0, L"prefix");
    const wchar_t* Second = GetString(H, 0, L"words");
    EXPECT_STREQ(First, L"  -42 apples");
    EXPECT_STREQ(Second, L"none");
    Free(H);
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

TEST_F(SettingsStoreTest, RefusesWhatTheHostRefusesAndRecordsWhatNoCorrectPluginDoes)
{
    HANDLE H = Create();
    const GUID Stranger = {0x99, 0, 0, {0}};
    EXPECT_EQ(Create(Stranger), nullptr);
    EXPECT_EQ(Create(Plugin, 2), nullptr);
    far3::FarSettingsCreate Short{};
    Short.StructSize = sizeof(Short) - 8;
    Short.Guid = Plugin;
    EXPECT_EQ(host::SettingsControl(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, 0, &Short), 0);

    EXPECT_EQ(SubKey(H, 0, L"a\\b"), 0);
    EXPECT_EQ(SubKey(H, 0, L""), 0);
    EXPECT_EQ(SubKey(H, 5, L"a"), 0);
    EXPECT_EQ(GetNumber(H, 1, L"n"), std::nullopt);
    auto Subkey = Item(0, L"n", far3::FST_SUBKEY);
    EXPECT_EQ(host::SettingsControl(H, far3::SCTL_SET, 0, &Subkey), 0);
    auto NoName = Item(0, nullptr, far3::FST_QWORD);
    EXPECT_EQ(host::SettingsControl(H, far3::SCTL_SET, 0, &NoName), 0);
    EXPECT_EQ(SetNumber(nullptr, 0, L"n", 1), 0);
    EXPECT_EQ(SetNumber(reinterpret_cast<HANDLE>(0x1234), 0, L"n", 1), 0);
    Free(H);
    EXPECT_EQ(host::SettingsControl(H, far3::SCTL_FREE, 0, nullptr), 0);
    EXPECT_THAT(Host.Errors(), SizeIs(12));
    EXPECT_THAT(Host.Settings().ValueNames(Plugin, L""), IsEmpty());
    Host.ClearErrors();

    // The all-zero GUID reads the host's own settings, which are read-only.
    Host.Settings().SetNumber(GUID{}, L"", L"TabSize", 8);
    HANDLE Own = Create(GUID{});
    EXPECT_EQ(GetNumber(Own, 0, L"TabSize"), 8u);
    EXPECT_EQ(SetNumber(Own, 0, L"TabSize", 4), 0);
    EXPECT_EQ(SubKey(Own, 0, L"new"), 0);
    Free(Own);
    EXPECT_THAT(Host.Errors(), SizeIs(2));
    Host.ClearErrors();
}

TEST_F(SettingsStoreTest, FailingCommandsRefuseQuietlyAndAreCounted)
{
    HANDLE H = Create();
    for (const char* Command : {"SCTL_GET", "SCTL_SET", "SCTL_CREATESUBKEY", "SCTL_OPENSUBKEY"})
        Host.SetFailing(Command);
    EXPECT_EQ(SetNumber(H, 0, L"n", 1), 0);
    EXPECT_EQ(SubKey(H, 0, L"a"), 0);
    EXPECT_EQ(SubKey(H, 0, L"a", false), 0);
    Host.SetFailing("SCTL_SET", false);
    EXPECT_EQ(SetNumber(H, 0, L"n", 1), 1);
    EXPECT_EQ(GetNumber(H, 0, L"n"), std::nullopt);
    Host.SetFailing("SCTL_CREATE");
    EXPECT_EQ(Create(), nullptr);
    Free(H); // a handle is always freed
    EXPECT_EQ(Host.Settings().OpenHandleCount(), 0u);
    EXPECT_EQ(Host.CallCount("SCTL_SET"), 2u);
    EXPECT_EQ(Host.CallCount("SCTL_CREATE"), 2u);
    EXPECT_EQ(Host.CallCount("SCTL_FREE"), 1u);
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

} // namespace
