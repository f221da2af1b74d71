// Loads the built Lodestar.dll exactly as the real host does.
#include "FarHost.h"
#include "ToolSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::IsEmpty;

namespace {

std::wstring DllPath()
{
    return toolsupport::ProgramFolder() + L"\\Lodestar.dll";
}

} // namespace

TEST(LodestarDll, LoadsReportsItselfAndUnloadsCleanly)
{
    TFarHost Host;
    ASSERT_TRUE(Host.LoadDll(DllPath()));
    EXPECT_EQ(Host.Title, L"Lodestar");
    EXPECT_EQ(Host.Description, L"Function list and navigation with ctags");
    EXPECT_FALSE(Host.Author.empty());
    EXPECT_EQ(Host.PluginVersion.Major, 0u);
    EXPECT_EQ(Host.PluginVersion.Minor, 5u);
    // The host shows Major.Minor.Build.Revision: 0.5.0.700, as the file
    // and the package are numbered.
    EXPECT_EQ(Host.PluginVersion.Build, 0u);
    EXPECT_EQ(Host.PluginVersion.Revision, 700u);
    EXPECT_EQ(Host.MinFarVersion.Major, 3u);
    EXPECT_EQ(Host.MinFarVersion.Minor + Host.MinFarVersion.Revision + Host.MinFarVersion.Build, 0u);
    for (auto Export :
         {(void*)Host.Exports().SetStartupInfoW, (void*)Host.Exports().GetPluginInfoW, (void*)Host.Exports().OpenW,
          (void*)Host.Exports().ConfigureW, (void*)Host.Exports().ExitFARW, (void*)Host.Exports().ProcessSynchroEventW})
        EXPECT_NE(Export, nullptr);

    const TPluginInfoCopy Info = Host.GetPluginInfo();
    EXPECT_EQ(Info.Flags, 6u);
    ASSERT_EQ(Info.PluginMenu.size(), 5u);
    ASSERT_EQ(Info.PluginConfig.size(), 1u);
    EXPECT_EQ(Info.PluginMenu[0].Text, L"Lodestar: function list");
    EXPECT_EQ(Info.PluginMenu[4].Text, L"Lodestar: make project tags");
    EXPECT_EQ(Info.PluginConfig[0].Text, L"Lodestar");

    EXPECT_EQ(Host.Configure(8), 0);
    EXPECT_TRUE(Host.Unload());
    EXPECT_EQ(::GetModuleHandleW(L"Lodestar.dll"), nullptr);
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

TEST(LodestarDll, MenuTextsFollowTheHostsLanguageAndTheDescriptionStaysInAscii)
{
    TFarHost Host;
    Host.SetLanguage(L"Russian");
    ASSERT_TRUE(Host.LoadDll(DllPath()));
    const TPluginInfoCopy Info = Host.GetPluginInfo();
    ASSERT_EQ(Info.PluginMenu.size(), 5u);
    EXPECT_EQ(Info.PluginMenu[0].Text, L"Lodestar: список функций");
    // Far writes it in the OEM code page, which may lack Cyrillic.
    EXPECT_EQ(Host.Description, L"Function list and navigation with ctags");
    EXPECT_TRUE(Host.Unload());
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

TEST(LodestarDll, AHostOlderThanThePluginNeedsRefusesIt)
{
    TFarHost Host;
    Host.HostVersion = far3::MakeFarVersion(2, 0, 0, 1807);
    EXPECT_FALSE(Host.LoadDll(DllPath()));
    EXPECT_EQ(Host.Errors().size(), 1u);
    EXPECT_EQ(::GetModuleHandleW(L"Lodestar.dll"), nullptr);
}
