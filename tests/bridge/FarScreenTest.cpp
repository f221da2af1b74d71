// Screen size, saved screens, the console title and raw key input.
#include "PluginTestSupport.h"
#include "TestConsole.h"
#include "bridge/uFarScreen.h"
#include "plugin/uPlugin.h"

namespace {

class FarScreenTest : public TLinkedPluginTest {
protected:
    void SetUp() override { StartWith(std::make_unique<TPlugin>()); }
};

} // namespace

TEST_F(FarScreenTest, ScreenSizeComesFromTheHostOr80By25)
{
    Host->SetConsoleSize(120, 40);
    const SMALL_RECT Rect = TFarScreen::GetRect();
    EXPECT_EQ(Rect.Right, 119);
    EXPECT_EQ(Rect.Bottom, 39);
    EXPECT_EQ(TFarScreen::Width(), 120);
    EXPECT_EQ(TFarScreen::Height(), 40);

    Host->SetFailing("ACTL_GETFARRECT");
    EXPECT_EQ(TFarScreen::Width(), 80);
    EXPECT_EQ(TFarScreen::Height(), 25);
}

TEST_F(FarScreenTest, ASavedScreenIsRestoredOnceHoweverOftenAsked)
{
    HANDLE Screen = TFarScreen::SaveScreen();
    EXPECT_EQ(Host->SavedScreenCount(), 1u);
    TFarScreen::RestoreScreen(Screen);
    TFarScreen::RestoreScreen(Screen);
    EXPECT_EQ(Screen, TFarScreen::NoScreen);
    EXPECT_EQ(Host->CallCount("RestoreScreen"), 1u);
    EXPECT_EQ(Host->SavedScreenCount(), 0u);

    TFarScreen::RedrawAll();
    EXPECT_EQ(Host->RedrawAllCount(), 1u);
}

TEST_F(FarScreenTest, ReadKeyTakesOneRecordAndOnlyKeysCount)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    KEY_EVENT_RECORD Key{};

    // Nothing pending: an answer at once, not a wait.
    EXPECT_FALSE(TFarScreen::ReadKey(Key, false));

    ASSERT_TRUE(Console.Write(
        {TTestConsole::Mouse(), TTestConsole::Key('A', true, L'a'), TTestConsole::Key(VK_ESCAPE, false)}));
    // The mouse event is no key, and it is gone.
    EXPECT_FALSE(TFarScreen::ReadKey(Key, false));
    EXPECT_EQ(Console.PendingCount(), 2u);
    ASSERT_TRUE(TFarScreen::ReadKey(Key, false));
    EXPECT_TRUE(Key.bKeyDown);
    EXPECT_EQ(Key.wVirtualKeyCode, 'A');
    EXPECT_EQ(Key.uChar.UnicodeChar, L'a');
    ASSERT_TRUE(TFarScreen::ReadKey(Key, true));
    EXPECT_FALSE(Key.bKeyDown);
    EXPECT_EQ(Key.wVirtualKeyCode, VK_ESCAPE);
    EXPECT_EQ(Console.PendingCount(), 0u);
}

TEST_F(FarScreenTest, ConsoleTitleIsReadWhole)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    TFarScreen::SetConsoleTitle(L"Lodestar test");
    EXPECT_EQ(TFarScreen::GetConsoleTitle(), L"Lodestar test");
    // Longer than a path: a title put back later must not come back cut.
    // Beyond the first buffer the read grows (one huge request fails on the
    // older console server); the longest title comes back whole up to the
    // largest buffer.
    for (const size_t Length : {700, 1022, 1023, 1024, 5000, 23990}) {
        const std::wstring Long = L"{" + std::wstring(Length, L'x') + L"} - Far";
        TFarScreen::SetConsoleTitle(Long);
        EXPECT_EQ(TFarScreen::GetConsoleTitle(), Long) << Length;
    }
}
