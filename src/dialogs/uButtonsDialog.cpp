#include "dialogs/uButtonsDialog.h"

#include "bridge/uFarPlugin.h"

#include <algorithm>

// --- TButtonsDialog -------------------------------------------------------------------------

void TButtonsDialog::AfterConstruction()
{
    BuildControls();
    TFarDialog::AfterConstruction();
}

void TButtonsDialog::BuildControls()
{
    ClearControls();
    const std::wstring Title = TFarPlugin::Instance().GetStandardMessage(TStandardMessage::smTitle);
    FFrame = AddDoubleBox(0, 0, 0, 0, Title);
    CreateContent();
    FSeparator = AddSeparator(0);
    CreateButtons();
}

void TButtonsDialog::CreateContent() {}

void TButtonsDialog::CreateButtons() {}

void TButtonsDialog::ClearControls()
{
    TFarDialog::ClearControls();
    FFrame = nullptr;
    FSeparator = nullptr;
}

void TButtonsDialog::GetClientRect(int& Left, int& Top, int& Width, int& Height)
{
    TFarDialog::GetClientRect(Left, Top, Width, Height);
    if (!FFrame)
        return;
    FFrame->GetBounds(Left, Top, Width, Height);
    Left += 2;
    Top += 1;
    Width -= 4;
    Height -= 2;
}

void TButtonsDialog::SetSize(int Width, int Height)
{
    TFarDialog::SetSize(Width, Height);
    if (FFrame)
        FFrame->SetBounds(3, FFrameMargin, Width - 6, Height - 2 * FFrameMargin);
    if (FFrame && FSeparator)
        FSeparator->SetTop(FFrame->GetTop() + FFrame->GetHeight() - 3);
    ResetRows();
}

void TButtonsDialog::ResetRows()
{
    FRowOffset = 0;
}

TButtonsDialog::TRect TButtonsDialog::GetRemainingRect()
{
    TRect Client;
    GetClientRect(Client.Left, Client.Top, Client.Width, Client.Height);
    TRect Result = Client;
    Result.Top = Client.Top + FRowOffset;
    // Down to the row above the separator, wherever the frame begins.
    const int End = FSeparator ? FSeparator->GetTop() : Client.Top + Client.Height;
    Result.Height = End - Result.Top;
    return Result;
}

void TButtonsDialog::PlaceControl(TControl* Control, int LeftIndent, int RightIndent, int Spacing, bool Always)
{
    const TRect R = GetRemainingRect();
    Control->SetBounds(R.Left + LeftIndent, R.Top, R.Width - LeftIndent - RightIndent, R.Height - Spacing);
    if (Always || Control->GetVisible())
        FRowOffset += Control->GetHeight() + Spacing;
}

void TButtonsDialog::PlaceBeside(TControl* Control, TControl* Anchor, int Mode, int Gap, int RightIndent, int MaxWidth)
{
    int Left, Top, Width, Height;
    Anchor->GetBounds(Left, Top, Width, Height);
    const int Effective = std::min(Width, Anchor->GetPreferredWidth());
    int Column;
    switch (Mode) {
    case 0: Column = Left + Effective + Gap; break;
    case 1: Column = Left + Gap; break;
    default: Column = Left; break;
    }
    const TRect R = GetRemainingRect();
    int NewWidth = R.Left + R.Width - Column;
    if (RightIndent > 0)
        NewWidth -= RightIndent;
    if (MaxWidth > 0)
        NewWidth = std::min(NewWidth, MaxWidth);
    Control->SetBounds(Column, Top, NewWidth, Height);
}

void TButtonsDialog::SkipRows(int Count)
{
    FRowOffset += Count;
}

void TButtonsDialog::Columnize(const TColumnWidths& Widths, const TControlList& Controls)
{
    Columnize(Widths, Controls, GetRemainingRect().Left);
}

void TButtonsDialog::Columnize(const TColumnWidths& Widths, const TControlList& Controls, int Left, int Top)
{
    int Fixed = 0;
    int Shared = 0;
    for (const std::int32_t Width : Widths) {
        if (Width < 0)
            ++Shared;
        else
            Fixed += Width;
    }
    if (Shared == 0) {
        TFarDialog::Columnize(Widths, Controls, Left, Top);
        return;
    }
    const TRect R = GetRemainingRect();
    const int Free = std::max(0, R.Left + R.Width - Left - Fixed);
    const int Share = Free / Shared;
    TColumnWidths Resolved = Widths;
    int Pending = Shared;
    for (std::int32_t& Width : Resolved)
        if (Width < 0)
            // The last shared column also takes what the division leaves.
            Width = --Pending == 0 ? Free - Share * (Shared - 1) : Share;
    TFarDialog::Columnize(Resolved, Controls, Left, Top);
}

// --- TOkCancelDialog ------------------------------------------------------------------------

void TOkCancelDialog::CreateButtons()
{
    TButtonsDialog::CreateButtons();
    TFarPlugin& Plugin = TFarPlugin::Instance();
    FOkButton = AddButton(0, 0, Plugin.GetStandardMessage(TStandardMessage::smOk));
    FOkButton->SetDefault(true);
    FCancelButton = AddButton(0, 0, Plugin.GetStandardMessage(TStandardMessage::smCancel));
}

void TOkCancelDialog::SetSize(int Width, int Height)
{
    TButtonsDialog::SetSize(Width, Height);
    if (!GetSeparator())
        return;
    const int Row = GetSeparator()->GetTop() + 1;
    if (FOkButton)
        FOkButton->SetTop(Row);
    if (FCancelButton)
        FCancelButton->SetTop(Row);
}

void TOkCancelDialog::ClearControls()
{
    TButtonsDialog::ClearControls();
    FOkButton = nullptr;
    FCancelButton = nullptr;
}

bool TOkCancelDialog::Execute()
{
    TButton* Button = nullptr;
    return Run(Button) && Button && Button == FOkButton;
}
