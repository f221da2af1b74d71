// List boxes: their entries and positions, the DM_LIST* messages, and the
// keys that move through a list.
#include "DialogEngine.h"

#include "DialogItems.h"
#include "HostContext.h"

#include <algorithm>

using namespace far3;
using namespace dialog;

namespace {

// The first focusable entry from From on in direction Dir, or -1.
intptr_t StepEntry(const THostList& List, intptr_t From, int Dir)
{
    const intptr_t Count = static_cast<intptr_t>(List.Entries.size());
    for (intptr_t I = From; I >= 0 && I < Count; I += Dir)
        if (EntryFocusable(List.Entries[static_cast<size_t>(I)]))
            return I;
    return -1;
}

// The nearest focusable entry in the direction of travel, else the nearest
// the other way.
intptr_t NearestEntry(const THostList& List, intptr_t From, int Dir)
{
    const intptr_t Found = StepEntry(List, From, Dir);
    return Found >= 0 ? Found : StepEntry(List, From, -Dir);
}

intptr_t FirstEntry(const THostList& List)
{
    return StepEntry(List, 0, 1);
}

intptr_t ListRows(const THostItem& Item)
{
    const intptr_t Rows = Item.Y2 - Item.Y1 + 1 - ((Item.Flags & DIF_LISTNOBOX) ? 0 : 2);
    return std::max<intptr_t>(1, Rows);
}

// Scrolls just enough to show the current entry.
void ShowCurrent(THostItem& Item)
{
    THostList& List = Item.List;
    if (List.CurPos < 0)
        return;
    const intptr_t Rows = ListRows(Item);
    if (List.CurPos < List.TopPos)
        List.TopPos = List.CurPos;
    else if (List.CurPos >= List.TopPos + Rows)
        List.TopPos = List.CurPos - Rows + 1;
}

} // namespace

THostItem* TDialogEngine::ListAt(THostDialog& Dialog, intptr_t Index, intptr_t Msg)
{
    THostItem* Item = ItemAt(Dialog, Index, Msg);
    if (!Item)
        return nullptr;
    if (Item->Type != DI_LISTBOX) {
        Error(Name(Msg) + L": item " + std::to_wstring(Index) + L" is not a list box");
        return nullptr;
    }
    // The host makes its list objects when the run starts.
    if (!Item->ListCreated) {
        Error(Name(Msg) + L": the list box does not exist before DialogRun");
        return nullptr;
    }
    return Item;
}

void TDialogEngine::SetEntries(THostDialog& Dialog, intptr_t Index, const FarList& In, const char* Service)
{
    if (In.ItemsNumber && !In.Items) {
        Error(Widen(Service) + L": a FarList with entries but no FarListItem array");
        return;
    }
    THostList& List = Dialog.Items[static_cast<size_t>(Index)].List;
    List.Entries.clear();
    List.TopPos = 0;
    intptr_t Selected = -1;
    for (size_t I = 0; I < In.ItemsNumber; ++I) {
        THostListEntry Entry{Text(In.Items[I].Text), In.Items[I].Flags & ~LIF_SELECTED, In.Items[I].UserData};
        if ((In.Items[I].Flags & LIF_SELECTED) && EntryFocusable(Entry))
            Selected = static_cast<intptr_t>(I);
        List.Entries.push_back(std::move(Entry));
    }
    // As the real host does: once initialised, the list first moves to its
    // first focusable entry and says so (there is nothing to restore on a
    // veto), and only then takes a LIF_SELECTED entry, silently, scrolled
    // just far enough to show it (seen in build 6727: entry 500 of a list
    // 23 rows high comes back with TopPos 478).
    List.CurPos = FirstEntry(List);
    if (List.CurPos >= 0 && Dialog.Initialised)
        Notify(Dialog, DN_LISTCHANGE, Index, reinterpret_cast<void*>(List.CurPos));
    if (Selected >= 0) {
        THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
        Item.List.CurPos = Selected;
        ShowCurrent(Item);
    }
}

