// The DM_* messages a dialog procedure sends, except those of list boxes
// (DialogLists.cpp).
#include "DialogEngine.h"

#include "DialogItems.h"
#include "HostContext.h"

#include <algorithm>
#include <cwchar>

using namespace far3;
using namespace dialog;

THostItem* TDialogEngine::ItemAt(THostDialog& Dialog, intptr_t Index, intptr_t Msg)
{
    if (Index >= 0 && static_cast<size_t>(Index) < Dialog.Items.size())
        return &Dialog.Items[static_cast<size_t>(Index)];
    Error(Name(Msg) + L": item " + std::to_wstring(Index) + L" is out of range (the dialog has " +
          std::to_wstring(Dialog.Items.size()) + L" items)");
    return nullptr;
}

intptr_t TDialogEngine::Dispatch(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    const intptr_t Value = reinterpret_cast<intptr_t>(Param2);
    switch (Msg) {
    case DM_CLOSE:
        if (Dialog.State != THostDialogState::Running) {
            Error(L"DM_CLOSE: the dialog is not running");
            return FALSE;
        }
        Close(Dialog, Param1 == -1 ? Dialog.Focus : Param1);
        return TRUE;
    case DM_ENABLEREDRAW: {
        const int Previous = Dialog.RedrawLock;
        if (!Param1) {
            ++Dialog.RedrawLock;
        } else if (Dialog.RedrawLock == 0) {
            if (Dialog.RefusedSuspends > 0)
                --Dialog.RefusedSuspends;
            else
                Error(L"DM_ENABLEREDRAW(TRUE) without a suspended redraw to resume");
        } else if (--Dialog.RedrawLock == 0) {
            ++Dialog.RedrawCount;
        }
        return Previous;
    }
    case DM_REDRAW:
        if (Dialog.RedrawLock == 0)
            ++Dialog.RedrawCount;
        return 0;
    case DM_GETDLGDATA: return reinterpret_cast<intptr_t>(Dialog.Param);
    case DM_GETFOCUS: return Dialog.Focus;
    case DM_GETDLGRECT:
        if (!Param2) {
            Error(L"DM_GETDLGRECT: no SMALL_RECT");
            return FALSE;
        }
        *static_cast<SMALL_RECT*>(Param2) = Dialog.Rect;
        return TRUE;
    case DM_MOVEDIALOG: {
        auto* Where = static_cast<COORD*>(Param2);
        if (!Where) {
            Error(L"DM_MOVEDIALOG: no COORD");
            return 0;
        }
        if (Param1) {
            Dialog.CentredX = Where->X == -1;
            Dialog.CentredY = Where->Y == -1;
            if (!Dialog.CentredX)
                Dialog.Rect.Left = Where->X;
            if (!Dialog.CentredY)
                Dialog.Rect.Top = Where->Y;
        } else {
            Dialog.CentredX = Dialog.CentredY = false;
            Dialog.Rect.Left = static_cast<SHORT>(Dialog.Rect.Left + Where->X);
            Dialog.Rect.Top = static_cast<SHORT>(Dialog.Rect.Top + Where->Y);
        }
        Place(Dialog);
        Where->X = Dialog.Rect.Left;
        Where->Y = Dialog.Rect.Top;
        return reinterpret_cast<intptr_t>(Where);
    }
    case DM_RESIZEDIALOG: {
        auto* Size = static_cast<COORD*>(Param2);
        if (!Size || Size->X < 1 || Size->Y < 1) {
            Error(L"DM_RESIZEDIALOG: no COORD, or a size below 1x1");
            return 0;
        }
        Dialog.Width = Size->X;
        Dialog.Height = Size->Y;
        Place(Dialog);
        return reinterpret_cast<intptr_t>(Size);
    }
    default: break;
    }

    // The rest work on one item.
    switch (Msg) {
    case DM_ENABLE:
    case DM_GETDLGITEM:
    case DM_GETTEXT:
    case DM_SETDLGITEM:
    case DM_SETFOCUS:
    case DM_SETTEXT:
    case DM_SETTEXTPTR:
    case DM_SHOWITEM:
    case DM_GETCHECK:
    case DM_SETCHECK:
    case DM_SETITEMPOSITION:
    case DM_GETITEMPOSITION:
    case DM_EDITUNCHANGEDFLAG:
    case DM_SETITEMDATA:
    case DM_GETITEMDATA:
    case DM_LISTSET:
    case DM_LISTUPDATE:
    case DM_LISTGETCURPOS:
    case DM_LISTSETCURPOS:
    case DM_LISTINFO:
    case DM_LISTGETITEM:
    case DM_LISTADDSTR:
    case DM_LISTDELETE:
    case DM_LISTSETTITLES: break;
    default: Error(Name(Msg) + L" (" + std::to_wstring(Msg) + L") is not simulated"); return 0;
    }
    THostItem* Item = ItemAt(Dialog, Param1, Msg);
    if (!Item)
        return 0;
    switch (Msg) {
    case DM_ENABLE:
    case DM_SHOWITEM: {
        // Both answer whether the item was on; -1 only asks.
        const FARDIALOGITEMFLAGS Off = Msg == DM_ENABLE ? DIF_DISABLE : DIF_HIDDEN;
        const bool Was = !(Item->Flags & Off);
        if (Value != -1) {
            Item->Flags = Value ? Item->Flags & ~Off : Item->Flags | Off;
            FocusLeaves(Dialog, Param1);
        }
        return Was;
    }
    case DM_SETFOCUS:
        if (!CanFocus(*Item))
            return FALSE;
        ChangeFocus(Dialog, Param1);
        return TRUE;
    case DM_GETTEXT: return GetText(Dialog, Param1, Param2);
    case DM_SETTEXT: {
        const auto* Data = static_cast<const FarDialogItemData*>(Param2);
        if (!Data) {
            Error(L"DM_SETTEXT: no FarDialogItemData");
            return 0;
        }
        if (!FHost.CheckStructSize(Data->StructSize, sizeof(FarDialogItemData), "FarDialogItemData",
                                   "SendDlgMessage(DM_SETTEXT)"))
            return 0;
        std::wstring New;
        if (Data->PtrData)
            New.assign(Data->PtrData, wcsnlen(Data->PtrData, Data->PtrLength));
        return SetText(Dialog, Param1, New);
    }
    case DM_SETTEXTPTR:
        if (!Param2) {
            Error(L"DM_SETTEXTPTR: no text");
            return 0;
        }
        return SetText(Dialog, Param1, static_cast<const wchar_t*>(Param2));
    case DM_GETDLGITEM: return GetDlgItem(Dialog, Param1, Param2);
    case DM_SETDLGITEM: return SetDlgItem(Dialog, Param1, Param2);
    case DM_GETCHECK:
        if (Item->Type != DI_CHECKBOX && Item->Type != DI_RADIOBUTTON) {
            Error(L"DM_GETCHECK: item " + std::to_wstring(Param1) + L" is neither a check box nor a radio button");
            return 0;
        }
        return Item->Selected;
    case DM_SETCHECK: return SetCheck(Dialog, Param1, Value);
    case DM_GETITEMPOSITION:
        if (!Param2) {
            Error(L"DM_GETITEMPOSITION: no SMALL_RECT");
            return FALSE;
        }
        *static_cast<SMALL_RECT*>(Param2) = SMALL_RECT{static_cast<SHORT>(Item->X1), static_cast<SHORT>(Item->Y1),
                                                       static_cast<SHORT>(Item->X2), static_cast<SHORT>(Item->Y2)};
        return TRUE;
    case DM_SETITEMPOSITION: {
        if (!Param2) {
            Error(L"DM_SETITEMPOSITION: no SMALL_RECT");
            return FALSE;
        }
        const SMALL_RECT& Rect = *static_cast<const SMALL_RECT*>(Param2);
        Item->X1 = Rect.Left;
        Item->Y1 = Rect.Top;
        Item->X2 = std::max(Rect.Right, Rect.Left);
        Item->Y2 = std::max(Rect.Bottom, Rect.Top);
        return TRUE;
    }
    case DM_EDITUNCHANGEDFLAG: {
        if (!IsEdit(Item->Type)) {
            Error(L"DM_EDITUNCHANGEDFLAG: item " + std::to_wstring(Param1) + L" is not an edit");
            return 0;
        }
        const bool Was = Item->Unchanged;
        if (Value != -1)
            Item->Unchanged = Value != 0;
        return Was;
    }
    case DM_SETITEMDATA: {
        const intptr_t Was = Item->UserData;
        Item->UserData = Value;
        return Was;
    }
    case DM_GETITEMDATA: return Item->UserData;
    default: return ListMessage(Dialog, Msg, Param1, Param2);
    }
}

