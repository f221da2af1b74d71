#include "plugin/uFunctionListUI.h"

#include "bridge/uFarEditor.h"
#include "plugin/uHelpTopics.h"
#include "plugin/uMessages.h"
#include "base/uStrings.h"

#include <algorithm>
#include <numeric>

namespace {

// One column of a row, as "%*.*s" (Right) or "%-*.*s" would make it: cut to
// Width and padded to it. A negative width neither cuts nor pads.
void AppendColumn(std::wstring& Row, std::wstring_view Text, int Width, bool Right)
{
    if (Width < 0) {
        Row.append(Text);
        return;
    }
    const size_t Size = static_cast<size_t>(Width);
    if (Text.size() > Size)
        Text = Text.substr(0, Size);
    if (Right)
        Row.append(Size - Text.size(), L' ');
    Row.append(Text);
    if (!Right)
        Row.append(Size - Text.size(), L' ');
}

} // namespace

void TFunctionListDialog::AfterConstruction()
{
    TSearchDialog::AfterConstruction();
    SetSearchLabel(GetMsg(MSearchLabel));
    SetHelpTopic(HelpFunctionList);
    UpdateTitle();
}

void TFunctionListDialog::SetTags(TCtags* Value)
{
    FTags = Value;
    FUpperNames.clear();
    FKinds.clear();
    FKind = -1;
    const int Count = FTags ? FTags->Count() : 0;
    for (int I = 0; I < Count; ++I)
        FKinds.push_back(FTags->GetItem(I)->Kind);
    std::sort(FKinds.begin(), FKinds.end());
    FKinds.erase(std::unique(FKinds.begin(), FKinds.end()), FKinds.end());
    MakeOrder();
    UpdateTitle();
}

void TFunctionListDialog::MakeOrder()
{
    const int Count = FTags ? FTags->Count() : 0;
    FOrder.resize(static_cast<size_t>(Count));
    std::iota(FOrder.begin(), FOrder.end(), 0);
    // The tags come by name; by line, tags of one line keep that order.
    if (FFileOrder)
        std::stable_sort(FOrder.begin(), FOrder.end(),
                         [&](int A, int B) { return FTags->GetItem(A)->Line < FTags->GetItem(B)->Line; });
}

int TFunctionListDialog::TagOfRow(intptr_t Row) const noexcept
{
    return Row >= 0 && static_cast<size_t>(Row) < FOrder.size() ? FOrder[static_cast<size_t>(Row)] : -1;
}

intptr_t TFunctionListDialog::RowOfTag(int Tag) const noexcept
{
    // Asked once per list and per change of order: a search serves.
    const auto Found = std::find(FOrder.begin(), FOrder.end(), Tag);
    return Found == FOrder.end() ? -1 : static_cast<intptr_t>(Found - FOrder.begin());
}

void TFunctionListDialog::SetFileOrder(bool Value)
{
    if (Value == FFileOrder)
        return;
    FFileOrder = Value;
    Refilter(true);
}

std::wstring TFunctionListDialog::GetKindFilter() const
{
    return FKind >= 0 ? FKinds[static_cast<size_t>(FKind)] : std::wstring();
}

void TFunctionListDialog::StepKind(int Delta)
{
    // All kinds, then each kind present, round and round.
    const int Choices = static_cast<int>(FKinds.size()) + 1;
    FKind = ((FKind + 1 + Delta) % Choices + Choices) % Choices - 1;
    Refilter(false);
}

void TFunctionListDialog::Refilter(bool Rebuild)
{
    const int Current = IsActive() && GetList() ? TagOfRow(GetList()->GetItemIndex()) : -1;
    if (Rebuild)
        MakeOrder();
    UpdateTitle();
    // Before the run the rows are built as the dialog is laid out.
    if (!IsActive() || !GetList())
        return;
    if (Rebuild)
        BuildRows();
    ApplyFilter(GetSearchEdit() ? GetSearchEdit()->GetText() : std::wstring());
    const intptr_t Row = RowOfTag(Current);
    if (Row >= 0 && GetList()->GetItems().GetItem(Row)->GetVisible())
        GetList()->SetItemIndex(Row);
}

