#include "plugin/uOptionsUI.h"

#include "plugin/uHelpTopics.h"
#include "plugin/uMessages.h"
#include "base/uStrings.h"

#include <algorithm>

namespace {

// The delay as typed, or Fallback when it is not a 32-bit integer. The
// masked field pads what is typed with blanks.
std::int32_t DelayValue(const std::wstring& Text, std::int32_t Fallback)
{
    std::int32_t Value;
    return TryStrToInt32(TrimText(Text), Value) ? Value : Fallback;
}

} // namespace

void TOptionsDialog::CreateContent()
{
    TOkCancelDialog::CreateContent();
    SetHelpTopic(HelpOptions);
    FCtagsLabel = AddLabel(0, 0, 0, GetMsg(MCtagsPathLabel), laLeft);
    FCtagsEdit = AddEdit(0, 0, 0, std::wstring());
    FCtagsEdit->SetHistory(L"CtagsFileName");
    FDelayCheckbox = AddCheckbox(0, 0, GetMsg(MSearchDelayCheck), false);
    FDelayCheckbox->OnClick = [this](TCheckbox& Sender, TCheckState State, bool& Allow) {
        DelayCheckboxClick(Sender, State, Allow);
    };
    FDelayEdit = AddEdit(0, 0, 0, std::wstring());
    // Digits only, as the host's own number fields take them.
    FDelayEdit->SetMask(L"99999");
    FDelayEdit->OnChange = [this](TCustomEdit& Sender, bool& Result) { DelayEditChange(Sender, Result); };
    FDelayLabel = AddLabel(0, 0, 0, GetMsg(MMilliseconds), laLeft);
}

void TOptionsDialog::ClearControls()
{
    TOkCancelDialog::ClearControls();
    FCtagsLabel = nullptr;
    FCtagsEdit = nullptr;
    FDelayCheckbox = nullptr;
    FDelayEdit = nullptr;
    FDelayLabel = nullptr;
}

void TOptionsDialog::SetSize(int Width, int Height)
{
    TOkCancelDialog::SetSize(Width, Height);
    if (!FCtagsLabel)
        return;
    PlaceControl(FCtagsLabel);
    PlaceControl(FCtagsEdit);
    PlaceControl(FDelayCheckbox);
    PlaceControl(FDelayEdit, 4);
    FDelayEdit->SetWidth(5);
    PlaceBeside(FDelayLabel, FDelayEdit);
}

void TOptionsDialog::AdjustSize(int& Width, int& Height)
{
    TOkCancelDialog::AdjustSize(Width, Height);
    // As wide as its content needs, as the host's own settings dialogs are,
    // not as wide as the screen.
    Width = std::min(Width, MaxWidth);
    Height = 10;
}

bool TOptionsDialog::Execute()
{
    FCtagsEdit->SetText(FOptions->GetCtagsFileName());
    FDelayCheckbox->SetChecked(FOptions->GetFunctionSearchDelayEnabled());
    FDelayEdit->SetText(std::to_wstring(FOptions->GetFunctionSearchDelay()));
    if (!TOkCancelDialog::Execute())
        return false;
    FOptions->SetCtagsFileName(FCtagsEdit->GetText());
    FOptions->SetFunctionSearchDelayEnabled(FDelayCheckbox->GetChecked());
    // OK is only offered for a valid delay: text that is none now means the
    // host did not give the text back, and the delay stays as it was.
    FOptions->SetFunctionSearchDelay(DelayValue(FDelayEdit->GetText(), FOptions->GetFunctionSearchDelay()));
    return true;
}

void TOptionsDialog::DelayCheckboxClick(TCheckbox&, TCheckState State, bool&)
{
    FDelayEdit->SetEnabled(State == csChecked);
}

void TOptionsDialog::DelayEditChange(TCustomEdit&, bool&)
{
    GetOkButton()->SetEnabled(DelayValue(FDelayEdit->GetText(), -1) >= 0);
}
