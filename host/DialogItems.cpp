// What the engine's files share about items: which take the focus, how the
// plugin's texts are taken, how an item is handed out, and the names of the
// messages.
#include "DialogItems.h"

#include "DialogEngine.h"
#include "HostContext.h"

#include <cstring>

using namespace far3;
using namespace dialog;

namespace {

bool TypeTakesFocus(FARDIALOGITEMTYPES Type)
{
    return IsEdit(Type) || Type == DI_BUTTON || Type == DI_CHECKBOX || Type == DI_RADIOBUTTON || Type == DI_LISTBOX;
}

size_t StringBytes(const std::wstring& Str)
{
    return (Str.size() + 1) * sizeof(wchar_t);
}

} // namespace

namespace dialog {

bool IsEdit(FARDIALOGITEMTYPES Type)
{
    return Type == DI_EDIT || Type == DI_PSWEDIT || Type == DI_FIXEDIT;
}

bool CanFocus(const THostItem& Item)
{
    return TypeTakesFocus(Item.Type) && !(Item.Flags & (DIF_DISABLE | DIF_HIDDEN | DIF_NOFOCUS));
}

bool EntryFocusable(const THostListEntry& Entry)
{
    return !(Entry.Flags & (LIF_DISABLE | LIF_HIDDEN | LIF_SEPARATOR));
}

std::wstring CutToMax(std::wstring Text, size_t MaxLength)
{
    if (MaxLength && Text.size() > MaxLength)
        Text.resize(MaxLength);
    return Text;
}

std::wstring Text(const wchar_t* Str)
{
    return Str ? Str : L"";
}

std::wstring Name(intptr_t Msg)
{
    return Widen(TDialogEngine::MessageName(Msg));
}

size_t PackedSize(const THostItem& Item)
{
    size_t Size = sizeof(FarDialogItem) + StringBytes(Item.Data);
    if (!Item.History.empty())
        Size += StringBytes(Item.History);
    if (!Item.Mask.empty())
        Size += StringBytes(Item.Mask);
    if (Item.Type == DI_LISTBOX && Item.ListCreated) {
        Size += sizeof(FarList) + Item.List.Entries.size() * sizeof(FarListItem);
        for (const THostListEntry& Entry : Item.List.Entries)
            Size += StringBytes(Entry.Text);
    }
    return Size;
}

// Writes with memcpy only: the plugin's buffer need not be aligned.
void PackItem(const THostItem& Item, unsigned char* Out)
{
    const bool List = Item.Type == DI_LISTBOX && Item.ListCreated;
    const size_t ListAt = sizeof(FarDialogItem);
    const size_t EntriesAt = ListAt + sizeof(FarList);
    size_t Next = List ? EntriesAt + Item.List.Entries.size() * sizeof(FarListItem) : sizeof(FarDialogItem);
    auto Put = [&](const std::wstring& Str) {
        std::memcpy(Out + Next, Str.c_str(), StringBytes(Str));
        const wchar_t* At = reinterpret_cast<const wchar_t*>(Out + Next);
        Next += StringBytes(Str);
        return At;
    };

    FarDialogItem Record{};
    Record.Type = Item.Type;
    Record.X1 = Item.X1;
    Record.Y1 = Item.Y1;
    Record.X2 = Item.X2;
    Record.Y2 = Item.Y2;
    if (List) {
        Record.ListItems = reinterpret_cast<FarList*>(Out + ListAt);
        const FarList Head{sizeof(FarList), Item.List.Entries.size(), reinterpret_cast<FarListItem*>(Out + EntriesAt)};
        std::memcpy(Out + ListAt, &Head, sizeof(Head));
        for (size_t I = 0; I < Item.List.Entries.size(); ++I) {
            const THostListEntry& Entry = Item.List.Entries[I];
            FarListItem Copy{};
            Copy.Flags = Entry.Flags | (static_cast<intptr_t>(I) == Item.List.CurPos ? LIF_SELECTED : 0);
            Copy.Text = Put(Entry.Text);
            Copy.UserData = Entry.UserData;
            std::memcpy(Out + EntriesAt + I * sizeof(FarListItem), &Copy, sizeof(Copy));
        }
    } else if (Item.Type == DI_LISTBOX) {
        Record.ListItems = const_cast<FarList*>(Item.InitialList);
    } else {
        Record.Selected = Item.Selected;
    }
    Record.Flags = Item.Flags;
    Record.Data = Put(Item.Data);
    Record.History = Item.History.empty() ? nullptr : Put(Item.History);
    Record.Mask = Item.Mask.empty() ? nullptr : Put(Item.Mask);
    Record.MaxLength = Item.MaxLength;
    Record.UserData = Item.UserData;
    std::memcpy(Out, &Record, sizeof(Record));
}

} // namespace dialog

