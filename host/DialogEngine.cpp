#include "DialogEngine.h"

#include "HostContext.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

using namespace far3;

namespace {

constexpr DWORD CtrlKeys = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
constexpr DWORD AltKeys = LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;

bool IsEdit(FARDIALOGITEMTYPES Type)
{
    return Type == DI_EDIT || Type == DI_PSWEDIT || Type == DI_FIXEDIT;
}

bool TypeTakesFocus(FARDIALOGITEMTYPES Type)
{
    return IsEdit(Type) || Type == DI_BUTTON || Type == DI_CHECKBOX || Type == DI_RADIOBUTTON || Type == DI_LISTBOX;
}

bool CanFocus(const THostItem& Item)
{
    return TypeTakesFocus(Item.Type) && !(Item.Flags & (DIF_DISABLE | DIF_HIDDEN | DIF_NOFOCUS));
}

bool EntryFocusable(const THostListEntry& Entry)
{
    return !(Entry.Flags & (LIF_DISABLE | LIF_HIDDEN | LIF_SEPARATOR));
}

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

size_t StringBytes(const std::wstring& Str)
{
    return (Str.size() + 1) * sizeof(wchar_t);
}

// What the host hands out for an item: a FarDialogItem, then for a list box
// a FarList and its FarListItem records, then every string. The pointers
// inside point into the block itself.
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

// A coordinate pair DialogInit accepts: -1 and a positive size, or an
// inclusive range on the screen.
bool ValidExtent(intptr_t From, intptr_t To)
{
    if (From == -1)
        return To > 0 && To <= SHRT_MAX;
    return From >= 0 && To >= From && To <= SHRT_MAX;
}

} // namespace

TDialogEngine::TDialogEngine(THostContext& Host) : FHost(Host) {}

TDialogEngine::~TDialogEngine() = default;

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

// --- bookkeeping ------------------------------------------------------------------

void TDialogEngine::Error(const std::wstring& Text)
{
    FHost.Error(Text);
}

void TDialogEngine::CheckThread(const char* Service)
{
    if (::GetCurrentThreadId() != FHost.MainThreadId())
        Error(Widen(Service) + L" called from a thread other than the host's main thread (a data race in the real host)");
}

THostDialog* TDialogEngine::Find(HANDLE Dialog)
{
    const auto Found = FDialogs.find(Dialog);
    return Found == FDialogs.end() ? nullptr : Found->second.get();
}

THostDialog* TDialogEngine::Last()
{
    return Find(FLast);
}

THostDialog* TDialogEngine::Lookup(HANDLE Handle, const char* Service)
{
    THostDialog* Dialog = Find(Handle);
    if (!Dialog)
        Error(Widen(Service) + L": unknown or freed dialog handle " +
              std::to_wstring(reinterpret_cast<uintptr_t>(Handle)));
    return Dialog;
}

THostItem* TDialogEngine::ItemAt(THostDialog& Dialog, intptr_t Index, intptr_t Msg)
{
    if (Index >= 0 && static_cast<size_t>(Index) < Dialog.Items.size())
        return &Dialog.Items[static_cast<size_t>(Index)];
    Error(Name(Msg) + L": item " + std::to_wstring(Index) + L" is out of range (the dialog has " +
          std::to_wstring(Dialog.Items.size()) + L" items)");
    return nullptr;
}

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

void TDialogEngine::ConsoleResized()
{
    for (auto& Entry : FDialogs)
        Place(*Entry.second);
}

void TDialogEngine::ReportLeaks()
{
    for (const auto& Entry : FDialogs)
        Error(L"a dialog was never freed (DialogFree): handle " +
              std::to_wstring(reinterpret_cast<uintptr_t>(Entry.first)));
    FDialogs.clear();
}

void TDialogEngine::QueueScript(TDialogScript Script)
{
    FScripts.push_back(std::move(Script));
}

void TDialogEngine::Place(THostDialog& Dialog)
{
    if (Dialog.CentredX)
        Dialog.Rect.Left = static_cast<SHORT>(std::max(0, (FHost.ConsoleWidth() - Dialog.Width) / 2));
    if (Dialog.CentredY)
        Dialog.Rect.Top = static_cast<SHORT>(std::max(0, (FHost.ConsoleHeight() - Dialog.Height) / 2));
    Dialog.Rect.Right = static_cast<SHORT>(Dialog.Rect.Left + Dialog.Width - 1);
    Dialog.Rect.Bottom = static_cast<SHORT>(Dialog.Rect.Top + Dialog.Height - 1);
}

