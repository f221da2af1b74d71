// The dialog object: size and position, the control collection, building and
// running through the host, and how host events reach the dialog.
#include "DialogTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class FarDialogTest : public TDialogTest {};

template <class E, class F>
std::wstring FailureOf(F&& Fn)
{
    try {
        Fn();
    } catch (const E& Failure) {
        return Failure.Message();
    }
    return L"(no failure)";
}

} // namespace

TEST_F(FarDialogTest, ADialogIsTheScreenLessFourCentredOrWhereItIsPlaced)
{
    auto Centred = TFarDialog::Create<TTestDialog>();
    EXPECT_EQ(Centred->GetWidth(), 76);
    EXPECT_EQ(Centred->GetHeight(), 21);
    Centred->AddButton(0, 0, L"OK");
    ASSERT_TRUE(Centred->Build());
    const THostDialog& Host1 = Live(*Centred);
    EXPECT_THAT(std::vector<intptr_t>({Host1.GivenX1, Host1.GivenY1, Host1.GivenX2, Host1.GivenY2}),
                ElementsAre(-1, -1, 76, 21));

    auto Placed = TFarDialog::Create<TTestDialog>();
    Placed->AddButton(0, 0, L"OK");
    Placed->SetPosition(5, 2);
    Placed->SetSize(40, 10);
    ASSERT_TRUE(Placed->Build());
    const THostDialog& Host2 = Live(*Placed);
    EXPECT_THAT(std::vector<intptr_t>({Host2.GivenX1, Host2.GivenY1, Host2.GivenX2, Host2.GivenY2}),
                ElementsAre(5, 2, 44, 11));
    EXPECT_EQ(TFarDialog::ActiveDialogCount(), 2u);
    Placed->ReleaseHandle();
    EXPECT_EQ(TFarDialog::ActiveDialogCount(), 1u);
}

TEST_F(FarDialogTest, ControlsGrowByBlocksAndStayNumberedWhenRemovedOrMoved)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    std::vector<TFarDialog::TControl*> Controls;
    for (int I = 0; I < 65; ++I)
        Controls.push_back(Dialog->AddLabel(I, 0, 5, std::to_wstring(I), TFarDialog::laLeft));
    EXPECT_EQ(Dialog->ControlCount(), 65);
    EXPECT_EQ(Dialog->ItemRecord(64).X1, 64);
    Dialog->ClearControls();

    const auto Five = [&] {
        Controls.clear();
        for (const wchar_t* Name : {L"A", L"B", L"C", L"D", L"E"})
            Controls.push_back(Dialog->AddLabel(0, 0, 5, Name, TFarDialog::laLeft));
    };
    const auto Order = [&] {
        std::wstring Result;
        for (int I = 0; I < Dialog->ControlCount(); ++I) {
            EXPECT_EQ(Dialog->GetControl(I)->GetIndex(), I);
            Result += TFarModule::FromPointer(Dialog->ItemRecord(I).Data);
        }
        return Result;
    };
    Five();
    Controls[2]->Free();
    EXPECT_EQ(Order(), L"ABDE");
    Dialog->ClearControls();
    Five();
    Dialog->MoveControl(0, 3);
    EXPECT_EQ(Order(), L"BCDAE");
    Dialog->MoveControl(3, 0);
    EXPECT_EQ(Order(), L"ABCDE");
    Dialog->MoveControl(3, 0);
    EXPECT_EQ(Order(), L"DABCE");
    Controls[4]->PlaceAfter(*Controls[3]);
    EXPECT_EQ(Order(), L"DEABC");
}

