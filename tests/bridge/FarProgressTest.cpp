// The progress window: throttled redraws on a clock the test moves, full
// redraws after boxes with buttons, fitted lines, the saved screen and
// title, and Esc.
#include "PluginTestSupport.h"
#include "TestConsole.h"
#include "bridge/uFarProgress.h"
#include "bridge/uFarScreen.h"
#include "plugin/uPlugin.h"

using ::testing::ElementsAre;
using ::testing::SizeIs;

namespace {

class FarProgressTest : public TLinkedPluginTest {
protected:
    DWORD Now = 1000;

    void SetUp() override { StartWith(std::make_unique<TPlugin>()); }

    std::unique_ptr<TFarProgress> NewProgress()
    {
        return std::make_unique<TFarProgress>([this] { return Now; });
    }

    // The flags of every box drawn so far.
    std::vector<far3::FARMESSAGEFLAGS> Draws()
    {
        std::vector<far3::FARMESSAGEFLAGS> Flags;
        for (const TMessageBox& Box : Host->Messages())
            Flags.push_back(Box.Flags);
        return Flags;
    }
};

const std::vector<std::wstring> Lines = {L"Lodestar", L"Working"};
constexpr far3::FARMESSAGEFLAGS Full = far3::FMSG_LEFTALIGN;
constexpr far3::FARMESSAGEFLAGS Kept = far3::FMSG_LEFTALIGN | far3::FMSG_KEEPBACKGROUND;

} // namespace

TEST_F(FarProgressTest, RedrawsAtMostTwiceASecondUnlessForced)
{
    auto Progress = NewProgress();
    Progress->Show(Lines);
    Now += 100;
    EXPECT_FALSE(Progress->TimeToDraw());
    Progress->Show(Lines);
    EXPECT_THAT(Draws(), ElementsAre(Full));

    Now += 400;
    EXPECT_TRUE(Progress->TimeToDraw());
    Progress->Show(Lines);
    Now += 1;
    Progress->Show(Lines, true);
    Progress->Show(Lines);
    EXPECT_THAT(Draws(), ElementsAre(Full, Kept, Full));
    // A box without buttons is no reason to redraw the others.
    EXPECT_FALSE(Progress->TimeToDraw());
}

TEST_F(FarProgressTest, TheTickCounterMayWrapBetweenTwoRedraws)
{
    auto Progress = NewProgress();
    Now = 4294967000u;
    Progress->Show(Lines);
    Now = 100; // 396 ms later
    EXPECT_FALSE(Progress->TimeToDraw());
    Now = 300; // 596 ms later
    EXPECT_TRUE(Progress->TimeToDraw());
    Progress->Show(Lines);
    EXPECT_THAT(Draws(), ElementsAre(Full, Kept));
}

TEST_F(FarProgressTest, ABoxWithButtonsMakesEveryOpenWindowRedrawInFull)
{
    auto First = NewProgress();
    auto Second = NewProgress();
    EXPECT_EQ(TFarModule::RedrawableCount(), 2u);
    First->Show(Lines);
    Second->Show(Lines);
    Now += 1;
    TFarModule::Message(far3::FMSG_WARNING, {L"Lodestar", L"Something happened", L"OK"}, 1);
    EXPECT_TRUE(First->TimeToDraw());
    First->Show(Lines);
    Second->Show(Lines);
    EXPECT_THAT(Draws(), ElementsAre(Full, Full, far3::FMSG_WARNING, Full, Full));

    Second.reset();
    EXPECT_EQ(TFarModule::RedrawableCount(), 1u);
}

TEST_F(FarProgressTest, BarsAndLinesHaveTheWindowsWidth)
{
    auto Progress = NewProgress();
    ASSERT_EQ(Progress->GetWidth(), 66);
    const std::wstring Blocks(66, L'\x2588'), Shades(66, L'\x2591');
    EXPECT_EQ(Progress->ProgressBar(0, 0), std::wstring(66, L' '));
    EXPECT_EQ(Progress->ProgressBar(0, 10), Shades);
    EXPECT_EQ(Progress->ProgressBar(-4, 10), Shades);
    EXPECT_EQ(Progress->ProgressBar(5, 10), Blocks.substr(0, 33) + Shades.substr(0, 33));
    EXPECT_EQ(Progress->ProgressBar(12, 10), Blocks);
    // No overflow for positions near the largest 64-bit value.
    const int64_t Max = INT64_MAX;
    EXPECT_EQ(Progress->ProgressBar(Max / 2, Max), Blocks.substr(0, 32) + Shades.substr(0, 34));

    EXPECT_EQ(Progress->FitText(L"C:\\src\\main.c"), L"C:\\src\\main.c" + std::wstring(53, L' '));
    const std::wstring Path = L"C:\\" + std::wstring(80, L'd') + L"\\main.c";
    EXPECT_EQ(Progress->FitText(Path), L"C:\\..." + Path.substr(Path.size() - 60));

    // A title is cut but never padded; other lines are brought to the width.
    const std::wstring Long(70, L't');
    Progress->Show({Long, L"short", std::wstring(66, L'x'), Long});
    Progress->Show({L"Title", L"line"}, true);
    const auto Boxes = Host->Messages();
    ASSERT_THAT(Boxes, SizeIs(2));
    EXPECT_EQ(Boxes[0].Title, Long.substr(0, 66));
    EXPECT_THAT(Boxes[0].Lines,
                ElementsAre(L"short" + std::wstring(61, L' '), std::wstring(66, L'x'), Long.substr(0, 66)));
    EXPECT_EQ(Boxes[1].Title, L"Title");
}