// --- the services ----------------------------------------------------------------------

HANDLE TDialogEngine::Init(const GUID* PluginId, const GUID* Id, intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2,
                           const wchar_t* HelpTopic, const FarDialogItem* Item, size_t ItemsNumber,
                           FARDIALOGFLAGS Flags, FARWINDOWPROC DlgProc, void* Param)
{
    CheckThread("DialogInit");
    if (!FHost.CheckPluginId(PluginId, "DialogInit"))
        return INVALID_HANDLE_VALUE;
    if (!Item || ItemsNumber == 0) {
        Error(L"DialogInit: no items");
        return INVALID_HANDLE_VALUE;
    }
    if (!ValidExtent(X1, X2) || !ValidExtent(Y1, Y2)) {
        Error(L"DialogInit: invalid coordinates (" + std::to_wstring(X1) + L"," + std::to_wstring(Y1) + L")-(" +
              std::to_wstring(X2) + L"," + std::to_wstring(Y2) + L")");
        return INVALID_HANDLE_VALUE;
    }

    auto Dialog = std::make_unique<THostDialog>();
    Dialog->Handle = reinterpret_cast<HANDLE>(FNextHandle);
    FNextHandle += 0x10;
    Dialog->PluginId = *PluginId;
    if (Id)
        Dialog->Id = *Id;
    Dialog->GivenX1 = X1;
    Dialog->GivenY1 = Y1;
    Dialog->GivenX2 = X2;
    Dialog->GivenY2 = Y2;
    Dialog->CentredX = X1 == -1;
    Dialog->CentredY = Y1 == -1;
    Dialog->Width = static_cast<SHORT>(X1 == -1 ? X2 : X2 - X1 + 1);
    Dialog->Height = static_cast<SHORT>(Y1 == -1 ? Y2 : Y2 - Y1 + 1);
    Dialog->Rect.Left = static_cast<SHORT>(std::max<intptr_t>(X1, 0));
    Dialog->Rect.Top = static_cast<SHORT>(std::max<intptr_t>(Y1, 0));
    Place(*Dialog);
    Dialog->HelpTopic = Text(HelpTopic);
    Dialog->Flags = Flags;
    Dialog->Proc = DlgProc;
    Dialog->Param = Param;

    for (size_t I = 0; I < ItemsNumber; ++I) {
        const FarDialogItem& In = Item[I];
        THostItem Copy;
        Copy.Type = In.Type;
        if (In.Type == DI_COMBOBOX || In.Type == DI_USERCONTROL || In.Type > DI_LISTBOX)
            Error(L"DialogInit: item " + std::to_wstring(I) + L" has a type the simulated host does not simulate (" +
                  std::to_wstring(static_cast<unsigned>(In.Type)) + L")");
        Copy.X1 = In.X1;
        Copy.Y1 = In.Y1;
        Copy.X2 = std::max(In.X2, In.X1);
        Copy.Y2 = std::max(In.Y2, In.Y1);
        if (In.Type == DI_LISTBOX)
            Copy.InitialList = In.ListItems;
        else
            Copy.Selected = In.Selected;
        Copy.Flags = In.Flags;
        Copy.MaxLength = In.MaxLength;
        Copy.Data = CutToMax(Text(In.Data), In.MaxLength);
        Copy.History = Text(In.History);
        Copy.Mask = Text(In.Mask);
        Copy.UserData = In.UserData;
        Copy.CursorPos = static_cast<intptr_t>(Copy.Data.size());
        Dialog->Items.push_back(std::move(Copy));
    }

    const HANDLE Handle = Dialog->Handle;
    FLast = Handle;
    FDialogs.emplace(Handle, std::move(Dialog));
    return Handle;
}