// Seen in the real host: a plain edit starts "unchanged", so the first
// character typed replaces its text; an edit of a DIF_EDITOR block does not.
bool TDialogEngine::StartsUnchanged(const THostItem& Item)
{
    return IsEdit(Item.Type) && !(Item.Flags & DIF_EDITOR);
}

const char* TDialogEngine::MessageName(intptr_t Msg)
{
    if (Msg >= DM_USER)
        return "DM_USER";
    switch (Msg) {
    case DM_CLOSE: return "DM_CLOSE";
    case DM_ENABLE: return "DM_ENABLE";
    case DM_ENABLEREDRAW: return "DM_ENABLEREDRAW";
    case DM_GETDLGDATA: return "DM_GETDLGDATA";
    case DM_GETDLGITEM: return "DM_GETDLGITEM";
    case DM_GETDLGRECT: return "DM_GETDLGRECT";
    case DM_GETTEXT: return "DM_GETTEXT";
    case DM_KEY: return "DM_KEY";
    case DM_MOVEDIALOG: return "DM_MOVEDIALOG";
    case DM_SETDLGDATA: return "DM_SETDLGDATA";
    case DM_SETDLGITEM: return "DM_SETDLGITEM";
    case DM_SETFOCUS: return "DM_SETFOCUS";
    case DM_REDRAW: return "DM_REDRAW";
    case DM_SETTEXT: return "DM_SETTEXT";
    case DM_SETMAXTEXTLENGTH: return "DM_SETMAXTEXTLENGTH";
    case DM_SHOWDIALOG: return "DM_SHOWDIALOG";
    case DM_GETFOCUS: return "DM_GETFOCUS";
    case DM_GETCURSORPOS: return "DM_GETCURSORPOS";
    case DM_SETCURSORPOS: return "DM_SETCURSORPOS";
    case DM_SETTEXTPTR: return "DM_SETTEXTPTR";
    case DM_SHOWITEM: return "DM_SHOWITEM";
    case DM_ADDHISTORY: return "DM_ADDHISTORY";
    case DM_GETCHECK: return "DM_GETCHECK";
    case DM_SETCHECK: return "DM_SETCHECK";
    case DM_SET3STATE: return "DM_SET3STATE";
    case DM_LISTSORT: return "DM_LISTSORT";
    case DM_LISTGETITEM: return "DM_LISTGETITEM";
    case DM_LISTGETCURPOS: return "DM_LISTGETCURPOS";
    case DM_LISTSETCURPOS: return "DM_LISTSETCURPOS";
    case DM_LISTDELETE: return "DM_LISTDELETE";
    case DM_LISTADD: return "DM_LISTADD";
    case DM_LISTADDSTR: return "DM_LISTADDSTR";
    case DM_LISTUPDATE: return "DM_LISTUPDATE";
    case DM_LISTINSERT: return "DM_LISTINSERT";
    case DM_LISTFINDSTRING: return "DM_LISTFINDSTRING";
    case DM_LISTINFO: return "DM_LISTINFO";
    case DM_LISTGETDATA: return "DM_LISTGETDATA";
    case DM_LISTSETDATA: return "DM_LISTSETDATA";
    case DM_LISTSETTITLES: return "DM_LISTSETTITLES";
    case DM_LISTGETTITLES: return "DM_LISTGETTITLES";
    case DM_RESIZEDIALOG: return "DM_RESIZEDIALOG";
    case DM_SETITEMPOSITION: return "DM_SETITEMPOSITION";
    case DM_GETDROPDOWNOPENED: return "DM_GETDROPDOWNOPENED";
    case DM_SETDROPDOWNOPENED: return "DM_SETDROPDOWNOPENED";
    case DM_SETHISTORY: return "DM_SETHISTORY";
    case DM_GETITEMPOSITION: return "DM_GETITEMPOSITION";
    case DM_SETINPUTNOTIFY: return "DM_SETINPUTNOTIFY";
    case DM_EDITUNCHANGEDFLAG: return "DM_EDITUNCHANGEDFLAG";
    case DM_GETITEMDATA: return "DM_GETITEMDATA";
    case DM_SETITEMDATA: return "DM_SETITEMDATA";
    case DM_LISTSET: return "DM_LISTSET";
    case DM_GETCURSORSIZE: return "DM_GETCURSORSIZE";
    case DM_SETCURSORSIZE: return "DM_SETCURSORSIZE";
    case DM_LISTGETDATASIZE: return "DM_LISTGETDATASIZE";
    case DM_GETSELECTION: return "DM_GETSELECTION";
    case DM_SETSELECTION: return "DM_SETSELECTION";
    case DM_GETEDITPOSITION: return "DM_GETEDITPOSITION";
    case DM_SETEDITPOSITION: return "DM_SETEDITPOSITION";
    case DM_SETCOMBOBOXEVENT: return "DM_SETCOMBOBOXEVENT";
    case DM_GETCOMBOBOXEVENT: return "DM_GETCOMBOBOXEVENT";
    case DM_GETCONSTTEXTPTR: return "DM_GETCONSTTEXTPTR";
    case DM_GETDLGITEMSHORT: return "DM_GETDLGITEMSHORT";
    case DM_SETDLGITEMSHORT: return "DM_SETDLGITEMSHORT";
    case DM_GETDIALOGINFO: return "DM_GETDIALOGINFO";
    case DM_GETDIALOGTITLE: return "DM_GETDIALOGTITLE";
    case DN_BTNCLICK: return "DN_BTNCLICK";
    case DN_CTLCOLORDIALOG: return "DN_CTLCOLORDIALOG";
    case DN_CTLCOLORDLGITEM: return "DN_CTLCOLORDLGITEM";
    case DN_CTLCOLORDLGLIST: return "DN_CTLCOLORDLGLIST";
    case DN_DRAWDIALOG: return "DN_DRAWDIALOG";
    case DN_DRAWDLGITEM: return "DN_DRAWDLGITEM";
    case DN_EDITCHANGE: return "DN_EDITCHANGE";
    case DN_GOTFOCUS: return "DN_GOTFOCUS";
    case DN_HELP: return "DN_HELP";
    case DN_HOTKEY: return "DN_HOTKEY";
    case DN_INITDIALOG: return "DN_INITDIALOG";
    case DN_KILLFOCUS: return "DN_KILLFOCUS";
    case DN_LISTCHANGE: return "DN_LISTCHANGE";
    case DN_DRAGGED: return "DN_DRAGGED";
    case DN_RESIZECONSOLE: return "DN_RESIZECONSOLE";
    case DN_DRAWDIALOGDONE: return "DN_DRAWDIALOGDONE";
    case DN_LISTHOTKEY: return "DN_LISTHOTKEY";
    case DN_INPUT: return "DN_INPUT";
    case DN_CONTROLINPUT: return "DN_CONTROLINPUT";
    case DN_CLOSE: return "DN_CLOSE";
    case DN_GETVALUE: return "DN_GETVALUE";
    case DN_DROPDOWNOPENED: return "DN_DROPDOWNOPENED";
    case DN_DRAWDLGITEMDONE: return "DN_DRAWDLGITEMDONE";
    default: return "DM_UNKNOWN";
    }
}

intptr_t TDialogEngine::RefusedReply(intptr_t Msg)
{
    return (Msg == DM_GETFOCUS || Msg == DM_LISTADDSTR) ? -1 : 0;
}
