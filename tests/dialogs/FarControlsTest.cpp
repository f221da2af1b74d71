// The controls: what they store before the dialog exists, what they read and
// write through the running host dialog, and an edit's delayed change.
#include "DialogTestSupport.h"

#include <chrono>

using ::testing::ElementsAre;

namespace {

class FarControlsTest : public TDialogTest {};

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

} // namespace

TEST_F(FarControlsTest, BoundsAndPreferredWidthsBeforeTheDialogExists)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Hotkey = Dialog->AddLabel(0, 0, 10, L"&Name", TFarDialog::laLeft);
    EXPECT_EQ(Hotkey->GetPreferredWidth(), 4);
    Hotkey->SetShowAmpersand(true);
    EXPECT_EQ(Hotkey->GetPreferredWidth(), 5);
    EXPECT_EQ(Dialog->AddLabel(0, 0, 10, L"Name", TFarDialog::laRight)->GetPreferredWidth(), 4);
    EXPECT_EQ(Dialog->AddButton(0, 0, L"OK")->GetPreferredWidth(), 6);

    const auto Record = [](TFarDialog::TControl* Control) {
        const far3::FarDialogItem& Item = Control->DialogItem();
        return std::vector<intptr_t>{Item.X1, Item.Y1, Item.X2, Item.Y2};
    };
    auto* Edit = Dialog->AddEdit(0, 0, 1, L"");
    Edit->SetBounds(3, 2, 20, 5);
    EXPECT_THAT(Record(Edit), ElementsAre(3, 2, 22, 2));
    auto* Box = Dialog->AddDoubleBox(0, 0, 1, 1, L"Box");
    Box->SetBounds(3, 2, 20, 5);
    EXPECT_THAT(Record(Box), ElementsAre(3, 2, 22, 6));
    EXPECT_THAT(Record(Dialog->AddButton(4, 7, L"Go")), ElementsAre(4, 7, 0, 7));
    EXPECT_THAT(Record(Dialog->AddSeparator(9)), ElementsAre(0, 9, 0, 9));

    // Texts and histories are owned copies the records point at.
    Edit->SetText(L"");
    EXPECT_EQ(Edit->DialogItem().Data, nullptr);
    EXPECT_EQ(Edit->GetText(), L"");
    Edit->SetHistory(L"x");
    EXPECT_TRUE(Edit->GetFlags() & far3::DIF_HISTORY);
    EXPECT_STREQ(Edit->DialogItem().History, L"x");
    Edit->SetHistory(L"");
    EXPECT_FALSE(Edit->GetFlags() & far3::DIF_HISTORY);
    ASSERT_NE(Edit->DialogItem().History, nullptr);
    EXPECT_STREQ(Edit->DialogItem().History, L"");
}

TEST_F(FarControlsTest, OnceTheDialogRunsValuesComeFromAndGoToTheHost)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"start");
    auto* Check = Dialog->AddCheckbox(1, 2, L"Check", false);
    auto* Ok = Dialog->AddButton(1, 3, L"OK");
    Script(TDialogScript()
               .Type(L"typed")
               .Check([&](THostDialog& Live) {
                   EXPECT_EQ(Edit->GetText(), L"typed");
                   Check->SetChecked(true);
                   EXPECT_EQ(Live.Items[1].Selected, 1);
                   Ok->SetEnabled(false);
                   EXPECT_TRUE(Live.Items[2].Flags & far3::DIF_DISABLE);
                   Ok->SetDefault(true);
                   EXPECT_TRUE(Live.Items[2].Flags & far3::DIF_DEFAULTBUTTON);
                   Edit->SetHistory(L"Paths");
                   EXPECT_EQ(Live.Items[0].History, L"Paths");
                   EXPECT_EQ(Live.Items[0].Data, L"typed");
                   Edit->SetBounds(2, 1, 10, 1);
                   EXPECT_EQ(Edit->GetWidth(), 10);
               })
               .Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
    // Read after the run, from the host dialog that still exists.
    EXPECT_EQ(Edit->GetText(), L"typed");
    EXPECT_TRUE(Check->GetChecked());
    EXPECT_TRUE(Ok->GetFlags() & far3::DIF_DISABLE);
    // Released, the records hold what was set before the build.
    Dialog->ReleaseHandle();
    EXPECT_EQ(Edit->GetText(), L"start");
}

TEST_F(FarControlsTest, AHostItemOfAnotherTypeIsAMismatch)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"");
    ASSERT_TRUE(Dialog->Build());
    Live(*Dialog).Items[0].Type = far3::DI_FIXEDIT;
    try {
        Edit->GetFlags();
        ADD_FAILURE() << "no failure";
    } catch (const EFarDialogError& E) {
        EXPECT_EQ(E.Message(), L"Control type mismatch");
    }
}

TEST_F(FarControlsTest, CheckBoxClicksReachTheHandlerOnlyWithAKnownState)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Check = Dialog->AddCheckbox(1, 1, L"Check", false);
    std::vector<int> States;
    Check->OnClick = [&](TFarDialog::TCheckbox&, TCheckState State, bool& Allow) {
        States.push_back(State);
        Allow = State != csUndefined;
    };
    intptr_t Result = -5;
    for (intptr_t State : {0, 1, 2})
        EXPECT_TRUE(Dialog->DialogProc(far3::DN_BTNCLICK, 0, reinterpret_cast<void*>(State), Result));
    EXPECT_EQ(Result, 0);
    EXPECT_FALSE(Dialog->DialogProc(far3::DN_BTNCLICK, 0, reinterpret_cast<void*>(intptr_t{3}), Result));
    EXPECT_THAT(States, ElementsAre(0, 1, 2));

    // A refused click keeps the state in the host.
    Check->OnClick = [](TFarDialog::TCheckbox&, TCheckState, bool& Allow) { Allow = false; };
    Script(TDialogScript().Key(VK_SPACE).Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
    EXPECT_FALSE(Check->GetChecked());
}