intptr_t TDialogEngine::MoveList(THostDialog& Dialog, intptr_t Index, intptr_t NewPos, intptr_t TopPos)
{
    THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    const intptr_t OldPos = Item.List.CurPos, OldTop = Item.List.TopPos;
    Item.List.CurPos = NewPos;
    if (TopPos == -1)
        ShowCurrent(Item);
    else
        Item.List.TopPos = std::clamp<intptr_t>(TopPos, 0, std::max<intptr_t>(0, Item.List.Entries.size() - 1));
    if (NewPos != OldPos && Dialog.Initialised &&
        !Notify(Dialog, DN_LISTCHANGE, Index, reinterpret_cast<void*>(NewPos))) {
        THostList& List = Dialog.Items[static_cast<size_t>(Index)].List;
        if (OldPos < static_cast<intptr_t>(List.Entries.size())) {
            List.CurPos = OldPos;
            List.TopPos = OldTop;
        }
    }
    return Dialog.Items[static_cast<size_t>(Index)].List.CurPos;
}

// DM_LISTSETCURPOS as the real host answers it: during DN_INITDIALOG one
// DN_LISTCHANGE, a veto restoring the old position (which is returned);
// afterwards the notification comes twice, and a veto restores the old
// position, sends one more DN_LISTCHANGE with -1 and returns -1.
intptr_t TDialogEngine::SetListPos(THostDialog& Dialog, intptr_t Index, intptr_t NewPos, intptr_t TopPos)
{
    THostList& List = Dialog.Items[static_cast<size_t>(Index)].List;
    const intptr_t OldPos = List.CurPos, OldTop = List.TopPos;
    List.CurPos = NewPos;
    if (TopPos == -1)
        ShowCurrent(Dialog.Items[static_cast<size_t>(Index)]);
    else
        List.TopPos = std::clamp<intptr_t>(TopPos, 0, std::max<intptr_t>(0, List.Entries.size() - 1));
    if (NewPos == OldPos || !Dialog.InitDialogSent)
        return NewPos;
    const auto Restore = [&] {
        THostList& Now = Dialog.Items[static_cast<size_t>(Index)].List;
        if (OldPos < static_cast<intptr_t>(Now.Entries.size())) {
            Now.CurPos = OldPos;
            Now.TopPos = OldTop;
        }
    };
    const int Times = Dialog.Initialised ? 2 : 1;
    for (int I = 0; I < Times; ++I) {
        if (Notify(Dialog, DN_LISTCHANGE, Index, reinterpret_cast<void*>(NewPos)))
            continue;
        Restore();
        if (!Dialog.Initialised)
            return Dialog.Items[static_cast<size_t>(Index)].List.CurPos;
        Notify(Dialog, DN_LISTCHANGE, Index, reinterpret_cast<void*>(intptr_t{-1}));
        return -1;
    }
    return Dialog.Items[static_cast<size_t>(Index)].List.CurPos;
}