void TDialogEngine::CreateObjects(THostDialog& Dialog)
{
    for (size_t I = 0; I < Dialog.Items.size(); ++I) {
        THostItem& Item = Dialog.Items[I];
        if (IsEdit(Item.Type)) {
            Item.Unchanged = StartsUnchanged(Item);
            Item.CursorPos = static_cast<intptr_t>(Item.Data.size());
        }
        if (Item.Type != DI_LISTBOX || Item.ListCreated)
            continue;
        Item.ListCreated = true;
        Item.List.Title = Item.Data;
        Item.List.ShowsAmpersand = (Item.Flags & DIF_LISTNOAMPERSAND) == 0;
        const FarList* List = Item.InitialList;
        if (List && FHost.CheckStructSize(List->StructSize, sizeof(FarList), "FarList", "DialogRun"))
            SetEntries(Dialog, static_cast<intptr_t>(I), *List, "DialogRun");
    }
    Dialog.Focus = -1;
    for (size_t I = 0; I < Dialog.Items.size() && Dialog.Focus < 0; ++I)
        if ((Dialog.Items[I].Flags & DIF_FOCUS) && CanFocus(Dialog.Items[I]))
            Dialog.Focus = static_cast<intptr_t>(I);
    for (size_t I = 0; I < Dialog.Items.size() && Dialog.Focus < 0; ++I)
        if (CanFocus(Dialog.Items[I]))
            Dialog.Focus = static_cast<intptr_t>(I);
}

intptr_t TDialogEngine::Run(HANDLE Handle)
{
    CheckThread("DialogRun");
    THostDialog* Found = Lookup(Handle, "DialogRun");
    if (!Found)
        return -1;
    THostDialog& Dialog = *Found; // cannot be freed while it runs
    if (Dialog.Flags & FDLG_NONMODAL)
        return -1;
    if (Dialog.State == THostDialogState::Running) {
        Error(L"DialogRun: the dialog is already running");
        return -1;
    }
    Dialog.State = THostDialogState::Running;
    Dialog.Closing = false;
    Dialog.ExitCode = -1;
    ++Dialog.Runs;
    // A repeated run goes on with the objects and the focus as they are.
    if (!Dialog.InitDialogSent) {
        CreateObjects(Dialog);
        Dialog.InitDialogSent = true;
        Notify(Dialog, DN_INITDIALOG, Dialog.Focus, Dialog.Param);
        Dialog.Initialised = true;
        // The real host tells the first focused item right after the start.
        if (Dialog.Focus >= 0 && !Dialog.Closing)
            Notify(Dialog, DN_GOTFOCUS, Dialog.Focus, nullptr);
    }

    // A dialog closed during DN_INITDIALOG never waits for input.
    TDialogInput* Input = FInput;
    TDialogScript Script;
    if (!Dialog.Closing && !Input) {
        if (FScripts.empty()) {
            Error(L"DialogRun: no dialog script is queued, so the dialog cannot get input");
        } else {
            Script = std::move(FScripts.front());
            FScripts.pop_front();
            Input = &Script;
        }
    }
    bool LockReported = false;
    while (Input && !Dialog.Closing) {
        FHost.DeliverSynchroEvents();
        if (Dialog.Closing)
            break;
        if (Dialog.RedrawLock > Dialog.RefusedResumes && !LockReported) {
            Error(L"the dialog waits for input while its redraw is suspended (DM_ENABLEREDRAW)");
            LockReported = true;
        }
        TDialogAction Action;
        if (!Input->NextFor(Dialog, Action)) {
            Error(L"the dialog script ended while the dialog was still open");
            Dialog.ExitCode = -1;
            break;
        }
        Perform(Dialog, Action);
    }
    if (Input == &Script && Script.Pending())
        Error(L"the dialog closed with " + std::to_wstring(Script.Pending()) + L" scripted actions left");
    Dialog.State = THostDialogState::Finished;
    Dialog.Closing = false;
    return Dialog.ExitCode;
}

void TDialogEngine::Free(HANDLE Handle)
{
    CheckThread("DialogFree");
    if (Handle == INVALID_HANDLE_VALUE)
        return;
    THostDialog* Dialog = Lookup(Handle, "DialogFree");
    if (!Dialog)
        return;
    if (Dialog->State == THostDialogState::Running || Dialog->Busy) {
        Error(L"DialogFree: the dialog is still running or handling a notification");
        return;
    }
    FDialogs.erase(Handle);
}

