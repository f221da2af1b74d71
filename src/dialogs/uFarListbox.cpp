#include "dialogs/uFarListbox.h"

#include "base/Handle.h"
#include "base/uStrings.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t BlockSize = 64;

size_t RoundUpToBlock(size_t Count)
{
    return (Count + BlockSize - 1) / BlockSize * BlockSize;
}

} // namespace

// --- TListItem --------------------------------------------------------------------------

TListItem::TListItem(TListItems& Owner) : FOwner(&Owner), FIndex(Owner.Attach(this))
{
    ListItem() = far3::FarListItem{};
}

TListItem::~TListItem()
{
    // An entry its list frees has left it already. One still in it failed
    // in its own construction (the failed new gives its memory back), or
    // was freed by hand: the list only lets go of it.
    if (FOwner && FIndex >= 0)
        FOwner->Detach(this);
}

far3::FarListItem& TListItem::ListItem() const
{
    if (!FOwner || FIndex < 0 || FIndex >= FOwner->Count())
        throw EListError(L"Index out of bounds");
    return FOwner->GetHostList()->Items[FIndex];
}

std::wstring TListItem::GetText() const
{
    return TFarModule::FromPointer(ListItem().Text);
}

void TListItem::SetText(std::wstring_view Value)
{
    FText = TFarModule::NewString(Value);
    FUpperText.reset();
    ListItem().Text = FText.get();
    FOwner->ItemChanged(FIndex);
}

const std::wstring& TListItem::GetUpperText() const
{
    if (!FUpperText)
        FUpperText = std::make_unique<std::wstring>(UpperCaseText(GetText()));
    return *FUpperText;
}

far3::LISTITEMFLAGS TListItem::GetFlags() const
{
    return ListItem().Flags;
}

void TListItem::SetFlags(far3::LISTITEMFLAGS Value)
{
    // A filter sets every entry's flags; those that stay as they were are no
    // change to hand over.
    if (ListItem().Flags == Value)
        return;
    ListItem().Flags = Value;
    FOwner->ItemChanged(FIndex);
}

bool TListItem::HasFlag(far3::LISTITEMFLAGS Mask) const
{
    return (GetFlags() & Mask) != 0;
}

void TListItem::SetFlag(far3::LISTITEMFLAGS Mask, bool On)
{
    const far3::LISTITEMFLAGS Flags = GetFlags();
    SetFlags(On ? Flags | Mask : Flags & ~Mask);
}

bool TListItem::GetEnabled() const
{
    return !HasFlag(far3::LIF_DISABLE);
}

bool TListItem::GetVisible() const
{
    return !HasFlag(far3::LIF_HIDDEN);
}

void TListItem::SetVisible(bool Value)
{
    SetFlag(far3::LIF_HIDDEN, !Value);
}

// --- TListItems ---------------------------------------------------------------------------

TListItems::TListItems(void* Owner) : FOwner(Owner)
{
    FHostList.StructSize = sizeof(far3::FarList);
}

TListItems::~TListItems()
{
    // Nobody is told any more: the owner is going away with us.
    FreeEntries();
}

TListItem* TListItems::GetItem(intptr_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(L"Index out of bounds");
    return FEntries[static_cast<size_t>(Index)].get();
}

TListItem* TListItems::AddItem(std::wstring_view Text)
{
    // The entry puts itself into the list's keeping as it is made (Attach).
    auto* Item = new TListItem(*this);
    auto Undo = ScopeFinish([&] { Delete(Item->GetIndex()); });
    Item->SetText(Text);
    Undo.release();
    return Item;
}

void TListItems::PrepareUpperTexts()
{
    for (size_t I = 0; I < FHostList.ItemsNumber; ++I)
        FEntries[I]->GetUpperText();
}

void TListItems::Grow(size_t NewCapacity)
{
    const size_t Capacity = FEntries.size();
    auto Records = std::make_unique<far3::FarListItem[]>(NewCapacity); // zero-filled
    if (Capacity > 0)
        std::memcpy(static_cast<void*>(Records.get()), FRecords.get(), Capacity * sizeof(far3::FarListItem));
    FRecords = std::move(Records);
    FEntries.resize(NewCapacity);
    FHostList.Items = FRecords.get();
}

void TListItems::Reserve(intptr_t Count)
{
    if (Count > Capacity())
        Grow(RoundUpToBlock(static_cast<size_t>(Count)));
}