intptr_t TDialogEngine::ListMessage(THostDialog& Dialog, intptr_t Msg, intptr_t Index, void* Param2)
{
    const std::string Service = std::string("SendDlgMessage(") + MessageName(Msg) + ")";
    THostItem* Item = ListAt(Dialog, Index, Msg);
    if (!Item)
        return 0;
    THostList& List = Item->List;
    const intptr_t Count = static_cast<intptr_t>(List.Entries.size());
    auto Refused = [&](const wchar_t* Why) {
        Error(Name(Msg) + L": " + Why);
        return 0;
    };

    switch (Msg) {
    case DM_LISTSETTITLES: {
        // The way to retitle a list box while the dialog runs; a missing
        // title or bottom line leaves that one as it was.
        const auto* Titles = static_cast<const FarListTitles*>(Param2);
        if (!Titles)
            return Refused(L"no FarListTitles");
        if (!FHost.CheckStructSize(Titles->StructSize, sizeof(FarListTitles), "FarListTitles", Service.c_str()))
            return FALSE;
        if (Titles->Title)
            List.Title = Titles->Title;
        return TRUE;
    }
    case DM_LISTSET: {
        const auto* In = static_cast<const FarList*>(Param2);
        if (!In)
            return Refused(L"no FarList");
        if (!FHost.CheckStructSize(In->StructSize, sizeof(FarList), "FarList", Service.c_str()))
            return FALSE;
        SetEntries(Dialog, Index, *In, Service.c_str());
        return static_cast<intptr_t>(Dialog.Items[static_cast<size_t>(Index)].List.Entries.size());
    }
    case DM_LISTUPDATE: {
        const auto* Update = static_cast<const FarListUpdate*>(Param2);
        if (!Update)
            return Refused(L"no FarListUpdate");
        if (!FHost.CheckStructSize(Update->StructSize, sizeof(FarListUpdate), "FarListUpdate", Service.c_str()))
            return FALSE;
        if (Update->Index < 0 || Update->Index >= Count)
            return Refused(L"entry index out of range");
        THostListEntry& Entry = List.Entries[static_cast<size_t>(Update->Index)];
        Entry.Text = Text(Update->Item.Text);
        Entry.Flags = Update->Item.Flags & ~LIF_SELECTED;
        Entry.UserData = Update->Item.UserData;
        if ((List.CurPos == Update->Index && !EntryFocusable(Entry)) || List.CurPos < 0) {
            const intptr_t Was = List.CurPos;
            List.CurPos = FirstEntry(List);
            if (List.CurPos >= 0 && List.CurPos != Was && Dialog.Initialised)
                Notify(Dialog, DN_LISTCHANGE, Index, reinterpret_cast<void*>(List.CurPos));
        }
        return TRUE;
    }
    case DM_LISTGETCURPOS: {
        auto* Pos = static_cast<FarListPos*>(Param2);
        if (Pos && FHost.CheckStructSize(Pos->StructSize, sizeof(FarListPos), "FarListPos", Service.c_str())) {
            Pos->SelectPos = List.CurPos;
            if (List.CurPos >= 0)
                Pos->TopPos = List.TopPos;
        }
        return List.CurPos;
    }
    case DM_LISTSETCURPOS: {
        const auto* Pos = static_cast<const FarListPos*>(Param2);
        if (!Pos) {
            Refused(L"no FarListPos");
            return -1;
        }
        if (!FHost.CheckStructSize(Pos->StructSize, sizeof(FarListPos), "FarListPos", Service.c_str()))
            return -1;
        if (Count == 0)
            return -1;
        const intptr_t Wanted = std::clamp<intptr_t>(Pos->SelectPos, 0, Count - 1);
        const intptr_t Target = NearestEntry(List, Wanted, Wanted >= List.CurPos ? 1 : -1);
        if (Target < 0)
            return -1;
        return SetListPos(Dialog, Index, Target, Pos->TopPos);
    }
    case DM_LISTINFO: {
        auto* Info = static_cast<FarListInfo*>(Param2);
        if (!Info)
            return Refused(L"no FarListInfo");
        if (!FHost.CheckStructSize(Info->StructSize, sizeof(FarListInfo), "FarListInfo", Service.c_str()))
            return FALSE;
        Info->Flags = ((Item->Flags & DIF_LISTNOBOX) ? LINFO_SHOWNOBOX : 0) |
                      ((Item->Flags & DIF_LISTAUTOHIGHLIGHT) ? LINFO_AUTOHIGHLIGHT : 0) |
                      ((Item->Flags & DIF_LISTWRAPMODE) ? LINFO_WRAPMODE : 0) |
                      (List.ShowsAmpersand ? LINFO_SHOWAMPERSAND : 0);
        Info->ItemsNumber = List.Entries.size();
        Info->SelectPos = List.CurPos;
        Info->TopPos = List.TopPos;
        Info->MaxHeight = ListRows(*Item);
        Info->MaxLength = 0;
        for (const THostListEntry& Entry : List.Entries)
            Info->MaxLength = std::max<intptr_t>(Info->MaxLength, Entry.Text.size());
        return TRUE;
    }
    case DM_LISTGETITEM: {
        auto* Get = static_cast<FarListGetItem*>(Param2);
        if (!Get)
            return Refused(L"no FarListGetItem");
        if (!FHost.CheckStructSize(Get->StructSize, sizeof(FarListGetItem), "FarListGetItem", Service.c_str()))
            return FALSE;
        if (Get->ItemIndex < 0 || Get->ItemIndex >= Count)
            return Refused(L"entry index out of range");
        const THostListEntry& Entry = List.Entries[static_cast<size_t>(Get->ItemIndex)];
        Get->Item.Flags = Entry.Flags | (Get->ItemIndex == List.CurPos ? LIF_SELECTED : 0);
        Get->Item.Text = Entry.Text.c_str();
        Get->Item.UserData = Entry.UserData;
        Get->Item.Reserved = 0;
        return TRUE;
    }
    case DM_LISTADDSTR: {
        if (!Param2)
            return Refused(L"no text");
        List.Entries.push_back({static_cast<const wchar_t*>(Param2), 0, 0});
        if (List.CurPos < 0)
            List.CurPos = Count;
        return Count;
    }
    case DM_LISTDELETE: {
        const auto* Delete = static_cast<const FarListDelete*>(Param2);
        if (Delete &&
            !FHost.CheckStructSize(Delete->StructSize, sizeof(FarListDelete), "FarListDelete", Service.c_str()))
            return FALSE;
        if (!Delete || Delete->Count <= 0) {
            List.Entries.clear();
            List.CurPos = -1;
            List.TopPos = 0;
            return TRUE;
        }
        if (Delete->StartIndex < 0 || Delete->StartIndex >= Count)
            return Refused(L"StartIndex out of range");
        const intptr_t Start = Delete->StartIndex, End = std::min(Count, Start + Delete->Count);
        List.Entries.erase(List.Entries.begin() + Start, List.Entries.begin() + End);
        const intptr_t Left = static_cast<intptr_t>(List.Entries.size());
        if (List.CurPos >= End)
            List.CurPos -= End - Start;
        else if (List.CurPos >= Start)
            List.CurPos = Left ? NearestEntry(List, std::min(Start, Left - 1), 1) : -1;
        List.TopPos = std::min(List.TopPos, std::max<intptr_t>(0, Left - 1));
        return TRUE;
    }
    default: return 0;
    }
}

