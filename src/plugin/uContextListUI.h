// A list picker with the source around the current row under the list: a
// search field, the list, and three read-only lines of the text from the
// row's line on. The function list, the definitions of a name and the
// project's tags are made on it.
#pragma once

#include "dialogs/uSearchDialog.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Text with its tabs as Far's edits show them, at TabSize.
std::wstring ExpandTabs(std::wstring_view Text, intptr_t TabSize);

// Reads line Index (from 0) of a text; false past its end or when it cannot.
using TLineReader = std::function<bool(intptr_t Index, std::wstring& Text)>;

class TContextListDialog : public TSearchDialog {
public:
    static constexpr int ContextLines = 3;
    // The list's least height: three rows and its two borders.
    static constexpr int MinListHeight = 5;
    // Rows for the frame with its margins, the search, the least list, one
    // context line, the separator and the buttons; below it the margins
    // go before the last context line does.
    static constexpr int RoomyHeight = 14;

    TEdit* GetContextEdit(int Index) const;
    int ContextEditCount() const noexcept { return static_cast<int>(FContextEdits.size()); }

    void ClearControls() override;
    void SetSize(int Width, int Height) override;
    void AdjustSize(int& Width, int& Height) override;
    void BuildControls() override;
    void CreateContextEdits();

    // The rows, made for the list's width; called whenever that changes.
    virtual void BuildRows() = 0;
    // After the controls are placed and before the rows are made.
    virtual void Placed() {}

protected:
    explicit TContextListDialog(const GUID& Id) : TSearchDialog(Id) {}

    // Shows the text from line LineIndex on, Name found in its first line
    // (a long line shows the part around it), tabs at TabSize; empty lines
    // where there is nothing to show (no row, past the end).
    void ShowContext(const TLineReader& LineAt, intptr_t LineIndex, std::wstring_view Name, intptr_t TabSize);
    void ClearContext();

private:
    void ShowPieces(std::vector<std::wstring> Pieces);

    std::vector<TEdit*> FContextEdits;
};