intptr_t TDialogEngine::Send(HANDLE Handle, intptr_t Msg, intptr_t Param1, void* Param2)
{
    const std::string Service = std::string("SendDlgMessage(") + MessageName(Msg) + ")";
    CheckThread(Service.c_str());
    THostDialog* Dialog = Lookup(Handle, Service.c_str());
    if (!Dialog)
        return RefusedReply(Msg);
    if (Msg >= DM_USER)
        return Notify(*Dialog, Msg, Param1, Param2);
    return Dispatch(*Dialog, Msg, Param1, Param2);
}

void TDialogEngine::Refused(HANDLE Handle, intptr_t Msg, intptr_t Param1)
{
    THostDialog* Dialog = Find(Handle);
    if (!Dialog || Msg != DM_ENABLEREDRAW)
        return;
    if (Param1)
        ++Dialog->RefusedResumes;
    else
        ++Dialog->RefusedSuspends;
}

intptr_t TDialogEngine::DefProc(HANDLE Handle, intptr_t Msg, intptr_t Param1, void* Param2)
{
    CheckThread("DefDlgProc");
    THostDialog* Dialog = Lookup(Handle, "DefDlgProc");
    if (!Dialog)
        return 0;
    if (Msg < DN_FIRST)
        return Dispatch(*Dialog, Msg, Param1, Param2);
    return DefaultReply(*Dialog, Msg, Param1, Param2);
}

intptr_t TDialogEngine::DefaultReply(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    switch (Msg) {
    case DN_INITDIALOG: return FALSE;
    case DN_CLOSE: return TRUE;
    case DN_BTNCLICK: {
        if (Param1 < 0 || static_cast<size_t>(Param1) >= Dialog.Items.size())
            return TRUE;
        const THostItem& Item = Dialog.Items[static_cast<size_t>(Param1)];
        return (Item.Type == DI_BUTTON && !(Item.Flags & DIF_BTNNOCLOSE)) ? FALSE : TRUE;
    }
    case DN_EDITCHANGE:
    case DN_LISTCHANGE:
    case DN_INPUT:
    case DN_RESIZECONSOLE:
    case DN_HOTKEY:
    case DN_DRAGGED: return TRUE;
    case DN_KILLFOCUS: return -1;
    case DN_HELP: return reinterpret_cast<intptr_t>(Param2);
    default: return 0; // DN_GOTFOCUS, DN_CONTROLINPUT, drawing, DM_USER and above
    }
}

intptr_t TDialogEngine::Notify(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    const size_t Index = FEvents.size();
    const bool Valued = Msg == DN_LISTCHANGE || Msg == DN_BTNCLICK;
    FEvents.push_back({Dialog.Handle, Msg, Param1, Valued ? reinterpret_cast<intptr_t>(Param2) : 0, 0});
    intptr_t Reply = 0;
    ++Dialog.Busy;
    if (!Dialog.Proc) {
        Reply = DefaultReply(Dialog, Msg, Param1, Param2);
    } else {
        try {
            Reply = Dialog.Proc(Dialog.Handle, Msg, Param1, Param2);
        } catch (...) {
            Error(L"an exception crossed into the host from the dialog procedure (" + Name(Msg) + L")");
            Reply = DefaultReply(Dialog, Msg, Param1, Param2);
        }
    }
    --Dialog.Busy;
    FEvents[Index].Reply = Reply;
    return Reply;
}

// --- messages -------------------------------------------------------------------------

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
    case DM_ENABLE: case DM_GETDLGITEM: case DM_GETTEXT: case DM_SETDLGITEM: case DM_SETFOCUS:
    case DM_SETTEXT: case DM_SETTEXTPTR: case DM_SHOWITEM: case DM_GETCHECK: case DM_SETCHECK:
    case DM_SETITEMPOSITION: case DM_GETITEMPOSITION: case DM_EDITUNCHANGEDFLAG: case DM_SETITEMDATA:
    case DM_GETITEMDATA: case DM_LISTSET: case DM_LISTUPDATE: case DM_LISTGETCURPOS: case DM_LISTSETCURPOS:
    case DM_LISTINFO: case DM_LISTGETITEM: case DM_LISTADDSTR: case DM_LISTDELETE:
        break;
    default:
        Error(Name(Msg) + L" (" + std::to_wstring(Msg) + L") is not simulated");
        return 0;
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