TEST_F(FarDialogTest, ColumnsAreLaidOutLeftToRightWithAGap)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* A = Dialog->AddEdit(0, 7, 1, L"");
    auto* B = Dialog->AddEdit(0, 0, 1, L"");
    auto* C = Dialog->AddEdit(0, 0, 1, L"");
    Dialog->Columnize({10, 20, 15}, {A, B, C}, 5, 3);
    std::vector<std::vector<int>> Bounds;
    for (auto* Edit : {A, B, C})
        Bounds.push_back({Edit->GetLeft(), Edit->GetTop(), Edit->GetWidth()});
    EXPECT_THAT(Bounds, ElementsAre(ElementsAre(5, 7, 9), ElementsAre(15, 3, 19), ElementsAre(35, 3, 14)));
    // An empty cell still takes its width.
    Dialog->Columnize({4, 4, 4}, {A, nullptr, C}, 0);
    EXPECT_EQ(C->GetLeft(), 8);
    EXPECT_EQ(FailureOf<EFarError>([&] {
                  Dialog->Columnize({4, 4}, {A, B, C}, 0);
              }),
              L"Invalid TFarDialog.Columnize call");
    EXPECT_EQ(FailureOf<EFarError>([&] { Dialog->Columnize({4}, {nullptr}, 0); }),
              L"Invalid TFarDialog.Columnize call");
}

TEST_F(FarDialogTest, MisuseIsReportedWithTheFrameworksTexts)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Button = Dialog->AddButton(0, 0, L"OK");
    EXPECT_EQ(FailureOf<EFarDialogError>([&] { Dialog->SetSize(0, 5); }), L"Invalid value for dialog width (0)");
    EXPECT_EQ(FailureOf<EFarDialogError>([&] { Dialog->SetSize(5, -2); }), L"Invalid value for dialog height (-2)");
    EXPECT_EQ(FailureOf<EListError>([&] { Dialog->GetControl(1); }), L"Index out of bounds");
    EXPECT_EQ(FailureOf<EListError>([&] { Dialog->MoveControl(0, 1); }), L"List index out of bounds");

    ASSERT_TRUE(Dialog->Build());
    EXPECT_EQ(FailureOf<EFarDialogError>([&] { Dialog->AddButton(0, 0, L"X"); }),
              L"Can't add controls to an active dialog");
    EXPECT_EQ(FailureOf<EFarDialogError>([&] { Button->Free(); }), L"Can't remove controls from an active dialog");
    EXPECT_EQ(FailureOf<EFarError>([&] { Dialog->MoveControl(0, 0); }),
              L"Cannot move controls while the dialog is active");
    EXPECT_EQ(Dialog->ControlCount(), 1);

    // A dialog the host refuses to make.
    auto Refused = TFarDialog::Create<TTestDialog>();
    Refused->AddButton(0, 0, L"OK");
    Host->SetFailing("DialogInit");
    EXPECT_EQ(FailureOf<EFarDialogError>([&] {
                  TFarDialog::TButton* Pressed;
                  Refused->Run(Pressed);
              }),
              L"Failed to build dialog TTestDialog");
    EXPECT_FALSE(Refused->IsActive());
    EXPECT_EQ(Refused->ControlCount(), 1);
}

TEST_F(FarDialogTest, ARunIsWonOnlyByAPushButton)
{
    struct {
        const char* How;
        TDialogScript Input;
        bool OkIsDefault;
        int Pressed; // control index, or -1
    } Cases[] = {
        {"Esc", TDialogScript().Esc(), true, -1},
        {"Enter on the default button", TDialogScript().Enter(), true, 2},
        {"a click on the other button", TDialogScript().Click(3), true, 3},
        // Without a default button, Enter closes on the focused check box.
        {"Enter on a check box", TDialogScript().Key(VK_TAB).Enter(), false, -1},
    };
    for (auto& Case : Cases) {
        auto Dialog = TFarDialog::Create<TTestDialog>();
        Dialog->AddEdit(1, 1, 10, L"text");
        auto* Check = Dialog->AddCheckbox(1, 2, L"Check", false);
        Dialog->AddButton(1, 3, L"OK")->SetDefault(Case.OkIsDefault);
        Dialog->AddButton(8, 3, L"Cancel");
        Script(std::move(Case.Input));
        auto* Button = reinterpret_cast<TFarDialog::TButton*>(1);
        EXPECT_EQ(Dialog->Run(Button), Case.Pressed != -1) << Case.How;
        EXPECT_EQ(Button, Case.Pressed == -1 ? nullptr : Dialog->GetControl(Case.Pressed)) << Case.How;
        // The host dialog outlives the run, so values can still be read.
        EXPECT_TRUE(Dialog->IsActive());
        EXPECT_FALSE(Check->GetChecked());
    }
}