TEST_F(FarProgressTest, AConsoleTooNarrowForTheBoxGivesEmptyLinesNotAFailure)
{
    Host->SetConsoleSize(10, 25);
    auto Progress = NewProgress();
    EXPECT_EQ(Progress->GetWidth(), 0);
    EXPECT_EQ(Progress->ProgressBar(5, 10), L"");
    Progress->Show({L"Lodestar", Progress->FitText(L"C:\\src\\main.c")});
    ASSERT_THAT(Host->Messages(), SizeIs(1));
    EXPECT_THAT(Host->Messages()[0].Lines, ElementsAre(L""));
}

TEST_F(FarProgressTest, HidePutsBackTheTitleAndTheScreenOfTheFirstShow)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    TFarScreen::SetConsoleTitle(L"Far editor");
    auto Progress = NewProgress();
    Progress->Hide();
    EXPECT_EQ(Host->CallCount("SaveScreen") + Host->CallCount("RestoreScreen"), 0u);

    Progress->Show(Lines);
    TFarScreen::SetConsoleTitle(L"changed meanwhile");
    Now += 600;
    Progress->Show(Lines);
    EXPECT_EQ(Host->SavedScreenCount(), 1u);
    Progress->Hide();
    Progress->Hide();
    EXPECT_EQ(TFarScreen::GetConsoleTitle(), L"Far editor");
    EXPECT_EQ(Host->SavedScreenCount(), 0u);
    EXPECT_EQ(Host->CallCount("RestoreScreen"), 1u);
    EXPECT_FALSE(Progress->IsShown());

    // Shown again, it starts over: a new screen, the width of the screen now.
    Host->SetConsoleSize(100, 30);
    Progress->Show(Lines);
    EXPECT_EQ(Progress->GetWidth(), 86);
    EXPECT_EQ(Host->SavedScreenCount(), 1u);
    EXPECT_THAT(Draws(), ElementsAre(Full, Kept, Full));
    Progress.reset(); // and freeing it hides it
    EXPECT_EQ(Host->SavedScreenCount(), 0u);
}

TEST_F(FarProgressTest, EscAbandonsTheWorkWhenTheScanIsOn)
{
    TTestConsole Console;
    ASSERT_TRUE(Console.Ready());
    auto Progress = NewProgress();

    // Off: the input is left alone.
    Console.Write({TTestConsole::Key(VK_ESCAPE)});
    Progress->Show(Lines);
    EXPECT_EQ(Console.PendingCount(), 1u);

    // On: the Esc is taken, and only the Esc: what was typed before it and
    // after it stays, in its order, for whatever comes next (a name to
    // filter by, Enter).
    Console.Flush();
    Progress->SetCheckEscape(true);
    Console.Write({TTestConsole::Key('A'), TTestConsole::Mouse(), TTestConsole::Key(VK_ESCAPE, false),
                   TTestConsole::Key(VK_ESCAPE), TTestConsole::Key('A', false), TTestConsole::Key(VK_RETURN)});
    EXPECT_THROW(Progress->Show(Lines, true), EAbort);
    EXPECT_EQ(Console.Pending(), "65+ mouse 27- 65- 13+");
    Console.Flush();

    // Without an Esc nothing is taken.
    Console.Write({TTestConsole::Key('M'), TTestConsole::Key('M', false), TTestConsole::Key(VK_RETURN)});
    EXPECT_NO_THROW(Progress->Show(Lines, true));
    EXPECT_EQ(Console.Pending(), "77+ 77- 13+");
    Console.Flush();
    Console.Write({TTestConsole::Key(VK_ESCAPE), TTestConsole::Key('X')});
    // No redraw is due this soon, but the scan runs all the same.
    EXPECT_THROW(Progress->Show(Lines), EAbort);
    EXPECT_EQ(Console.Pending(), "88+");
    Console.Flush();

    // The handler may let the work go on; the window then redraws in full.
    int Asked = 0;
    Progress->SetOnAbort([&](TFarProgress& Sender, bool& Abort) {
        EXPECT_EQ(&Sender, Progress.get());
        EXPECT_TRUE(Abort);
        Abort = false;
        ++Asked;
    });
    Host->ClearMessages();
    Console.Write({TTestConsole::Key(VK_ESCAPE)});
    EXPECT_NO_THROW(Progress->Show(Lines, true));
    EXPECT_EQ(Asked, 1);
    Now += 1;
    Progress->Show(Lines);
    EXPECT_THAT(Draws(), ElementsAre(Full, Full));
}
