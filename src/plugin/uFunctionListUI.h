// The function list: one row per tag in three aligned columns (line, name,
// kind), filtered by tag name as the user types, with the source at the
// current row shown in three read-only lines under the list.
#pragma once

#include "tags/uCtags.h"
#include "dialogs/uSearchDialog.h"

#include <cstdint>
#include <string>
#include <vector>

// {6C2D4B8E-93A1-4F0B-9E27-5D8A1C3F7B64}
inline constexpr GUID FunctionListDialogGuid = {
    0x6c2d4b8e, 0x93a1, 0x4f0b, {0x9e, 0x27, 0x5d, 0x8a, 0x1c, 0x3f, 0x7b, 0x64}};

class TFunctionListDialog : public TSearchDialog {
public:
    static constexpr int ContextLines = 3;
    // The list's least height: three rows and its two borders.
    static constexpr int MinListHeight = 5;
    // Rows for the frame with its margins, the search, the least list, the
    // separator and the buttons; below it the margins go.
    static constexpr int RoomyHeight = 13;

    TCtags* GetTags() const noexcept { return FTags; }
    // The tags must stay as they are while the dialog exists.
    void SetTags(TCtags* Value);
    intptr_t GetEditorId() const noexcept { return FEditorId; }
    void SetEditorId(intptr_t Value) noexcept { FEditorId = Value; }
    TEdit* GetContextEdit(int Index) const;
    int ContextEditCount() const noexcept { return static_cast<int>(FContextEdits.size()); }

    // Whether any tag's name matches Filter.
    bool HasMatch(const std::wstring& Filter);

    void ClearControls() override;
    void SetSize(int Width, int Height) override;
    void AdjustSize(int& Width, int& Height) override;
    void BuildControls() override;
    bool ItemMatches(intptr_t Index, const std::wstring& Filter) override;
    void ItemSelected(intptr_t Index) override;
    void PrepareFilter() override;

    void CreateContextEdits();
    void BuildRows();

protected:
    friend class TFarDialog;
    TFunctionListDialog() : TSearchDialog(FunctionListDialogGuid) {}
    void AfterConstruction() override;

private:
    const std::wstring& UpperName(intptr_t Index);
    void PrepareNames();

    TCtags* FTags = nullptr;
    intptr_t FEditorId = -1;
    std::vector<TEdit*> FContextEdits;
    std::vector<std::wstring> FUpperNames;
};