TEST_F(FarDialogTest, EventsReachTheHandlersOrTheHostsDefault)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* First = Dialog->AddEdit(1, 1, 10, L"");
    auto* Second = Dialog->AddEdit(1, 2, 10, L"");
    intptr_t Result = 99;
    // Nothing at an index past the controls, nor for a control without a handler.
    EXPECT_FALSE(Dialog->DialogProc(far3::DN_KILLFOCUS, 2, nullptr, Result));
    EXPECT_FALSE(Dialog->DialogProc(far3::DN_KILLFOCUS, -1, nullptr, Result));
    EXPECT_FALSE(Dialog->DialogProc(far3::DN_KILLFOCUS, 0, nullptr, Result));
    First->OnKillFocus = [](TFarDialog::TControl&, TFarDialog::TControl*&) {};
    EXPECT_TRUE(Dialog->DialogProc(far3::DN_KILLFOCUS, 0, nullptr, Result));
    EXPECT_EQ(Result, -1);
    First->OnKillFocus = [&](TFarDialog::TControl&, TFarDialog::TControl*& Next) { Next = Second; };
    EXPECT_TRUE(Dialog->DialogProc(far3::DN_KILLFOCUS, 0, nullptr, Result));
    EXPECT_EQ(Result, 1);
    // A silent abort makes the event unhandled.
    First->OnKillFocus = [](TFarDialog::TControl&, TFarDialog::TControl*&) { Abort(); };
    EXPECT_FALSE(Dialog->DialogProc(far3::DN_KILLFOCUS, 0, nullptr, Result));
    EXPECT_FALSE(Dialog->DialogProc(far3::DN_DRAWDIALOG, 0, nullptr, Result));

    // In a run, Tab's focus change is redirected back by the handler.
    First->OnKillFocus = [&](TFarDialog::TControl&, TFarDialog::TControl*& Next) { Next = First; };
    Script(TDialogScript().Key(VK_TAB).Check([](THostDialog& Live) { EXPECT_EQ(Live.Focus, 0); }).Esc());
    TFarDialog::TButton* Button;
    EXPECT_FALSE(Dialog->Run(Button));
    EXPECT_GT(Host->CallCount("DefDlgProc"), 0u);
}

TEST_F(FarDialogTest, AConsoleResizeSizesAndCentresTheDialogAgain)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    Dialog->AddButton(1, 1, L"OK");
    Script(TDialogScript()
               .Resize(100, 30)
               .Check([](THostDialog& Live) {
                   EXPECT_EQ(Live.Width, 96);
                   EXPECT_EQ(Live.Height, 26);
                   EXPECT_EQ(Live.Rect.Left, 2);
                   EXPECT_EQ(Live.Rect.Top, 2);
                   EXPECT_EQ(Live.RedrawLock, 0);
               })
               .Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
    EXPECT_EQ(Dialog->GetWidth(), 96);
    EXPECT_EQ(Dialog->GetRedrawLock(), 0);
}

TEST_F(FarDialogTest, AFailingHandlerEndsTheRunAndIsRaisedByRun)
{
    auto Dialog = TFarDialog::Create<TTestDialog>();
    auto* Edit = Dialog->AddEdit(1, 1, 10, L"");
    int Calls = 0;
    Edit->OnChange = [&](TFarDialog::TCustomEdit&, bool&) {
        ++Calls;
        throw EFarError(L"handler failed");
    };
    Script(TDialogScript().Type(L"a"));
    TFarDialog::TButton* Button;
    EXPECT_EQ(FailureOf<EFarError>([&] { Dialog->Run(Button); }), L"handler failed");
    EXPECT_EQ(Calls, 1);
    EXPECT_GE(Host->RedrawAllCount(), 1u);
    // The dialog can be run again.
    Edit->OnChange = nullptr;
    Script(TDialogScript().Esc());
    EXPECT_FALSE(Dialog->Run(Button));
}