// --- lists -------------------------------------------------------------------------------

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
    // veto), and only then takes a LIF_SELECTED entry, silently.
    List.CurPos = FirstEntry(List);
    if (List.CurPos >= 0 && Dialog.Initialised)
        Notify(Dialog, DN_LISTCHANGE, Index, reinterpret_cast<void*>(List.CurPos));
    if (Selected >= 0)
        Dialog.Items[static_cast<size_t>(Index)].List.CurPos = Selected;
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
        if (Delete && !FHost.CheckStructSize(Delete->StructSize, sizeof(FarListDelete), "FarListDelete",
                                             Service.c_str()))
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

// --- focus, closing, buttons ---------------------------------------------------------------

void TDialogEngine::ChangeFocus(THostDialog& Dialog, intptr_t NewFocus)
{
    if (NewFocus == Dialog.Focus)
        return;
    // Before DN_INITDIALOG has returned, and outside a run, the focus moves
    // without notifications.
    const bool Notifying = Dialog.Initialised && Dialog.State == THostDialogState::Running;
    if (Notifying && Dialog.Focus >= 0) {
        const intptr_t Wanted = Notify(Dialog, DN_KILLFOCUS, Dialog.Focus, nullptr);
        if (Wanted != -1) {
            if (Wanted < 0 || static_cast<size_t>(Wanted) >= Dialog.Items.size())
                Error(L"DN_KILLFOCUS: the reply " + std::to_wstring(Wanted) + L" is no item of the dialog");
            else if (Wanted == Dialog.Focus)
                return;
            else if (CanFocus(Dialog.Items[static_cast<size_t>(Wanted)]))
                NewFocus = Wanted;
        }
    }
    Dialog.Focus = NewFocus;
    if (Notifying)
        Notify(Dialog, DN_GOTFOCUS, NewFocus, nullptr);
}

void TDialogEngine::StepFocus(THostDialog& Dialog, int Step)
{
    const intptr_t Count = static_cast<intptr_t>(Dialog.Items.size());
    const intptr_t Start = Dialog.Focus >= 0 ? Dialog.Focus : (Step > 0 ? -1 : Count);
    for (intptr_t K = 1; K <= Count; ++K) {
        const intptr_t I = ((Start + Step * K) % Count + Count) % Count;
        if (I == Dialog.Focus)
            return;
        if (CanFocus(Dialog.Items[static_cast<size_t>(I)])) {
            ChangeFocus(Dialog, I);
            return;
        }
    }
}

void TDialogEngine::FocusLeaves(THostDialog& Dialog, intptr_t Index)
{
    if (Dialog.Focus == Index && !CanFocus(Dialog.Items[static_cast<size_t>(Index)]))
        StepFocus(Dialog, 1);
}

bool TDialogEngine::Close(THostDialog& Dialog, intptr_t ExitCode)
{
    if (Dialog.Closing)
        return true;
    if (!Notify(Dialog, DN_CLOSE, ExitCode, nullptr))
        return false;
    Dialog.Closing = true;
    Dialog.ExitCode = ExitCode;
    return true;
}

// A push button, check box or radio button is pressed (click, Space, Enter
// on a push button).
void TDialogEngine::Press(THostDialog& Dialog, intptr_t Index)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    switch (Item.Type) {
    case DI_BUTTON:
        if (!Notify(Dialog, DN_BTNCLICK, Index, nullptr) &&
            !(Dialog.Items[static_cast<size_t>(Index)].Flags & DIF_BTNNOCLOSE))
            Close(Dialog, Index);
        return;
    case DI_CHECKBOX: {
        const intptr_t New = (Item.Flags & DIF_3STATE) ? (Item.Selected + 1) % 3 : (Item.Selected ? 0 : 1);
        if (Notify(Dialog, DN_BTNCLICK, Index, reinterpret_cast<void*>(New)))
            Dialog.Items[static_cast<size_t>(Index)].Selected = New;
        return;
    }
    case DI_RADIOBUTTON:
        if (Notify(Dialog, DN_BTNCLICK, Index, reinterpret_cast<void*>(1)))
            SetCheck(Dialog, Index, BSTATE_CHECKED);
        return;
    default: return;
    }
}