intptr_t TListItems::Attach(TListItem* Item)
{
    const size_t Index = FHostList.ItemsNumber;
    if (Index >= FEntries.size())
        Grow(FEntries.size() + BlockSize);
    FEntries[Index].reset(Item);
    ++FHostList.ItemsNumber;
    // Should the owner's notice fail, the entry's construction fails with
    // it and the new-expression frees its memory: the list must not keep it.
    auto Undo = ScopeExit([&] {
        static_cast<void>(FEntries[Index].release());
        FRecords[Index] = far3::FarListItem{};
        --FHostList.ItemsNumber;
    });
    Changed();
    Undo.release();
    return static_cast<intptr_t>(Index);
}

void TListItems::Detach(TListItem* Item)
{
    for (size_t I = FHostList.ItemsNumber; I-- > 0;) {
        if (FEntries[I].get() == Item) {
            static_cast<void>(TakeEntry(I).release());
            break;
        }
    }
    Changed();
}

void TListItems::Delete(intptr_t Index)
{
    GetItem(Index); // throws for an index out of bounds
    TakeEntry(static_cast<size_t>(Index)).reset();
    Changed();
}

std::unique_ptr<TListItem> TListItems::TakeEntry(size_t Index) noexcept
{
    const size_t Count = FHostList.ItemsNumber;
    std::unique_ptr<TListItem> Item = std::move(FEntries[Index]);
    // One move of the tail instead of one per entry: a list may be long.
    const size_t Tail = Count - Index - 1;
    if (Tail > 0) {
        std::memmove(static_cast<void*>(&FRecords[Index]), &FRecords[Index + 1], Tail * sizeof(far3::FarListItem));
        const auto Entry = [this](size_t At) { return FEntries.begin() + static_cast<std::ptrdiff_t>(At); };
        std::move(Entry(Index + 1), Entry(Count), Entry(Index));
        for (size_t J = Index; J < Count - 1; ++J)
            FEntries[J]->FIndex = static_cast<intptr_t>(J);
    }
    FRecords[Count - 1] = far3::FarListItem{};
    --FHostList.ItemsNumber;
    Item->FIndex = -1;
    return Item;
}

void TListItems::FreeEntries() noexcept
{
    // From the last, so that no entry moves while the others go.
    for (size_t I = FHostList.ItemsNumber; I-- > 0;)
        TakeEntry(I).reset();
    FEntries.clear();
    FRecords.reset();
    FHostList.StructSize = sizeof(far3::FarList);
    FHostList.ItemsNumber = 0;
    FHostList.Items = nullptr;
}

void TListItems::Clear()
{
    FreeEntries();
    Changed();
}

void TListItems::ItemChanged(intptr_t) {}
void TListItems::Changed() {}
void TListItems::BeginUpdate() {}
void TListItems::EndUpdate() {}

void TListboxItems::ItemChanged(intptr_t Index)
{
    FListbox.UpdateItem(Index);
}

void TListboxItems::Changed()
{
    FListbox.ItemsChanged();
}

void TListboxItems::BeginUpdate()
{
    FListbox.BeginUpdate();
}

void TListboxItems::EndUpdate()
{
    FListbox.EndUpdate();
}

// --- TListbox -------------------------------------------------------------------------------

TFarDialog::TListbox::TListbox(TFarDialog& Dialog, int Left, int Top, int Width, int Height, const std::wstring& Title)
    : TControl(Dialog, far3::DI_LISTBOX), FItems(std::make_unique<TListboxItems>(*this))
{
    SetBoundsLimited(Left, Top, Width, Height, MaxHeight);
    SetText(Title);
    // Entries show as they are, ampersands included. That is the host's
    // way without DIF_LISTNOAMPERSAND, which, as its name says, makes '&' a
    // hot-key marker (seen in build 6727: with it, "operator &&" showed as
    // "operator &").
    FShownList.StructSize = sizeof(far3::FarList);
    DialogItem().ListItems = &FShownList;
}

TFarDialog::TListbox::~TListbox()
{
    FItems.reset();
}

int TFarDialog::TListbox::GetMaxHeight()
{
    return MaxHeight;
}