TEST_F(FarControlsTest, WithoutADelayTheChangeHandlerRunsInsideTheHostsEvent)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"");
    std::vector<std::wstring> Seen;
    Edit->OnChange = [&](TFarDialog::TCustomEdit& Sender, bool&) {
        EXPECT_EQ(::GetCurrentThreadId(), Host->MainThreadId());
        Seen.push_back(Sender.GetText());
    };
    Script(TDialogScript().Type(L"ab").Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
    EXPECT_THAT(Seen, ElementsAre(L"a", L"ab"));
    EXPECT_FALSE(Edit->HasChangeThread());
}

TEST_F(FarControlsTest, WithADelayTheHandlerRunsOnceAfterThePauseOnTheHostsThread)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"");
    Edit->SetChangeDelay(300);
    std::vector<std::wstring> Seen;
    TClock::time_point LastChange;
    double Pause = 0;
    Edit->OnChange = [&](TFarDialog::TCustomEdit& Sender, bool&) {
        EXPECT_EQ(::GetCurrentThreadId(), Host->MainThreadId());
        Pause = MillisecondsSince(LastChange);
        Seen.push_back(Sender.GetText());
    };
    const auto Stamp = [&](THostDialog&) { LastChange = TClock::now(); };
    Script(TDialogScript().Type(L"a").Wait(100).Type(L"b").Wait(150).Type(L"c").Check(Stamp).Wait(1000).Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
    EXPECT_THAT(Seen, ElementsAre(L"abc"));
    EXPECT_GE(Pause, 280);
    EXPECT_TRUE(Edit->HasChangeThread());
}

// A delayed handler's failure ends the run and is raised from it, as an
// immediate one's is: the dialog never goes on with the rows of an older
// change.
TEST_F(FarControlsTest, AFailedDelayedHandlerEndsTheRunWithItsFailure)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"");
    Edit->SetChangeDelay(50);
    int Calls = 0;
    Edit->OnChange = [&](TFarDialog::TCustomEdit&, bool&) {
        ++Calls;
        throw EFarError(L"no");
    };
    // The script ends with the wait: a run that went on would find no input.
    Script(TDialogScript().Type(L"a").Wait(2000));
    TFarDialog::TButton* Button;
    EXPECT_THROW(Dialog->Run(Button), EFarError);
    EXPECT_EQ(Calls, 1);
}

TEST_F(FarControlsTest, FreeingAWaitingEditIsPromptAndItsLateRequestIsIgnored)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"");
    Edit->SetChangeDelay(100);
    int Calls = 0;
    Edit->OnChange = [&](TFarDialog::TCustomEdit&, bool&) { ++Calls; };
    // The request is queued after the dialog's run has ended.
    Script(TDialogScript().Type(L"a").Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
    ASSERT_TRUE(Host->WaitForSynchroEvent(2000));

    const TClock::time_point Start = TClock::now();
    Dialog.reset();
    EXPECT_LT(MillisecondsSince(Start), 250);
    EXPECT_EQ(Host->DeliverSynchroEvents(), 1u);
    EXPECT_EQ(Calls, 0);

    // A worker still waiting for its pause ends at once too.
    auto Waiting = TFarDialog::Create<TTestDialog>();
    auto* Slow = Waiting->AddEdit(1, 1, 20, L"");
    Slow->SetChangeDelay(60000);
    Script(TDialogScript().Type(L"a").Esc());
    Waiting->Run(Button);
    const TClock::time_point Stop = TClock::now();
    Waiting.reset();
    EXPECT_LT(MillisecondsSince(Stop), 250);
}

// The host drops a request without a word when it cannot take it (its
// answer is always 0): the next pause must ask again. And once the run has
// ended, a late request runs nothing, though the dialog still exists.
TEST_F(FarControlsTest, ADroppedRequestIsMadeAgainAtTheNextPauseAndNoneRunsAfterTheRun)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 20, L"");
    Edit->SetChangeDelay(20);
    std::vector<std::wstring> Seen;
    Edit->OnChange = [&](TFarDialog::TCustomEdit& Sender, bool&) { Seen.push_back(Sender.GetText()); };
    // Generous waits for the worker, on a machine however busy: they end as
    // soon as what they wait for has happened.
    const auto WaitForRequest = [&](size_t Count) {
        for (int I = 0; I < 3000 && Host->CallCount("ACTL_SYNCHRO") < Count; ++I)
            ::Sleep(10);
        ASSERT_EQ(Host->CallCount("ACTL_SYNCHRO"), Count);
    };
    Host->SetFailing("ACTL_SYNCHRO");
    Script(TDialogScript()
               .Type(L"a")
               .Check([&](THostDialog&) {
                   WaitForRequest(1);
                   Host->SetFailing("ACTL_SYNCHRO", false);
               })
               .Type(L"b")
               .Check([&](THostDialog&) {
                   WaitForRequest(2);
                   Host->DeliverSynchroEvents();
               })
               .Type(L"c")
               .Esc());
    TFarDialog::TButton* Button;
    EXPECT_FALSE(Dialog->Run(Button));
    EXPECT_THAT(Seen, ElementsAre(L"ab"));

    WaitForRequest(3);
    EXPECT_TRUE(Dialog->IsActive());
    EXPECT_EQ(Host->DeliverSynchroEvents(), 1u);
    EXPECT_THAT(Seen, ElementsAre(L"ab"));
}