// Enter closes with the default button's index without DN_BTNCLICK, except
// on a push button (pressed) and in a DIF_EDITOR edit (next line). Ctrl+Enter
// is the default button whatever has the focus.
void TDialogEngine::PressEnter(THostDialog& Dialog, bool Ctrl)
{
    intptr_t Default = -1;
    for (size_t I = 0; I < Dialog.Items.size() && Default < 0; ++I)
        if (Dialog.Items[I].Flags & DIF_DEFAULTBUTTON)
            Default = static_cast<intptr_t>(I);
    const THostItem* DefaultItem = Default >= 0 ? &Dialog.Items[static_cast<size_t>(Default)] : nullptr;
    if (Ctrl) {
        if (DefaultItem && !(DefaultItem->Flags & DIF_DISABLE))
            Close(Dialog, Default);
        return;
    }
    if (Dialog.Focus >= 0) {
        const THostItem& Focused = Dialog.Items[static_cast<size_t>(Dialog.Focus)];
        if (Focused.Type == DI_BUTTON) {
            Press(Dialog, Dialog.Focus);
            return;
        }
        // A read-only line of a DIF_EDITOR block leaves Enter to the
        // default button, as the real host does.
        if (IsEdit(Focused.Type) && (Focused.Flags & DIF_EDITOR) && !(Focused.Flags & DIF_READONLY)) {
            StepFocus(Dialog, 1);
            return;
        }
    }
    if (DefaultItem) {
        if (DefaultItem->Flags & DIF_DISABLE)
            return;
        if (!(DefaultItem->Flags & DIF_BTNNOCLOSE)) {
            Close(Dialog, Default);
            return;
        }
    }
    Close(Dialog, Dialog.Focus);
}

// --- input --------------------------------------------------------------------------------

void TDialogEngine::Perform(THostDialog& Dialog, const TDialogAction& Action)
{
    switch (Action.Kind) {
    case TDialogAction::Key: ProcessKey(Dialog, Action.KeyEvent); break;
    case TDialogAction::Click: ProcessClick(Dialog, Action.Item); break;
    case TDialogAction::Select: ProcessSelect(Dialog, Action.Item, Action.Pos); break;
    case TDialogAction::Resize: ProcessResize(Dialog, Action.Width, Action.Height); break;
    case TDialogAction::Wait: {
        // The real host's input loop delivers synchro events while a modal
        // dialog waits for a key.
        const ULONGLONG End = ::GetTickCount64() + Action.Milliseconds;
        for (;;) {
            FHost.DeliverSynchroEvents();
            const ULONGLONG Now = ::GetTickCount64();
            if (Dialog.Closing || Now >= End)
                break;
            FHost.WaitForSynchroEvent(static_cast<DWORD>(End - Now));
        }
        break;
    }
    case TDialogAction::Check:
        if (Action.Fn)
            Action.Fn(Dialog);
        break;
    }
}

