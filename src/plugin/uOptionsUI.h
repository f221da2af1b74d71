// The configuration dialog: the path of the ctags executable, whether the
// lists filter only after a pause in typing, and that pause, the names of
// the project's tags files, and whether the filters match fuzzily.
#pragma once

#include "dialogs/uButtonsDialog.h"
#include "settings/uOptions.h"

// {A4E1C7D2-5B38-4C6F-8D19-2E7F0B9A3C51}
inline constexpr GUID OptionsDialogGuid = {
    0xa4e1c7d2, 0x5b38, 0x4c6f, {0x8d, 0x19, 0x2e, 0x7f, 0x0b, 0x9a, 0x3c, 0x51}};

class TOptionsDialog : public TOkCancelDialog {
public:
    static constexpr int MaxWidth = 70;

    TOptions* GetOptions() const noexcept { return FOptions; }
    void SetOptions(TOptions* Value) noexcept { FOptions = Value; }
    TLabel* GetCtagsLabel() const noexcept { return FCtagsLabel; }
    TEdit* GetCtagsEdit() const noexcept { return FCtagsEdit; }
    TCheckbox* GetDelayCheckbox() const noexcept { return FDelayCheckbox; }
    TEdit* GetDelayEdit() const noexcept { return FDelayEdit; }
    TLabel* GetDelayLabel() const noexcept { return FDelayLabel; }
    TEdit* GetTagsFilesEdit() const noexcept { return FTagsFilesEdit; }
    TCheckbox* GetFuzzyCheckbox() const noexcept { return FFuzzyCheckbox; }

    // True when the user confirmed; Options then holds the edited values.
    bool Execute();

    void ClearControls() override;
    void SetSize(int Width, int Height) override;
    void AdjustSize(int& Width, int& Height) override;
    void CreateContent() override;

protected:
    friend class TFarDialog;
    TOptionsDialog() : TOkCancelDialog(OptionsDialogGuid) {}

private:
    void DelayCheckboxClick(TCheckbox& Sender, TCheckState State, bool& Allow);
    void DelayEditChange(TCustomEdit& Sender, bool& Result);
    void Validate(bool DelayOn);

    TOptions* FOptions = nullptr;
    TLabel* FCtagsLabel = nullptr;
    TEdit* FCtagsEdit = nullptr;
    TCheckbox* FDelayCheckbox = nullptr;
    TEdit* FDelayEdit = nullptr;
    TLabel* FDelayLabel = nullptr;
    TLabel* FTagsFilesLabel = nullptr;
    TEdit* FTagsFilesEdit = nullptr;
    TCheckbox* FFuzzyCheckbox = nullptr;
};
