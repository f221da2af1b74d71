#include "dialogs/uSearchDialog.h"

#include "base/uStrings.h"

bool ContainsText(std::wstring_view Text, std::wstring_view Sub)
{
    return ContainsUpperText(UpperCaseText(Text), UpperCaseText(Sub));
}

bool ContainsUpperText(std::wstring_view UpperText, std::wstring_view UpperSub) noexcept
{
    return UpperText.find(UpperSub) != std::wstring_view::npos;
}

void TSearchDialog::CreateContent()
{
    TOkCancelDialog::CreateContent();
    FSearchLabel = AddLabel(0, 0, 0, L"Search text:", laLeft);
    FSearchEdit = AddEdit(0, 0, 0, std::wstring());
    FSearchEdit->OnChange = [this](TCustomEdit& Sender, bool& Result) { SearchEditChange(Sender, Result); };
    FSearchEdit->OnKeyDown = [this](TControl& Sender, WORD Key, DWORD State, bool& Handled) {
        SearchEditKeyDown(Sender, Key, State, Handled);
    };
    FList = AddListbox(0, 0, 0, 0, L"Values");
    FList->OnSelect = [this](TListbox& Sender, intptr_t NewIndex, bool& Allow) { ListSelect(Sender, NewIndex, Allow); };
}

void TSearchDialog::ClearControls()
{
    TOkCancelDialog::ClearControls();
    FSearchLabel = nullptr;
    FSearchEdit = nullptr;
    FList = nullptr;
}

void TSearchDialog::SetSize(int Width, int Height)
{
    TOkCancelDialog::SetSize(Width, Height);
    if (FSearchLabel)
        PlaceControl(FSearchLabel);
    if (FSearchEdit)
        PlaceControl(FSearchEdit);
    if (FList)
        PlaceControl(FList);
}

bool TSearchDialog::DoInitDialog(intptr_t Param1, void* Param2, intptr_t& Result)
{
    TOkCancelDialog::DoInitDialog(Param1, Param2, Result);
    PrepareFilter();
    FList->SetItemIndex(FItemIndex);
    ApplyFilter(FSearchText);
    ItemSelected(FList->GetItemIndex());
    Result = 0;
    return true;
}

bool TSearchDialog::DoClose(intptr_t Param1, void*, intptr_t& Result)
{
    const TButton* Ok = GetOkButton();
    if (!Ok || Param1 != Ok->GetIndex())
        return false;
    ApplyPendingFilter();
    // With every row filtered away there is nothing to choose: the dialog
    // stays, with its filter, for the user to mend it.
    Result = FList->GetItemIndex() >= 0 ? TRUE : FALSE;
    return true;
}

void TSearchDialog::ApplyPendingFilter()
{
    if (FSearchEdit)
        FSearchEdit->ApplyPendingChange();
}

void TSearchDialog::SetSearchLabel(const std::wstring& Text)
{
    FSearchLabel->SetText(Text);
}

void TSearchDialog::SetSearchDelay(std::uint32_t Milliseconds)
{
    FSearchEdit->SetChangeDelay(Milliseconds);
}

void TSearchDialog::SetSearchText(const std::wstring& Text)
{
    FSearchText = Text;
    FSearchEdit->SetText(Text);
}

void TSearchDialog::GrowList(int Rows)
{
    FList->SetHeight(FList->GetHeight() + Rows);
    SkipRows(Rows);
}

bool TSearchDialog::Execute()
{
    if (!TOkCancelDialog::Execute())
        return false;
    // The host dialog outlives the run, so the host still knows the row.
    FItemIndex = static_cast<std::int32_t>(FList->GetItemIndex());
    return true;
}

void TSearchDialog::SearchEditKeyDown(TControl&, WORD VirtualKey, DWORD ControlKeyState, bool& Handled)
{
    const DWORD State = ControlKeyState & KeyModifiers;
    if (Handled)
        return;
    const intptr_t Page = FList->GetHeight() - 3;
    // Ctrl with Home, End, PgUp or PgDn: the first or the last row, the only
    // way there but thousands of pages on a long list. Home and End alone
    // stay the field's.
    const intptr_t All = FList->GetItems().Count() + 1;
    intptr_t Delta;
    if (State == 0) {
        switch (VirtualKey) {
        case VK_UP: Delta = -1; break;
        case VK_DOWN: Delta = 1; break;
        case VK_PRIOR: Delta = -Page; break;
        case VK_NEXT: Delta = Page; break;
        default: return;
        }
    } else if ((State & ~(LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) == 0) {
        switch (VirtualKey) {
        case VK_HOME:
        case VK_PRIOR: Delta = -All; break;
        case VK_END:
        case VK_NEXT: Delta = All; break;
        default: return;
        }
    } else {
        return;
    }
    ApplyPendingFilter();
    FList->MoveSelection(Delta, true);
    Handled = true;
}

void TSearchDialog::ApplyFilter(const std::wstring& Filter)
{
    TListboxItems& Items = FList->GetItems();
    TListUpdate Update(Items);
    const intptr_t Count = Items.Count();
    for (intptr_t Index = 0; Index < Count; ++Index)
        Items.GetItem(Index)->SetVisible(ItemMatches(Index, Filter));
    Update.Finish();
    // No row left: the host announces no change, but whatever showed the
    // old row must not go on showing it.
    if (IsActive() && FList->GetItemIndex() < 0)
        ItemSelected(-1);
}

bool TSearchDialog::ItemMatches(intptr_t Index, const std::wstring& Filter)
{
    if (Filter.empty())
        return true;
    return ContainsUpperText(FList->GetItems().GetItem(Index)->GetUpperText(), UpperFilter(Filter));
}

void TSearchDialog::ItemSelected(intptr_t) {}

void TSearchDialog::PrepareFilter()
{
    FList->GetItems().PrepareUpperTexts();
}

const std::wstring& TSearchDialog::UpperFilter(const std::wstring& Filter)
{
    if (Filter != FFilterKey) {
        FFilterKey = Filter;
        FUpperFilter = UpperCaseText(Filter);
    }
    return FUpperFilter;
}

void TSearchDialog::SearchEditChange(TCustomEdit& Sender, bool&)
{
    ApplyFilter(Sender.GetText());
}

void TSearchDialog::ListSelect(TListbox&, intptr_t NewIndex, bool&)
{
    ItemSelected(NewIndex);
}