void TDialogEngine::ProcessKey(THostDialog& Dialog, const KEY_EVENT_RECORD& Key)
{
    INPUT_RECORD Record{};
    Record.EventType = KEY_EVENT;
    Record.Event.KeyEvent = Key;
    if (Notify(Dialog, DN_CONTROLINPUT, Dialog.Focus, &Record) || Dialog.Closing)
        return;
    const DWORD State = Key.dwControlKeyState;
    const bool Shift = State & SHIFT_PRESSED, Ctrl = State & CtrlKeys, Alt = State & AltKeys;
    const bool Plain = !Shift && !Ctrl && !Alt;
    switch (Key.wVirtualKeyCode) {
    case VK_ESCAPE:
    case VK_F10:
        if (Plain)
            Close(Dialog, -1);
        return;
    case VK_CANCEL:
        if (Ctrl)
            Close(Dialog, -2);
        return;
    case VK_RETURN:
        if (!Shift && !Alt)
            PressEnter(Dialog, Ctrl);
        return;
    case VK_TAB:
        if (!Ctrl && !Alt)
            StepFocus(Dialog, Shift ? -1 : 1);
        return;
    default: break;
    }
    if (Dialog.Focus < 0)
        return;
    const intptr_t Focus = Dialog.Focus;
    const FARDIALOGITEMTYPES Type = Dialog.Items[static_cast<size_t>(Focus)].Type;
    if (Type == DI_LISTBOX) {
        if (Plain)
            ListKey(Dialog, Focus, Key.wVirtualKeyCode);
        return;
    }
    if (IsEdit(Type)) {
        EditKey(Dialog, Focus, Key);
        return;
    }
    if (!Plain)
        return;
    switch (Key.wVirtualKeyCode) {
    case VK_UP:
    case VK_LEFT: StepFocus(Dialog, -1); return;
    case VK_DOWN:
    case VK_RIGHT: StepFocus(Dialog, 1); return;
    case VK_SPACE: Press(Dialog, Focus); return;
    default: return;
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

void TDialogEngine::EditKey(THostDialog& Dialog, intptr_t Index, const KEY_EVENT_RECORD& Key)
{
    THostItem& Edit = Dialog.Items[static_cast<size_t>(Index)];
    const DWORD State = Key.dwControlKeyState;
    const bool Modified = State & (SHIFT_PRESSED | CtrlKeys | AltKeys);
    const bool ReadOnly = Edit.Flags & DIF_READONLY;
    const intptr_t Length = static_cast<intptr_t>(Edit.Data.size());
    const intptr_t Cursor = std::clamp<intptr_t>(Edit.CursorPos, 0, Length);
    switch (Key.wVirtualKeyCode) {
    case VK_UP:
    case VK_DOWN:
        // With Shift, Ctrl or Alt held these are no navigation keys.
        if (!Modified)
            StepFocus(Dialog, Key.wVirtualKeyCode == VK_UP ? -1 : 1);
        return;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
        if (Modified)
            return;
        Edit.Unchanged = false;
        Edit.CursorPos = Key.wVirtualKeyCode == VK_LEFT    ? std::max<intptr_t>(0, Cursor - 1)
                         : Key.wVirtualKeyCode == VK_RIGHT ? std::min(Length, Cursor + 1)
                         : Key.wVirtualKeyCode == VK_HOME  ? 0
                                                           : Length;
        return;
    case VK_BACK:
    case VK_DELETE: {
        if (Modified || ReadOnly)
            return;
        std::wstring New = Edit.Data;
        intptr_t NewCursor = Cursor;
        // An unchanged text is deleted whole, like a selection.
        if (Edit.Unchanged) {
            New.clear();
            NewCursor = 0;
        } else if (Key.wVirtualKeyCode == VK_BACK && Cursor > 0) {
            New.erase(static_cast<size_t>(Cursor - 1), 1);
            --NewCursor;
        } else if (Key.wVirtualKeyCode == VK_DELETE && Cursor < Length) {
            New.erase(static_cast<size_t>(Cursor), 1);
        }
        Edit.Unchanged = false;
        Edit.CursorPos = NewCursor;
        if (New != Edit.Data) {
            Edit.Data = New;
            EditChanged(Dialog, Index);
        }
        return;
    }
    default: break;
    }
    const wchar_t Char = Key.uChar.UnicodeChar;
    if (Char < L' ' || (State & (CtrlKeys | AltKeys)) || ReadOnly)
        return;
    std::wstring New = Edit.Unchanged ? std::wstring() : Edit.Data;
    intptr_t At = Edit.Unchanged ? 0 : Cursor;
    // A masked fixed-width edit (as the real host does it, seen in build
    // 6727: a letter in a "99999" field is not taken, a sixth digit
    // replaces the fifth; a mask on a plain edit does nothing).
    const bool Masked = Edit.Type == DI_FIXEDIT && (Edit.Flags & DIF_MASKEDIT) && !Edit.Mask.empty();
    if (Masked) {
        const size_t Width = Edit.Mask.size();
        At = std::min<intptr_t>(At, static_cast<intptr_t>(Width) - 1);
        if (!MaskTakes(Edit.Mask[static_cast<size_t>(At)], Char))
            return;
        if (New.size() >= Width)
            New.erase(static_cast<size_t>(At), 1);
    } else if (Edit.MaxLength && New.size() >= Edit.MaxLength) {
        return;
    }
    New.insert(static_cast<size_t>(At), 1, Char);
    Edit.Unchanged = false;
    Edit.Data = New;
    Edit.CursorPos = Masked ? std::min<intptr_t>(At + 1, static_cast<intptr_t>(Edit.Mask.size()) - 1) : At + 1;
    EditChanged(Dialog, Index);
}

bool TDialogEngine::MaskTakes(wchar_t MaskChar, wchar_t Char)
{
    switch (MaskChar) {
    case L'9': return Char >= L'0' && Char <= L'9';
    case L'#': return (Char >= L'0' && Char <= L'9') || Char == L' ' || Char == L'+' || Char == L'-';
    default: return true;
    }
}

void TDialogEngine::EditChanged(THostDialog& Dialog, intptr_t Index)
{
    // The plugin gets a temporary copy, valid during the call only.
    std::vector<unsigned char> Copy(PackedSize(Dialog.Items[static_cast<size_t>(Index)]));
    PackItem(Dialog.Items[static_cast<size_t>(Index)], Copy.data());
    Notify(Dialog, DN_EDITCHANGE, Index, Copy.data());
    std::memset(Copy.data(), 0xCD, Copy.size());
}

bool TDialogEngine::MouseInput(THostDialog& Dialog, intptr_t Index, SHORT Row)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    INPUT_RECORD Record{};
    Record.EventType = MOUSE_EVENT;
    Record.Event.MouseEvent.dwMousePosition = COORD{static_cast<SHORT>(Dialog.Rect.Left + Item.X1),
                                                    static_cast<SHORT>(Dialog.Rect.Top + Item.Y1 + Row)};
    Record.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
    return Notify(Dialog, DN_CONTROLINPUT, Index, &Record) != 0 || Dialog.Closing;
}

void TDialogEngine::ProcessClick(THostDialog& Dialog, intptr_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= Dialog.Items.size()) {
        Error(L"dialog script: Click on item " + std::to_wstring(Index) + L", which the dialog does not have");
        return;
    }
    // Nobody can click what is hidden or disabled.
    if (Dialog.Items[static_cast<size_t>(Index)].Flags & (DIF_HIDDEN | DIF_DISABLE))
        return;
    if (MouseInput(Dialog, Index, 0))
        return;
    if (CanFocus(Dialog.Items[static_cast<size_t>(Index)]))
        ChangeFocus(Dialog, Index);
    if (!Dialog.Closing)
        Press(Dialog, Index);
}