void TFunctionListDialog::UpdateTitle()
{
    if (!GetList())
        return;
    GetList()->SetText(GetMsg(MListTitle) + L": " + GetMsg(FFileOrder ? MInFileOrder : MByName) + L", " +
                       (FKind >= 0 ? FKinds[static_cast<size_t>(FKind)] : GetMsg(MAllKinds)));
}

void TFunctionListDialog::SearchEditKeyDown(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled)
{
    const DWORD State = ControlKeyState & KeyModifiers;
    if (!Handled && VirtualKey == VK_F2 && State == 0) {
        ApplyPendingFilter();
        SetFileOrder(!FFileOrder);
        Handled = true;
    } else if (!Handled && VirtualKey == VK_F3 && (State == 0 || State == SHIFT_PRESSED)) {
        ApplyPendingFilter();
        StepKind(State == 0 ? 1 : -1);
        Handled = true;
    }
    TSearchDialog::SearchEditKeyDown(Sender, VirtualKey, ControlKeyState, Handled);
}

TFarDialog::TEdit* TFunctionListDialog::GetContextEdit(int Index) const
{
    if (Index < 0 || Index >= ContextEditCount())
        throw EListError(L"List index out of bounds");
    return FContextEdits[static_cast<size_t>(Index)];
}

void TFunctionListDialog::ClearControls()
{
    TSearchDialog::ClearControls();
    std::fill(FContextEdits.begin(), FContextEdits.end(), nullptr);
}

void TFunctionListDialog::BuildControls()
{
    TSearchDialog::BuildControls();
    CreateContextEdits();
    // The order and kind keys work wherever the focus is; the list keeps
    // its own movement keys.
    GetList()->OnKeyDown = [this](TControl& Sender, WORD Key, DWORD State, bool& Handled) {
        if (Key == VK_F2 || Key == VK_F3)
            SearchEditKeyDown(Sender, Key, State, Handled);
    };
}

void TFunctionListDialog::CreateContextEdits()
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

void TFunctionListDialog::AdjustSize(int& Width, int& Height)
{
    const int Console = Height;
    TSearchDialog::AdjustSize(Width, Height);
    // On a low console the dialog takes more of it, up to all of it, before
    // the list may fall under its least rows.
    if (Height < RoomyHeight)
        Height = std::min(Console, RoomyHeight);
}

