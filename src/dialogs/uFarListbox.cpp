#include "dialogs/uFarListbox.h"

#include "base/Handle.h"
#include "base/uStrings.h"

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
    DialogItem().ListItems = FItems->GetHostList();
}

TFarDialog::TListbox::~TListbox()
{
    FItems.reset();
}

int TFarDialog::TListbox::GetMaxHeight()
{
    return MaxHeight;
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
        return GetDialog().SendMessage(far3::DM_LISTGETCURPOS, GetIndex(), nullptr);
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
    if (GetDialog().IsActive()) {
        far3::FarListPos Position{sizeof(far3::FarListPos), NewIndex, -1};
        GetDialog().SendMessage(far3::DM_LISTSETCURPOS, GetIndex(), &Position);
    }
}

bool TFarDialog::TListbox::MoveSelection(intptr_t Delta, bool SkipDisabled)
{
    if (Delta == 0)
        return true;
    const intptr_t Step = Delta > 0 ? 1 : -1;
    intptr_t Remaining = Delta > 0 ? Delta : -Delta;
    const intptr_t Count = FItems->Count();
    intptr_t Current = GetItemIndex();
    intptr_t Candidate = Current;
    while (Remaining > 0) {
        do
            Candidate += Step;
        while (
            Candidate >= 0 && Candidate < Count &&
            (!FItems->GetItem(Candidate)->GetVisible() || (SkipDisabled && !FItems->GetItem(Candidate)->GetEnabled())));
        --Remaining;
        if (Candidate < 0 || Candidate >= Count)
            break;
        Current = Candidate;
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
    if (FUpdateCount == 0)
        SyncItems();
}

void TFarDialog::TListbox::ItemsChanged()
{
    if (FUpdateCount <= 0)
        SyncItems();
}

void TFarDialog::TListbox::UpdateItem(intptr_t Index)
{
    if (!GetDialog().IsActive()) {
        ItemsChanged();
        return;
    }
    if (FUpdateCount > 0)
        return; // the closing EndUpdate replaces the whole list
    far3::FarListUpdate Update{sizeof(far3::FarListUpdate), Index, FItems->GetItem(Index)->ListItem()};
    GetDialog().SendMessage(far3::DM_LISTUPDATE, GetIndex(), &Update);
    SetItemIndex(Index);
}

void TFarDialog::TListbox::SyncItems()
{
    DialogItem().ListItems = FItems->GetHostList();
    if (!GetDialog().IsActive())
        return;
    intptr_t Position = GetItemIndex();
    const auto Restore = [&] {
        // A row the change hid gives way to the first row left, as a list
        // read from the top; never a row the host picks at the far end.
        if (Position < 0 || Position >= FItems->Count() || !FItems->GetItem(Position)->GetVisible() ||
            !FItems->GetItem(Position)->GetEnabled())
            Position = FirstSelectable();
        if (Position >= 0)
            SetItemIndex(Position);
    };
    auto Restored = ScopeFinish(Restore);
    GetDialog().SendMessage(far3::DM_LISTSET, GetIndex(), FItems->GetHostList());
    GetDialog().Redraw();
    Restored.Finish();
}

intptr_t TFarDialog::TListbox::FirstSelectable() const
{
    for (intptr_t I = 0; I < FItems->Count(); ++I)
        if (FItems->GetItem(I)->GetVisible() && FItems->GetItem(I)->GetEnabled())
            return I;
    return -1;
}
