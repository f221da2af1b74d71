#include "plugin/uContextListUI.h"

#include "plugin/uEditorTasks.h"

#include <algorithm>
#include <utility>

std::wstring ExpandTabs(std::wstring_view Text, intptr_t TabSize)
{
    if (Text.find(L'\t') == std::wstring_view::npos || TabSize <= 0)
        return std::wstring(Text);
    std::wstring Result;
    Result.reserve(Text.size() + 16);
    for (const wchar_t C : Text) {
        if (C == L'\t')
            Result.append(static_cast<size_t>(TabSize - static_cast<intptr_t>(Result.size()) % TabSize), L' ');
        else
            Result += C;
    }
    return Result;
}

TFarDialog::TEdit* TContextListDialog::GetContextEdit(int Index) const
{
    if (Index < 0 || Index >= ContextEditCount())
        throw EListError(L"List index out of bounds");
    return FContextEdits[static_cast<size_t>(Index)];
}

void TContextListDialog::ClearControls()
{
    TSearchDialog::ClearControls();
    std::fill(FContextEdits.begin(), FContextEdits.end(), nullptr);
}

void TContextListDialog::BuildControls()
{
    TSearchDialog::BuildControls();
    CreateContextEdits();
}

void TContextListDialog::CreateContextEdits()
{
    for (TEdit*& Edit : FContextEdits) {
        if (Edit)
            Edit->Free();
        Edit = nullptr;
    }
    FContextEdits.assign(ContextLines, nullptr);
    TControl* Previous = GetList();
    for (TEdit*& Edit : FContextEdits) {
        Edit = AddEdit(0, 0, 0, std::wstring());
        Edit->SetReadOnly(true);
        // Consecutive editor-flagged edits are one multi-line block to the host.
        Edit->SetEditor(true);
        Edit->PlaceAfter(*Previous);
        Previous = Edit;
    }
}

void TContextListDialog::AdjustSize(int& Width, int& Height)
{
    const int Console = Height;
    TSearchDialog::AdjustSize(Width, Height);
    // On a low console the dialog takes more of it, up to all of it, before
    // the list may fall under its least rows.
    if (Height < RoomyHeight)
        Height = std::min(Console, RoomyHeight);
}

void TContextListDialog::SetSize(int Width, int Height)
{
    // The frame's margins give way first, then the context lines: the list
    // keeps its least rows, and nothing lies outside the frame.
    SetFrameMargin(Height >= RoomyHeight ? 1 : 0);
    TSearchDialog::SetSize(Width, Height);
    Placed();
    BuildRows();
    // Rebuilt rows all show; while the dialog runs the typed filter still
    // stands in the search field, so it is applied to them again.
    if (IsActive() && GetSearchEdit())
        ApplyFilter(GetSearchEdit()->GetText());
    const int Spare = GetList()->GetHeight() - MinListHeight;
    const int Shown = std::clamp(Spare, 0, ContextEditCount());
    GrowList(-Shown);
    for (int I = 0; I < ContextEditCount(); ++I) {
        TEdit* Edit = FContextEdits[static_cast<size_t>(I)];
        if (!Edit)
            continue;
        Edit->SetVisible(I < Shown);
        if (I < Shown)
            PlaceControl(Edit);
    }
}

void TContextListDialog::ShowContext(const TLineReader& LineAt, intptr_t LineIndex, std::wstring_view Name,
                                     intptr_t TabSize)
{
    if (FContextEdits.empty() || !FContextEdits.front())
        return;
    std::vector<std::wstring> Pieces;
    // A piece of at least one character, or a very narrow dialog would never
    // get through a long line. A line wider than its field shows its end in
    // Far, so none is.
    const size_t PieceWidth = static_cast<size_t>(std::max(1, FContextEdits.front()->GetWidth() - 1));
    const size_t Room = PieceWidth * FContextEdits.size();
    std::wstring Pending;
    bool First = true;
    while (Pieces.size() < FContextEdits.size()) {
        if (!Pending.empty()) {
            const size_t Length = std::min(PieceWidth, Pending.size());
            Pieces.push_back(Pending.substr(0, Length));
            Pending.erase(0, Length);
            continue;
        }
        // Lines past the end of the text are not asked for.
        std::wstring Raw;
        if (LineIndex < 0 || !LineAt(LineIndex, Raw))
            break;
        ++LineIndex;
        // Tabs as Far's edits show them, expanded before the line is cut.
        Pending = ExpandTabs(Raw, TabSize);
        // A tag far into a long line (a minified script, a generated
        // table): the part around its name, marked as cut.
        if (std::exchange(First, false)) {
            const size_t At = static_cast<size_t>(
                std::max<intptr_t>(0, NameColumn(Pending, ExpandTabs(Name, TabSize))));
            if (At + Name.size() > Room) {
                Pending.erase(0, At - std::min(At, PieceWidth / 4));
                Pending.front() = L'\u2026';
            }
        }
        if (Pending.empty())
            Pieces.emplace_back();
    }
    ShowPieces(std::move(Pieces));
}

void TContextListDialog::ClearContext()
{
    ShowPieces({});
}

void TContextListDialog::ShowPieces(std::vector<std::wstring> Pieces)
{
    if (FContextEdits.empty() || !FContextEdits.front())
        return;
    Pieces.resize(FContextEdits.size());
    TRedrawLock Redraw(*this);
    for (size_t I = 0; I < FContextEdits.size(); ++I) {
        TEdit* Edit = FContextEdits[I];
        if (!Edit)
            continue;
        Edit->SetText(Pieces[I]);
        Edit->SetUnchanged(false);
    }
    Redraw.Finish();
}