void TFarDialog::TListbox::MakeShown() const
{
    if (!FShownStale)
        return;
    const far3::FarList& All = *FItems->GetHostList();
    FShownRecords.clear();
    FShownEntries.clear();
    // Mostly all of them: a list opens unfiltered.
    FShownRecords.reserve(All.ItemsNumber);
    FShownEntries.reserve(All.ItemsNumber);
    for (size_t I = 0; I < All.ItemsNumber; ++I) {
        const far3::FarListItem& Record = All.Items[I];
        if (Record.Flags & far3::LIF_HIDDEN)
            continue;
        FShownRecords.push_back(Record);
        FShownRecords.back().Flags &= ~far3::LIF_SELECTED;
        FShownEntries.push_back(static_cast<intptr_t>(I));
    }
    FShownList.ItemsNumber = FShownRecords.size();
    FShownList.Items = FShownRecords.empty() ? nullptr : FShownRecords.data();
    FShownStale = false;
}

far3::FarList* TFarDialog::TListbox::GetHostList() const
{
    MakeShown();
    return &FShownList;
}

intptr_t TFarDialog::TListbox::EntryAt(intptr_t Position) const
{
    MakeShown();
    if (Position < 0 || static_cast<size_t>(Position) >= FShownEntries.size())
        return -1;
    return FShownEntries[static_cast<size_t>(Position)];
}

intptr_t TFarDialog::TListbox::PositionOf(intptr_t Index) const
{
    MakeShown();
    const auto Found = std::lower_bound(FShownEntries.begin(), FShownEntries.end(), Index);
    return Found != FShownEntries.end() && *Found == Index ? Found - FShownEntries.begin() : -1;
}

intptr_t TFarDialog::TListbox::PositionFor(intptr_t Index) const
{
    MakeShown();
    if (FShownEntries.empty())
        return -1;
    const auto Found = std::lower_bound(FShownEntries.begin(), FShownEntries.end(), Index);
    return std::min<intptr_t>(Found - FShownEntries.begin(), static_cast<intptr_t>(FShownEntries.size()) - 1);
}

intptr_t TFarDialog::TListbox::HostPosition() const
{
    return GetDialog().SendMessage(far3::DM_LISTGETCURPOS, GetIndex(), nullptr);
}

void TFarDialog::TListbox::BeforeRun()
{
    DialogItem().ListItems = GetHostList();
}

void TFarDialog::TListbox::InitControl()
{
    // The host only knows the entries; the row chosen before the run would
    // otherwise be lost.
    if (GetDialog().IsActive() && FItemIndex >= 0)
        SetItemIndex(FItemIndex);
}

intptr_t TFarDialog::TListbox::GetItemIndex() const
{
    if (GetDialog().IsActive())
        return EntryAt(HostPosition());
    return FItemIndex;
}

void TFarDialog::TListbox::SetItemIndex(intptr_t NewIndex)
{
    // While the dialog runs the host reports the change itself
    // (DN_LISTCHANGE), which reaches OnSelect through the dialog.
    if (!GetDialog().IsActive() && OnSelect) {
        bool Allow = true;
        OnSelect(*this, NewIndex, Allow);
        if (!Allow)
            return;
    }
    FItemIndex = NewIndex;
    if (!GetDialog().IsActive())
        return;
    const intptr_t Position = PositionFor(NewIndex);
    if (Position < 0)
        return; // nothing shown: the host has no position to take
    far3::FarListPos Target{sizeof(far3::FarListPos), Position, -1};
    GetDialog().SendMessage(far3::DM_LISTSETCURPOS, GetIndex(), &Target);
}

bool TFarDialog::TListbox::HostSelected(intptr_t Position)
{
    if (FHandingOver || !OnSelect)
        return true;
    bool Allow = true;
    OnSelect(*this, EntryAt(Position), Allow);
    return Allow;
}

bool TFarDialog::TListbox::MoveSelection(intptr_t Delta, bool SkipDisabled)
{
    if (Delta == 0)
        return true;
    MakeShown();
    const intptr_t Step = Delta > 0 ? 1 : -1;
    intptr_t Remaining = Delta > 0 ? Delta : -Delta;
    const intptr_t Count = static_cast<intptr_t>(FShownEntries.size());
    // The steps go over the host's positions. An entry that is current but
    // hidden (before the run) stands between the shown ones around it.
    intptr_t Current = GetItemIndex();
    intptr_t Candidate = -1;
    if (Current >= 0) {
        const auto Next = std::lower_bound(FShownEntries.begin(), FShownEntries.end(), Current);
        Candidate = Next - FShownEntries.begin();
        if ((Next == FShownEntries.end() || *Next != Current) && Step > 0)
            --Candidate;
    }
    while (Remaining > 0) {
        do
            Candidate += Step;
        while (Candidate >= 0 && Candidate < Count && SkipDisabled &&
               !FItems->GetItem(FShownEntries[static_cast<size_t>(Candidate)])->GetEnabled());
        --Remaining;
        if (Candidate < 0 || Candidate >= Count)
            break;
        Current = FShownEntries[static_cast<size_t>(Candidate)];
    }
    SetItemIndex(Current);
    return true;
}