intptr_t TDialogEngine::GetText(THostDialog& Dialog, intptr_t Index, void* Param2)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    std::wstring Shown = Item.Data;
    if (Item.Type == DI_LISTBOX && Item.ListCreated)
        Shown = Item.List.CurPos < 0 ? std::wstring() : Item.List.Entries[static_cast<size_t>(Item.List.CurPos)].Text;
    size_t Length = Shown.size();
    if (!Param2)
        return static_cast<intptr_t>(Length);
    auto* Data = static_cast<FarDialogItemData*>(Param2);
    if (!FHost.CheckStructSize(Data->StructSize, sizeof(FarDialogItemData), "FarDialogItemData",
                               "SendDlgMessage(DM_GETTEXT)"))
        return 0;
    if (Data->PtrLength == 0)
        Data->PtrLength = Length;
    else
        Length = std::min(Length, Data->PtrLength);
    if (Data->PtrData) {
        std::wmemcpy(Data->PtrData, Shown.data(), Length);
        Data->PtrData[Length] = L'\0';
    }
    return static_cast<intptr_t>(Length);
}

intptr_t TDialogEngine::SetText(THostDialog& Dialog, intptr_t Index, const std::wstring& New)
{
    THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    if (Item.Type == DI_LISTBOX) {
        Error(L"DM_SETTEXT on a list box is not simulated");
        return 0;
    }
    Item.Data = CutToMax(New, Item.MaxLength);
    Item.CursorPos = static_cast<intptr_t>(Item.Data.size());
    return static_cast<intptr_t>(Item.Data.size());
}

