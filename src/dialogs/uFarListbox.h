// List boxes and their entries. The entries are kept in the host's own list
// format (a FarList over an array of FarListItem records), hidden ones too.
// The host gets only the entries that show: its list skips hidden entries
// at a cost that grows with the square of their number (seen in build 6727:
// 10 s for one DM_LISTSET of 100,000 entries with only the last ones shown,
// 30 ms for all of them shown). So a list box keeps a second, compact list
// of the shown records for the host, and translates between the host's
// positions and the indices of its entries; callers only see entry indices.
#pragma once

#include "dialogs/uFarControls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TListItems;

class TListItem {
public:
    explicit TListItem(TListItems& Owner);
    virtual ~TListItem();
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;

    TListItems* GetOwner() const noexcept { return FOwner; }
    intptr_t GetIndex() const noexcept { return FIndex; }
    far3::FarListItem& ListItem() const;

    std::wstring GetText() const;
    void SetText(std::wstring_view Value);
    // The text upper-cased as the system's locale does it, made once per
    // text: filters compare many rows against one typed text.
    const std::wstring& GetUpperText() const;

    far3::LISTITEMFLAGS GetFlags() const;
    void SetFlags(far3::LISTITEMFLAGS Value);
    bool HasFlag(far3::LISTITEMFLAGS Mask) const;
    void SetFlag(far3::LISTITEMFLAGS Mask, bool On);
    bool GetEnabled() const;
    bool GetVisible() const;
    void SetVisible(bool Value);

private:
    friend class TListItems;

    TListItems* FOwner;
    // -1 once the entry has left its list, as it is freed.
    intptr_t FIndex;
    std::unique_ptr<wchar_t[]> FText;
    mutable std::unique_ptr<std::wstring> FUpperText;
};

class TListItems {
public:
    // Owner is the control the entries belong to (may be null).
    explicit TListItems(void* Owner);
    virtual ~TListItems();
    TListItems(const TListItems&) = delete;
    TListItems& operator=(const TListItems&) = delete;

    void* GetOwner() const noexcept { return FOwner; }
    intptr_t Count() const noexcept { return static_cast<intptr_t>(FHostList.ItemsNumber); }
    intptr_t Capacity() const noexcept { return static_cast<intptr_t>(FEntries.size()); }
    TListItem* GetItem(intptr_t Index) const;
    TListItem* operator[](intptr_t Index) const { return GetItem(Index); }
    TListItem* AddItem(std::wstring_view Text);
    // Upper-cases the texts of all entries now (see GetUpperText).
    void PrepareUpperTexts();
    // Makes room for Count entries at once (still in whole blocks), so a
    // long list is not copied over and over while it grows.
    void Reserve(intptr_t Count);

    // Takes Item into the list's keeping; each entry calls it as it is
    // made. Returns its index.
    intptr_t Attach(TListItem* Item);
    // Lets go of Item without freeing it, for an entry that is being
    // destroyed other than by its list (its construction failed).
    void Detach(TListItem* Item);
    // Delete and Clear free entries; the entries after them move up.
    void Delete(intptr_t Index);
    void Clear();
    far3::FarList* GetHostList() noexcept { return &FHostList; }

    virtual void ItemChanged(intptr_t Index);
    virtual void Changed();
    virtual void BeginUpdate();
    virtual void EndUpdate();

private:
    void Grow(size_t NewCapacity);
    // Takes the entry at Index out of the list, and the entries after it
    // move up; it is freed when the owner returned goes.
    std::unique_ptr<TListItem> TakeEntry(size_t Index) noexcept;
    void FreeEntries() noexcept;

    void* FOwner;
    far3::FarList FHostList{};
    std::unique_ptr<far3::FarListItem[]> FRecords;
    std::vector<std::unique_ptr<TListItem>> FEntries; // its size is the capacity
};

// Holds a list's update open for a scope (BeginUpdate, and EndUpdate on
// every path out; see TPairedCall): the entries changed inside it reach the
// host at once, as a whole.
using TListUpdate = TPairedCall<TListItems, &TListItems::BeginUpdate, &TListItems::EndUpdate>;

class TListboxItems : public TListItems {
public:
    explicit TListboxItems(TFarDialog::TListbox& Owner) : TListItems(&Owner), FListbox(Owner) {}

    void ItemChanged(intptr_t Index) override;
    void Changed() override;
    void BeginUpdate() override;
    void EndUpdate() override;

private:
    TFarDialog::TListbox& FListbox;
};

class TFarDialog::TListbox : public TControl {
public:
    using TSelectEvent = std::function<void(TListbox& Sender, intptr_t NewIndex, bool& Allow)>;
    static constexpr int MaxHeight = 2147483647;

    TListbox(TFarDialog& Dialog, int Left, int Top, int Width, int Height, const std::wstring& Title);

    TListboxItems& GetItems() const noexcept { return *FItems; }
    int GetMaxHeight() override;
    // The host reads the shown entries as the run starts.
    void BeforeRun() override;
    // The run starts on the entry chosen before it.
    void InitControl() override;
    // While the dialog exists, the host's current entry (-1 for none).
    intptr_t GetItemIndex() const;
    void SetItemIndex(intptr_t NewIndex);
    bool MoveSelection(intptr_t Delta, bool SkipDisabled);
    // The first entry that is neither hidden nor disabled, or -1.
    intptr_t FirstSelectable() const;
    int GetUpdateCount() const noexcept { return FUpdateCount; }

    // The host's list: the records of the shown entries, in their order.
    far3::FarList* GetHostList() const;
    // The entry at a position of the host's list, or -1; the position of an
    // entry, or -1 for one that is not shown.
    intptr_t EntryAt(intptr_t Position) const;
    intptr_t PositionOf(intptr_t Index) const;
    // The host's DN_LISTCHANGE, with its position; false vetoes.
    bool HostSelected(intptr_t Position);

    void BeginUpdate();
    void EndUpdate();
    void ItemsChanged();
    void UpdateItem(intptr_t Index);
    void SyncItems();

    TSelectEvent OnSelect;

protected:
    ~TListbox() override;

private:
    // Makes the host's list anew from the entries, if they changed since.
    void MakeShown() const;
    // Where the host goes for Index: its position, else the next shown
    // entry's, else the last one's (-1 with nothing shown), as the host
    // moves from a position it cannot take.
    intptr_t PositionFor(intptr_t Index) const;
    intptr_t HostPosition() const;

    std::unique_ptr<TListboxItems> FItems;
    intptr_t FItemIndex = -1;
    int FUpdateCount = 0;
    // An entry changed since the update began: only then does the host get
    // the list anew at its end.
    bool FUpdateChanged = false;
    // The host's list, and the entry of each of its positions; made again
    // when asked for after the entries changed.
    mutable far3::FarList FShownList{};
    mutable std::vector<far3::FarListItem> FShownRecords;
    mutable std::vector<intptr_t> FShownEntries;
    mutable bool FShownStale = true;
    // While the whole list is handed over, the host's own notices of its
    // moves are not passed on: the list box reports where it ends once.
    bool FHandingOver = false;
};
