// The function list: one row per tag in aligned columns (line, name, the
// scope where any tag has one, kind), filtered by tag name and, if chosen,
// by kind as the user types, by name or in file order, with the source at
// the current row shown in three read-only lines under the list. Rows and
// tags are told apart: the list's rows follow the order shown, the tags
// keep theirs.
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
    // The tag a row shows, or -1 for no row; the row of a tag.
    int TagOfRow(intptr_t Row) const noexcept;
    intptr_t RowOfTag(int Tag) const noexcept;

    // File order (by line) rather than name order; switching it keeps the
    // current tag current and the filter as it is.
    bool GetFileOrder() const noexcept { return FFileOrder; }
    void SetFileOrder(bool Value);
    // The kind the rows are limited to; empty for all kinds.
    std::wstring GetKindFilter() const;
    // Steps through all kinds and each kind present, Delta at a time.
    void StepKind(int Delta);
    // The kinds present, in order.
    const std::vector<std::wstring>& GetKinds() const noexcept { return FKinds; }
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
    void SearchEditKeyDown(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled) override;
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
    const std::wstring& UpperName(int Tag);
    void PrepareNames();
    void MakeOrder();
    void UpdateTitle();
    // Shows the rows again as the order and the kind now say, keeping the
    // current tag where it is still shown.
    void Refilter(bool Rebuild);

    TCtags* FTags = nullptr;
    bool FFileOrder = false;
    std::vector<int> FOrder; // the tag of each row
    std::vector<std::wstring> FKinds;
    int FKind = -1; // into FKinds; -1 for all kinds
    intptr_t FEditorId = -1;
    std::vector<TEdit*> FContextEdits;
    std::vector<std::wstring> FUpperNames;
};