void TFunctionListDialog::SetSize(int Width, int Height)
{
    // The frame's margins give way first, then the context lines: the list
    // keeps its least rows, and nothing lies outside the frame.
    SetFrameMargin(Height >= RoomyHeight ? 1 : 0);
    TSearchDialog::SetSize(Width, Height);
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

void TFunctionListDialog::BuildRows()
{
    TListbox* List = GetList();
    if (!List)
        return;
    if (FOrder.size() != static_cast<size_t>(FTags ? FTags->Count() : 0))
        MakeOrder();
    // What the host's list shows of a row: its width less the two borders,
    // the two columns in front of the text and the column that marks a cut
    // row. A row one wider loses its last character behind that mark.
    const int RowWidth = List->GetWidth() - 5;
    std::int32_t MaxLine = 100;
    size_t NameLength = 0;
    size_t ScopeLength = 0;
    size_t KindLength = 8;
    const int Count = FTags ? FTags->Count() : 0;
    for (int I = 0; I < Count; ++I) {
        const TCtagsItem* Tag = FTags->GetItem(I);
        MaxLine = std::max(MaxLine, Tag->Line);
        NameLength = std::max(NameLength, Tag->Name.size());
        ScopeLength = std::max(ScopeLength, Tag->Scope.size());
        KindLength = std::max(KindLength, Tag->Kind.size());
    }
    const int LineWidth = static_cast<int>(std::to_wstring(MaxLine).size());
    int KindWidth = static_cast<int>(KindLength);
    const bool Scoped = ScopeLength > 0;
    const int Separators = Scoped ? 3 : 2;
    if (LineWidth + static_cast<int>(NameLength + ScopeLength) + KindWidth + Separators > RowWidth && KindWidth > 10)
        KindWidth = 10;
    // Name and scope share what is left; the name comes first, but the
    // scope keeps a third of it at least, or same-named members would
    // look alike again. On a wide list the scope stays next to the name
    // and the room left over goes after the kind.
    const int Shared = std::max(0, RowWidth - LineWidth - KindWidth - Separators);
    int ScopeWidth = 0;
    int NameWidth = Shared;
    if (Scoped) {
        ScopeWidth = std::min(static_cast<int>(ScopeLength),
                              std::max(Shared / 3, Shared - static_cast<int>(NameLength)));
        NameWidth = std::min(static_cast<int>(NameLength), Shared - ScopeWidth);
        KindWidth += Shared - ScopeWidth - NameWidth;
    }

    TListboxItems& Items = List->GetItems();
    TListUpdate Update(Items);
    Items.Clear();
    Items.Reserve(Count);
    // Each row is "%*.*s|%-*.*s|%-*.*s" of line, name and kind (the scope
    // after the name), made directly: a long list is built while the user
    // waits for it.
    std::wstring Row;
    for (const int Index : FOrder) {
        const TCtagsItem* Tag = FTags->GetItem(Index);
        Row.clear();
        AppendColumn(Row, std::to_wstring(Tag->Line), LineWidth, true);
        Row += L'|';
        AppendColumn(Row, Tag->Name, NameWidth, false);
        Row += L'|';
        if (Scoped) {
            AppendColumn(Row, Tag->Scope, ScopeWidth, false);
            Row += L'|';
        }
        AppendColumn(Row, Tag->Kind, KindWidth, false);
        Items.AddItem(Row);
    }
    Update.Finish();
}

const std::wstring& TFunctionListDialog::UpperName(int Tag)
{
    // Tags do not change while the dialog exists: each name is upper-cased
    // once, not once per keystroke.
    if (FUpperNames.size() != static_cast<size_t>(FTags->Count()))
        PrepareNames();
    return FUpperNames.at(static_cast<size_t>(Tag));
}

void TFunctionListDialog::PrepareFilter()
{
    // The names are upper-cased when a filter first needs them: most lists
    // open without one, and the user waits for the list to show.
}

void TFunctionListDialog::PrepareNames()
{
    const int Count = FTags ? FTags->Count() : 0;
    FUpperNames.clear();
    FUpperNames.reserve(static_cast<size_t>(Count));
    for (int I = 0; I < Count; ++I)
        FUpperNames.push_back(UpperCaseText(FTags->GetItem(I)->Name));
}

bool TFunctionListDialog::ItemMatches(intptr_t Index, const std::wstring& Filter)
{
    const int Tag = TagOfRow(Index);
    if (!FTags || Tag < 0 || Tag >= FTags->Count())
        return false;
    if (FKind >= 0 && FTags->GetItem(Tag)->Kind != FKinds[static_cast<size_t>(FKind)])
        return false;
    if (Filter.empty())
        return true;
    return ContainsUpperText(UpperName(Tag), UpperFilter(Filter));
}

bool TFunctionListDialog::HasMatch(const std::wstring& Filter)
{
    for (size_t Row = 0; Row < FOrder.size(); ++Row)
        if (ItemMatches(static_cast<intptr_t>(Row), Filter))
            return true;
    return false;
}

void TFunctionListDialog::ItemSelected(intptr_t Index)
{
    if (FContextEdits.empty() || !FContextEdits.front())
        return;
    // Without a current row, or past the end of the file, the lines are
    // empty: never the text of a row shown before.
    std::vector<std::wstring> Pieces;
    far3::EditorInfo Info{};
    const int Tag = TagOfRow(Index);
    if (Tag >= 0 && FTags && Tag < FTags->Count() && TFarEditor::GetInfo(FEditorId, Info)) {
        intptr_t LineIndex = FTags->GetItem(Tag)->Line - 1;
        // A piece of at least one character, or a very narrow dialog would
        // never get through a long line.
        const size_t PieceWidth = static_cast<size_t>(std::max(1, FContextEdits.front()->GetWidth() - 1));
        std::wstring Pending;
        while (Pieces.size() < FContextEdits.size()) {
            if (!Pending.empty()) {
                const size_t Length = std::min(PieceWidth, Pending.size());
                Pieces.push_back(Pending.substr(0, Length));
                Pending.erase(0, Length);
                continue;
            }
            // Lines past the end of the text are not asked for.
            if (LineIndex < 0 || LineIndex >= Info.TotalLines || !TFarEditor::GetString(FEditorId, LineIndex, Pending))
                break;
            ++LineIndex;
        }
    }
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