void TFarDialog::TListbox::BeginUpdate()
{
    ++FUpdateCount;
}

void TFarDialog::TListbox::EndUpdate()
{
    if (--FUpdateCount < 0) {
        FUpdateCount = 0;
        return;
    }
    if (FUpdateCount == 0 && FUpdateChanged)
        SyncItems();
}

void TFarDialog::TListbox::ItemsChanged()
{
    // Before the run the host's list is made when it is read; while the
    // dialog runs the host's own list is what the positions mean until the
    // changes reach it.
    if (!GetDialog().IsActive())
        FShownStale = true;
    FUpdateChanged = true;
    if (FUpdateCount <= 0)
        SyncItems();
}

void TFarDialog::TListbox::UpdateItem(intptr_t Index)
{
    if (!GetDialog().IsActive()) {
        ItemsChanged();
        return;
    }
    if (FUpdateCount > 0) {
        FUpdateChanged = true;
        return; // the closing EndUpdate replaces the whole list
    }
    const far3::FarListItem& Record = FItems->GetItem(Index)->ListItem();
    const intptr_t Position = PositionOf(Index);
    const bool Shown = (Record.Flags & far3::LIF_HIDDEN) == 0;
    if (Position >= 0 && Shown) {
        far3::FarListItem& Copy = FShownRecords[static_cast<size_t>(Position)];
        Copy = Record;
        Copy.Flags &= ~far3::LIF_SELECTED;
        far3::FarListUpdate Update{sizeof(far3::FarListUpdate), Position, Copy};
        GetDialog().SendMessage(far3::DM_LISTUPDATE, GetIndex(), &Update);
    } else if ((Position >= 0) != Shown) {
        // Shown now and not before, or the other way round: the positions
        // after it move, so the host gets the list anew.
        SyncItems();
    }
    SetItemIndex(Index);
}

void TFarDialog::TListbox::SyncItems()
{
    FUpdateChanged = false;
    DialogItem().ListItems = &FShownList;
    if (!GetDialog().IsActive()) {
        FShownStale = true; // made when it is read: a list may grow entry by entry
        return;
    }
    // The current entry as the host's list still has it, before the new one.
    intptr_t Current = GetItemIndex();
    FShownStale = true;
    MakeShown();
    // A row the change hid gives way to the first row left, as a list
    // read from the top; never a row the host picks at the far end.
    if (Current < 0 || Current >= FItems->Count() || !FItems->GetItem(Current)->GetVisible() ||
        !FItems->GetItem(Current)->GetEnabled())
        Current = FirstSelectable();
    const intptr_t Position = PositionOf(Current);
    // The host starts the new list on its LIF_SELECTED entry: the one
    // message sets the current row too, and draws the list.
    if (Position >= 0)
        FShownRecords[static_cast<size_t>(Position)].Flags |= far3::LIF_SELECTED;
    {
        FHandingOver = true;
        const auto Done = ScopeExit([&] {
            FHandingOver = false;
            if (Position >= 0)
                FShownRecords[static_cast<size_t>(Position)].Flags &= ~far3::LIF_SELECTED;
        });
        GetDialog().SendMessage(far3::DM_LISTSET, GetIndex(), &FShownList);
        if (Position >= 0 && HostPosition() != Position) {
            far3::FarListPos Target{sizeof(far3::FarListPos), Position, -1};
            GetDialog().SendMessage(far3::DM_LISTSETCURPOS, GetIndex(), &Target);
        }
    }
    FItemIndex = Current;
    // The host's notices were held back while the list was handed over
    // (the first of them names a row that is not the one it ends on).
    if (Current >= 0 && OnSelect) {
        bool Allow = true;
        OnSelect(*this, Current, Allow);
    }
}

intptr_t TFarDialog::TListbox::FirstSelectable() const
{
    for (intptr_t I = 0; I < FItems->Count(); ++I)
        if (FItems->GetItem(I)->GetVisible() && FItems->GetItem(I)->GetEnabled())
            return I;
    return -1;
}