intptr_t TDialogEngine::GetDlgItem(THostDialog& Dialog, intptr_t Index, void* Param2)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    const size_t Needed = PackedSize(Item);
    if (!Param2)
        return static_cast<intptr_t>(Needed);
    auto* Get = static_cast<FarGetDialogItem*>(Param2);
    if (!FHost.CheckStructSize(Get->StructSize, sizeof(FarGetDialogItem), "FarGetDialogItem",
                               "SendDlgMessage(DM_GETDLGITEM)"))
        return 0;
    if (Get->Item && Get->Size >= Needed)
        PackItem(Item, reinterpret_cast<unsigned char*>(Get->Item));
    return static_cast<intptr_t>(Needed);
}

intptr_t TDialogEngine::SetDlgItem(THostDialog& Dialog, intptr_t Index, const void* Param2)
{
    if (!Param2) {
        Error(L"DM_SETDLGITEM: no FarDialogItem");
        return FALSE;
    }
    const auto& In = *static_cast<const FarDialogItem*>(Param2);
    THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    if (In.Type != Item.Type) {
        Error(L"DM_SETDLGITEM: the record's Type differs from item " + std::to_wstring(Index) + L"'s");
        return FALSE;
    }
    Item.X1 = In.X1;
    Item.Y1 = In.Y1;
    Item.X2 = std::max(In.X2, In.X1);
    Item.Y2 = std::max(In.Y2, In.Y1);
    // A list box keeps its entries: its FarList is read once, when the run starts.
    if (Item.Type != DI_LISTBOX)
        Item.Selected = In.Selected;
    Item.Flags = In.Flags;
    Item.MaxLength = In.MaxLength;
    Item.UserData = In.UserData;
    Item.History = Text(In.History);
    Item.Mask = Text(In.Mask);
    const std::wstring Data = CutToMax(Text(In.Data), In.MaxLength);
    if (Data != Item.Data) {
        Item.Data = Data;
        Item.CursorPos = static_cast<intptr_t>(Data.size());
    }
    FocusLeaves(Dialog, Index);
    return TRUE;
}

intptr_t TDialogEngine::SetCheck(THostDialog& Dialog, intptr_t Index, intptr_t State)
{
    THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    const intptr_t Was = Item.Selected;
    if (Item.Type == DI_CHECKBOX) {
        intptr_t New = State == BSTATE_TOGGLE ? Was + 1 : std::max<intptr_t>(State, 0);
        Item.Selected = (Item.Flags & DIF_3STATE) ? New % 3 : New & 1;
        return Was;
    }
    if (Item.Type == DI_RADIOBUTTON) {
        if (State == BSTATE_TOGGLE ? !Was : State != BSTATE_UNCHECKED) {
            // Checking one radio button unchecks the rest of its group: the
            // run of radio buttons that a DIF_GROUP item starts.
            size_t First = static_cast<size_t>(Index), Last = First;
            while (First > 0 && !(Dialog.Items[First].Flags & DIF_GROUP) &&
                   Dialog.Items[First - 1].Type == DI_RADIOBUTTON)
                --First;
            while (Last + 1 < Dialog.Items.size() && Dialog.Items[Last + 1].Type == DI_RADIOBUTTON &&
                   !(Dialog.Items[Last + 1].Flags & DIF_GROUP))
                ++Last;
            for (size_t I = First; I <= Last; ++I)
                Dialog.Items[I].Selected = 0;
            Item.Selected = 1;
        } else {
            Item.Selected = 0;
        }
        return Was;
    }
    Error(L"DM_SETCHECK: item " + std::to_wstring(Index) + L" is neither a check box nor a radio button");
    return 0;
}