void TDialogEngine::ListKey(THostDialog& Dialog, intptr_t Index, WORD Vk)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    const THostList& List = Item.List;
    const intptr_t Count = static_cast<intptr_t>(List.Entries.size());
    const intptr_t Cur = List.CurPos;
    const intptr_t Page = std::max<intptr_t>(1, ListRows(Item) - 1);
    const bool Wrap = Item.Flags & DIF_LISTWRAPMODE;
    intptr_t Target = -1;
    switch (Vk) {
    case VK_UP:
        Target = StepEntry(List, Cur < 0 ? Count - 1 : Cur - 1, -1);
        if (Target < 0 && Wrap)
            Target = StepEntry(List, Count - 1, -1);
        break;
    case VK_DOWN:
        Target = StepEntry(List, Cur + 1, 1);
        if (Target < 0 && Wrap)
            Target = StepEntry(List, 0, 1);
        break;
    case VK_HOME: Target = StepEntry(List, 0, 1); break;
    case VK_END: Target = StepEntry(List, Count - 1, -1); break;
    case VK_PRIOR: Target = NearestEntry(List, std::max<intptr_t>(0, Cur - Page), -1); break;
    case VK_NEXT: Target = NearestEntry(List, std::min(Count - 1, Cur + Page), 1); break;
    default: return;
    }
    if (Target >= 0 && Target != Cur)
        MoveList(Dialog, Index, Target, -1);
}
