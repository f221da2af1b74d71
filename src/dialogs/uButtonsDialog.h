// The standard shape of the plugin's dialogs: a double frame titled with the
// plugin's name, content placed row by row from the top of the frame, a
// separator near the bottom and a row of buttons under it.
#pragma once

#include "dialogs/uFarControls.h"

#include <cstdint>

class TButtonsDialog : public TFarDialog {
public:
    struct TRect {
        int Left = 0, Top = 0, Width = 0, Height = 0;
    };

    TDoubleBox* GetFrame() const noexcept { return FFrame; }
    TSeparator* GetSeparator() const noexcept { return FSeparator; }
    std::int32_t GetRowOffset() const noexcept { return FRowOffset; }

    void ClearControls() override;
    void GetClientRect(int& Left, int& Top, int& Width, int& Height) override;
    void SetSize(int Width, int Height) override;
    // Negative widths share the free width of the remaining area equally.
    void Columnize(const TColumnWidths& Widths, const TControlList& Controls, int Left, int Top) override;
    using TFarDialog::Columnize;

    virtual void BuildControls();
    virtual void CreateContent();
    virtual void CreateButtons();
    virtual void ResetRows();
    virtual void Columnize(const TColumnWidths& Widths, const TControlList& Controls);

    // The band from the current row down to the row above the separator.
    TRect GetRemainingRect();
    void PlaceControl(TControl* Control, int LeftIndent = 0, int RightIndent = 0, int Spacing = 0, bool Always = false);
    // Mode 0: right of the anchor's text; 1: Gap columns into the anchor;
    // anything else: at the anchor's column.
    void PlaceBeside(TControl* Control, TControl* Anchor, int Mode = 0, int Gap = 1, int RightIndent = 0,
                     int MaxWidth = 0);
    void SkipRows(int Count);

protected:
    explicit TButtonsDialog(const GUID& Id) : TFarDialog(Id) {}
    void AfterConstruction() override;
    // Rows between the dialog's edge and its frame, above and below: 1, or
    // 0 where a low console needs every row for the content.
    void SetFrameMargin(int Rows) noexcept { FFrameMargin = Rows; }

private:
    int FFrameMargin = 1;
    TDoubleBox* FFrame = nullptr;
    TSeparator* FSeparator = nullptr;
    std::int32_t FRowOffset = 0;
};

class TOkCancelDialog : public TButtonsDialog {
public:
    TButton* GetOkButton() const noexcept { return FOkButton; }
    TButton* GetCancelButton() const noexcept { return FCancelButton; }

    void CreateButtons() override;
    void SetSize(int Width, int Height) override;
    void ClearControls() override;
    // True only when OK closed the dialog.
    bool Execute();

protected:
    explicit TOkCancelDialog(const GUID& Id) : TButtonsDialog(Id) {}

private:
    TButton* FOkButton = nullptr;
    TButton* FCancelButton = nullptr;
};
