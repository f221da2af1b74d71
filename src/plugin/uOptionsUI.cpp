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
    FTagsFilesLabel = AddLabel(0, 0, 0, GetMsg(MTagsFilesLabel), laLeft);
    FTagsFilesEdit = AddEdit(0, 0, 0, std::wstring());
    FFuzzyCheckbox = AddCheckbox(0, 0, GetMsg(MFuzzyCheck), false);
}

void TOptionsDialog::ClearControls()
{
    TOkCancelDialog::ClearControls();
    FCtagsLabel = nullptr;
    FCtagsEdit = nullptr;
    FDelayCheckbox = nullptr;
    FDelayEdit = nullptr;
    FDelayLabel = nullptr;
    FTagsFilesLabel = nullptr;
    FTagsFilesEdit = nullptr;
    FFuzzyCheckbox = nullptr;
}

void TOptionsDialog::SetSize(int Width, int Height)
{
    TOkCancelDialog::SetSize(Width, Height);
    if (!FCtagsLabel)
        return;
    PlaceControl(FCtagsLabel);
    PlaceControl(FCtagsEdit);
    // The check box's text stays inside the frame: on a narrow console the
    // shorter one, which the field under it completes.
    FDelayCheckbox->SetText(GetMsg(MSearchDelayCheck));
    if (FDelayCheckbox->GetPreferredWidth() > GetRemainingRect().Width)
        FDelayCheckbox->SetText(GetMsg(MSearchDelayCheckShort));
    PlaceControl(FDelayCheckbox);
    PlaceControl(FDelayEdit, 4);
    FDelayEdit->SetWidth(5);
    PlaceBeside(FDelayLabel, FDelayEdit);
    PlaceControl(FTagsFilesLabel);
    PlaceControl(FTagsFilesEdit);
    PlaceControl(FFuzzyCheckbox);
}

void TOptionsDialog::AdjustSize(int& Width, int& Height)
{
    TOkCancelDialog::AdjustSize(Width, Height);
    // As wide as its content needs, as the host's own settings dialogs are,
    // not as wide as the screen.
    Width = std::min(Width, MaxWidth);
    Height = 13;
}

bool TOptionsDialog::Execute()
{
    FCtagsEdit->SetText(FOptions->GetCtagsFileName());
    FDelayCheckbox->SetChecked(FOptions->GetFunctionSearchDelayEnabled());
    FDelayEdit->SetText(std::to_wstring(FOptions->GetFunctionSearchDelay()));
    FTagsFilesEdit->SetText(FOptions->GetTagsFiles());
    FFuzzyCheckbox->SetChecked(FOptions->GetFunctionListFuzzy());
    if (!TOkCancelDialog::Execute())
        return false;
    FOptions->SetCtagsFileName(FCtagsEdit->GetText());
    // Nothing named means the usual name, not no tags file at all.
    const std::wstring TagsFiles = TrimText(FTagsFilesEdit->GetText());
    FOptions->SetTagsFiles(TagsFiles.empty() ? std::wstring(L"tags") : TagsFiles);
    FOptions->SetFunctionSearchDelayEnabled(FDelayCheckbox->GetChecked());
    FOptions->SetFunctionListFuzzy(FFuzzyCheckbox->GetChecked());
    // OK is only offered for a valid delay or with the pause off: text that
    // is none now means the pause is off or the host did not give the text
    // back, and the delay stays as it was.
    FOptions->SetFunctionSearchDelay(DelayValue(FDelayEdit->GetText(), FOptions->GetFunctionSearchDelay()));
    return true;
}

void TOptionsDialog::DelayCheckboxClick(TCheckbox&, TCheckState State, bool&)
{
    FDelayEdit->SetEnabled(State == csChecked);
    Validate(State == csChecked);
}

void TOptionsDialog::DelayEditChange(TCustomEdit&, bool&)
{
    Validate(FDelayCheckbox->GetChecked());
}

void TOptionsDialog::Validate(bool DelayOn)
{
    // A pause that is off is not asked for: a number it no longer uses
    // must not hold OK back. While OK waits for one, the unit after the
    // field says so.
    const bool Valid = !DelayOn || DelayValue(FDelayEdit->GetText(), -1) >= 0;
    GetOkButton()->SetEnabled(Valid);
    FDelayLabel->SetText(GetMsg(Valid ? MMilliseconds : MDelayNeeded));
}