void TDialogEngine::ProcessSelect(THostDialog& Dialog, intptr_t Index, intptr_t Pos)
{
    if (Index < 0 || static_cast<size_t>(Index) >= Dialog.Items.size() ||
        Dialog.Items[static_cast<size_t>(Index)].Type != DI_LISTBOX) {
        Error(L"dialog script: Select on item " + std::to_wstring(Index) + L", which is no list box of the dialog");
        return;
    }
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    if (Pos < 0 || static_cast<size_t>(Pos) >= Item.List.Entries.size()) {
        Error(L"dialog script: Select of entry " + std::to_wstring(Pos) + L", which the list does not have");
        return;
    }
    if (Item.Flags & (DIF_HIDDEN | DIF_DISABLE))
        return;
    const SHORT Row = static_cast<SHORT>(((Item.Flags & DIF_LISTNOBOX) ? 0 : 1) + Pos - Item.List.TopPos);
    if (MouseInput(Dialog, Index, Row))
        return;
    if (CanFocus(Dialog.Items[static_cast<size_t>(Index)]))
        ChangeFocus(Dialog, Index);
    const THostList& List = Dialog.Items[static_cast<size_t>(Index)].List;
    if (!Dialog.Closing && static_cast<size_t>(Pos) < List.Entries.size() &&
        EntryFocusable(List.Entries[static_cast<size_t>(Pos)]) && Pos != List.CurPos)
        MoveList(Dialog, Index, Pos, -1);
}

void TDialogEngine::ProcessResize(THostDialog& Dialog, SHORT Width, SHORT Height)
{
    FHost.SetConsoleSize(Width, Height);
    COORD Size{Width, Height};
    Notify(Dialog, DN_RESIZECONSOLE, 0, &Size);
}
