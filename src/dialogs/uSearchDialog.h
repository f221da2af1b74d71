// A list picker: a label, a search field and a list box. Typing in the
// search field hides the rows that do not contain the typed text; arrow and
// page keys in the field move the list's selection.
#pragma once

#include "dialogs/uButtonsDialog.h"
#include "dialogs/uFarListbox.h"

#include <cstdint>
#include <string>
#include <string_view>

// Whether Sub occurs in Text, both upper-cased as the system's locale does
// it. No wildcards, no anchoring, no trimming.
bool ContainsText(std::wstring_view Text, std::wstring_view Sub);
// The same test with both sides already upper-cased.
bool ContainsUpperText(std::wstring_view UpperText, std::wstring_view UpperSub) noexcept;

class TSearchDialog : public TOkCancelDialog {
public:
    // The shift keys a key's state may hold; the list's keys are the plain ones.
    static constexpr DWORD KeyModifiers = RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED | RIGHT_CTRL_PRESSED |
                                          LEFT_CTRL_PRESSED | SHIFT_PRESSED;

    TLabel* GetSearchLabel() const noexcept { return FSearchLabel; }
    TEdit* GetSearchEdit() const noexcept { return FSearchEdit; }
    TListbox* GetList() const noexcept { return FList; }
    std::int32_t GetItemIndex() const noexcept { return FItemIndex; }
    void SetItemIndex(std::int32_t Value) noexcept { FItemIndex = Value; }
    const std::wstring& GetSearchText() const noexcept { return FSearchText; }

    bool DoInitDialog(intptr_t Param1, void* Param2, intptr_t& Result) override;
    // OK acts on the rows of the filter as typed, and needs a row to act on.
    bool DoClose(intptr_t Param1, void* Param2, intptr_t& Result) override;
    void ClearControls() override;
    void SetSize(int Width, int Height) override;
    void CreateContent() override;

    void SetSearchLabel(const std::wstring& Text);
    // 0 filters on every change; a positive delay once typing has paused.
    void SetSearchDelay(std::uint32_t Milliseconds);
    void SetSearchText(const std::wstring& Text);
    void GrowList(int Rows);
    // True when OK closed the dialog; ItemIndex then holds the current row.
    bool Execute();

    virtual void SearchEditKeyDown(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled);
    virtual void ApplyFilter(const std::wstring& Filter);
    // Applies a filter still waiting for the pause in typing now: a key that
    // acts on the list must act on the rows the user typed for.
    void ApplyPendingFilter();
    virtual bool ItemMatches(intptr_t Index, const std::wstring& Filter);
    virtual void ItemSelected(intptr_t Index);
    // Readies what ItemMatches compares, once, as the dialog starts, so that
    // no keystroke pays for it.
    virtual void PrepareFilter();

protected:
    explicit TSearchDialog(const GUID& Id) : TOkCancelDialog(Id) {}

    // Filter upper-cased once for all the rows it is compared with.
    const std::wstring& UpperFilter(const std::wstring& Filter);

private:
    void SearchEditChange(TCustomEdit& Sender, bool& Result);
    void ListSelect(TListbox& Sender, intptr_t NewIndex, bool& Allow);

    TLabel* FSearchLabel = nullptr;
    TEdit* FSearchEdit = nullptr;
    TListbox* FList = nullptr;
    std::int32_t FItemIndex = -1;
    std::wstring FSearchText;
    std::wstring FFilterKey;
    std::wstring FUpperFilter;
};
