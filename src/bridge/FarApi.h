// Our own declarations of the Far Manager 3 plugin interface (x64), written
// from the measured layout of the host build 6730. Every record's size and
// every field offset we use is checked below, so a slip cannot reach a user.
#pragma once

// The tables below keep the host's own grouping of its values and checks,
// several to a line, which reads against far3-abi.md; clang-format leaves them.
// clang-format off

#include <windows.h>

#include <cstddef>
#include <cstdint>

// windows.h maps these names to A/W variants; the host's tables use them as
// plain member names.
#undef DefDlgProc
#undef GetCurrentDirectory

namespace far3 {

// --- flag types (64-bit on both architectures) ------------------------------
using FARDIALOGITEMFLAGS = unsigned long long;
using LISTITEMFLAGS = unsigned long long;
using PLUGIN_FLAGS = unsigned long long;
using FARMESSAGEFLAGS = unsigned long long;
using FARDIALOGFLAGS = unsigned long long;
using FARLISTFINDFLAGS = unsigned long long;
using FARLISTINFOFLAGS = unsigned long long;
using WINDOWINFO_FLAGS = unsigned long long;
using EDITOR_FLAGS = unsigned long long;

// --- enumerations (4 bytes in records) ---------------------------------------
enum VERSION_STAGE : unsigned int { VS_RELEASE = 0, VS_ALPHA = 1, VS_BETA = 2, VS_RC = 3, VS_SPECIAL = 4, VS_PRIVATE = 5 };

enum OPENFROM : unsigned int {
    OPEN_LEFTDISKMENU = 0, OPEN_PLUGINSMENU = 1, OPEN_FINDLIST = 2, OPEN_SHORTCUT = 3,
    OPEN_COMMANDLINE = 4, OPEN_EDITOR = 5, OPEN_VIEWER = 6, OPEN_FILEPANEL = 7,
    OPEN_DIALOG = 8, OPEN_ANALYSE = 9, OPEN_RIGHTDISKMENU = 10, OPEN_FROMMACRO = 11,
    OPEN_LUAMACRO = 100,
};

enum EDITOR_CONTROL_COMMANDS : unsigned int {
    ECTL_GETSTRING = 0, ECTL_SETSTRING = 1, ECTL_INSERTSTRING = 2, ECTL_DELETESTRING = 3,
    ECTL_DELETECHAR = 4, ECTL_INSERTTEXT = 5, ECTL_GETINFO = 6, ECTL_SETPOSITION = 7,
    ECTL_SELECT = 8, ECTL_REDRAW = 9, ECTL_TABTOREAL = 10, ECTL_REALTOTAB = 11,
    ECTL_EXPANDTABS = 12, ECTL_SETTITLE = 13, ECTL_READINPUT = 14, ECTL_PROCESSINPUT = 15,
    ECTL_ADDCOLOR = 16, ECTL_GETCOLOR = 17, ECTL_SAVEFILE = 18, ECTL_QUIT = 19,
    ECTL_SETKEYBAR = 20, ECTL_SETPARAM = 22, ECTL_GETBOOKMARKS = 23, ECTL_DELETEBLOCK = 25,
    ECTL_ADDSESSIONBOOKMARK = 26, ECTL_PREVSESSIONBOOKMARK = 27, ECTL_NEXTSESSIONBOOKMARK = 28,
    ECTL_CLEARSESSIONBOOKMARKS = 29, ECTL_DELETESESSIONBOOKMARK = 30,
    ECTL_GETSESSIONBOOKMARKS = 31, ECTL_UNDOREDO = 32, ECTL_GETFILENAME = 33,
    ECTL_DELCOLOR = 34, ECTL_SUBSCRIBECHANGEEVENT = 36, ECTL_UNSUBSCRIBECHANGEEVENT = 37,
    ECTL_GETTITLE = 38,
};

// What the Editor service answers (docs/far-editor-windows.md, section 3).
enum EDITOR_EXITCODE : int { EEC_OPEN_ERROR = 0, EEC_MODIFIED = 1, EEC_NOT_MODIFIED = 2, EEC_LOADING_INTERRUPTED = 3 };

enum EDITOR_CURRENTSTATE : unsigned int { ECSTATE_MODIFIED = 1, ECSTATE_SAVED = 2, ECSTATE_LOCKED = 4 };
enum EDITOR_BLOCK_TYPES : unsigned int { BTYPE_NONE = 0, BTYPE_STREAM = 1, BTYPE_COLUMN = 2 };

enum ADVANCED_CONTROL_COMMANDS : unsigned int {
    ACTL_GETFARMANAGERVERSION = 0, ACTL_WAITKEY = 2, ACTL_GETCOLOR = 3, ACTL_GETARRAYCOLOR = 4,
    ACTL_GETWINDOWINFO = 6, ACTL_GETWINDOWCOUNT = 7, ACTL_SETCURRENTWINDOW = 8, ACTL_COMMIT = 9,
    ACTL_GETFARHWND = 10, ACTL_SETARRAYCOLOR = 16, ACTL_REDRAWALL = 19, ACTL_SYNCHRO = 20,
    ACTL_SETPROGRESSSTATE = 21, ACTL_SETPROGRESSVALUE = 22, ACTL_QUIT = 23, ACTL_GETFARRECT = 24,
    ACTL_GETCURSORPOS = 25, ACTL_SETCURSORPOS = 26, ACTL_PROGRESSNOTIFY = 27,
    ACTL_GETWINDOWTYPE = 28,
};

enum FARDIALOGITEMTYPES : unsigned int {
    DI_TEXT = 0, DI_VTEXT = 1, DI_SINGLEBOX = 2, DI_DOUBLEBOX = 3, DI_EDIT = 4, DI_PSWEDIT = 5,
    DI_FIXEDIT = 6, DI_BUTTON = 7, DI_CHECKBOX = 8, DI_RADIOBUTTON = 9, DI_COMBOBOX = 10,
    DI_LISTBOX = 11, DI_USERCONTROL = 255,
};

enum FARMESSAGE : unsigned int {
    DM_FIRST = 0, DM_CLOSE = 1, DM_ENABLE = 2, DM_ENABLEREDRAW = 3, DM_GETDLGDATA = 4,
    DM_GETDLGITEM = 5, DM_GETDLGRECT = 6, DM_GETTEXT = 7, DM_KEY = 9, DM_MOVEDIALOG = 10,
    DM_SETDLGDATA = 11, DM_SETDLGITEM = 12, DM_SETFOCUS = 13, DM_REDRAW = 14, DM_SETTEXT = 15,
    DM_SETMAXTEXTLENGTH = 16, DM_SHOWDIALOG = 17, DM_GETFOCUS = 18, DM_GETCURSORPOS = 19,
    DM_SETCURSORPOS = 20, DM_SETTEXTPTR = 22, DM_SHOWITEM = 23, DM_ADDHISTORY = 24,
    DM_GETCHECK = 25, DM_SETCHECK = 26, DM_SET3STATE = 27, DM_LISTSORT = 28,
    DM_LISTGETITEM = 29, DM_LISTGETCURPOS = 30, DM_LISTSETCURPOS = 31, DM_LISTDELETE = 32,
    DM_LISTADD = 33, DM_LISTADDSTR = 34, DM_LISTUPDATE = 35, DM_LISTINSERT = 36,
    DM_LISTFINDSTRING = 37, DM_LISTINFO = 38, DM_LISTGETDATA = 39, DM_LISTSETDATA = 40,
    DM_LISTSETTITLES = 41, DM_LISTGETTITLES = 42, DM_RESIZEDIALOG = 43, DM_SETITEMPOSITION = 44,
    DM_GETDROPDOWNOPENED = 45, DM_SETDROPDOWNOPENED = 46, DM_SETHISTORY = 47,
    DM_GETITEMPOSITION = 48, DM_SETINPUTNOTIFY = 49, DM_SETMOUSEEVENTNOTIFY = 49,
    DM_EDITUNCHANGEDFLAG = 50, DM_GETITEMDATA = 51, DM_SETITEMDATA = 52, DM_LISTSET = 53,
    DM_GETCURSORSIZE = 54, DM_SETCURSORSIZE = 55, DM_LISTGETDATASIZE = 56,
    DM_GETSELECTION = 57, DM_SETSELECTION = 58, DM_GETEDITPOSITION = 59,
    DM_SETEDITPOSITION = 60, DM_SETCOMBOBOXEVENT = 61, DM_GETCOMBOBOXEVENT = 62,
    DM_GETCONSTTEXTPTR = 63, DM_GETDLGITEMSHORT = 64, DM_SETDLGITEMSHORT = 65,
    DM_GETDIALOGINFO = 66, DM_GETDIALOGTITLE = 67,
    DN_FIRST = 4096, DN_BTNCLICK = 4097, DN_CTLCOLORDIALOG = 4098, DN_CTLCOLORDLGITEM = 4099,
    DN_CTLCOLORDLGLIST = 4100, DN_DRAWDIALOG = 4101, DN_DRAWDLGITEM = 4102,
    DN_EDITCHANGE = 4103, DN_GOTFOCUS = 4105, DN_HELP = 4106, DN_HOTKEY = 4107,
    DN_INITDIALOG = 4108, DN_KILLFOCUS = 4109, DN_LISTCHANGE = 4110, DN_DRAGGED = 4111,
    DN_RESIZECONSOLE = 4112, DN_DRAWDIALOGDONE = 4113, DN_LISTHOTKEY = 4114, DN_INPUT = 4115,
    DN_CONTROLINPUT = 4116, DN_CLOSE = 4117, DN_GETVALUE = 4118, DN_DROPDOWNOPENED = 4119,
    DN_DRAWDLGITEMDONE = 4120,
    DM_USER = 0x4000,
};

enum FARCHECKEDSTATE : unsigned int { BSTATE_UNCHECKED = 0, BSTATE_CHECKED = 1, BSTATE_3STATE = 2, BSTATE_TOGGLE = 3 };

enum FAR_SETTINGS_CONTROL_COMMANDS : unsigned int {
    SCTL_CREATE = 0, SCTL_FREE = 1, SCTL_SET = 2, SCTL_GET = 3, SCTL_ENUM = 4, SCTL_DELETE = 5,
    SCTL_CREATESUBKEY = 6, SCTL_OPENSUBKEY = 7,
};
enum FARSETTINGSTYPES : unsigned int { FST_UNKNOWN = 0, FST_SUBKEY = 1, FST_QWORD = 2, FST_STRING = 3, FST_DATA = 4 };
enum FARSETTINGS_SUBFOLDERS : unsigned int { FSSF_ROOT = 0 };
enum FAR_PLUGIN_SETTINGS_LOCATION : unsigned int { PSL_ROAMING = 0, PSL_LOCAL = 1 };

enum FARMACROVARTYPE : unsigned int {
    FMVT_UNKNOWN = 0, FMVT_INTEGER = 1, FMVT_STRING = 2, FMVT_DOUBLE = 3, FMVT_BOOLEAN = 4,
    FMVT_BINARY = 5, FMVT_POINTER = 6, FMVT_NIL = 7, FMVT_ARRAY = 8, FMVT_PANEL = 9,
    FMVT_ERROR = 10, FMVT_MBSTRING = 11, FMVT_NEWTABLE = 12, FMVT_SETTABLE = 13,
    FMVT_DIALOG = 14, FMVT_TABLE = 15, FMVT_GETTABLE = 16, FMVT_STACKPOP = 17,
    FMVT_STACKGETTOP = 18, FMVT_STACKSETTOP = 19, FMVT_STACKPUSHVALUE = 20, FMVT_NEXT = 21,
};

enum SYNCHRO_EVENTS : unsigned int { SE_COMMONSYNCHRO = 0, SE_FOLDERCHANGED = 1 };

// ProcessEditorEventInfo.Event (docs/far-editor-events.md). EE_CHANGE comes
// only to a plugin that subscribed to an editor's changes.
enum EDITOR_EVENTS : unsigned int {
    EE_READ = 0, EE_SAVE = 1, EE_REDRAW = 2, EE_CLOSE = 3, EE_GOTFOCUS = 6, EE_KILLFOCUS = 7, EE_CHANGE = 8,
};

enum WINDOWINFO_TYPE : int {
    WTYPE_UNKNOWN = -1, WTYPE_DESKTOP = 0, WTYPE_PANELS = 1, WTYPE_VIEWER = 2, WTYPE_EDITOR = 3,
    WTYPE_DIALOG = 4, WTYPE_VMENU = 5, WTYPE_HELP = 6, WTYPE_COMBOBOX = 7, WTYPE_GRABBER = 8,
    WTYPE_HMENU = 9,
};

// --- 64-bit flag constants ----------------------------------------------------
inline constexpr PLUGIN_FLAGS PF_NONE = 0, PF_PRELOAD = 0x1, PF_DISABLEPANELS = 0x2,
    PF_EDITOR = 0x4, PF_VIEWER = 0x8, PF_FULLCMDLINE = 0x10, PF_DIALOG = 0x20;

inline constexpr FARMESSAGEFLAGS FMSG_NONE = 0, FMSG_WARNING = 0x1, FMSG_ERRORTYPE = 0x2,
    FMSG_KEEPBACKGROUND = 0x4, FMSG_LEFTALIGN = 0x8, FMSG_ALLINONE = 0x10,
    FMSG_MB_OK = 0x10000, FMSG_MB_OKCANCEL = 0x20000, FMSG_MB_ABORTRETRYIGNORE = 0x30000,
    FMSG_MB_YESNO = 0x40000, FMSG_MB_YESNOCANCEL = 0x50000, FMSG_MB_RETRYCANCEL = 0x60000,
    FMSG_MB_MASK = 0xF0000;

inline constexpr FARDIALOGITEMFLAGS DIF_NONE = 0, DIF_BOXCOLOR = 0x200, DIF_GROUP = 0x400,
    DIF_LEFTTEXT = 0x800, DIF_MOVESELECT = 0x1000, DIF_SHOWAMPERSAND = 0x2000,
    DIF_CENTERGROUP = 0x4000, DIF_NOBRACKETS = 0x8000, DIF_MANUALADDHISTORY = 0x8000,
    DIF_SEPARATOR = 0x10000, DIF_SEPARATOR2 = 0x20000, DIF_EDITOR = 0x20000,
    DIF_LISTNOAMPERSAND = 0x20000, DIF_LISTNOBOX = 0x40000, DIF_HISTORY = 0x40000,
    DIF_BTNNOCLOSE = 0x40000, DIF_CENTERTEXT = 0x40000, DIF_SEPARATORUSER = 0x80000,
    DIF_SETSHIELD = 0x80000, DIF_EDITEXPAND = 0x80000, DIF_DROPDOWNLIST = 0x100000,
    DIF_USELASTHISTORY = 0x200000, DIF_MASKEDIT = 0x400000, DIF_LISTTRACKMOUSE = 0x400000,
    DIF_LISTTRACKMOUSEINFOCUS = 0x800000, DIF_SELECTONENTRY = 0x800000, DIF_3STATE = 0x800000,
    DIF_EDITPATH = 0x1000000, DIF_LISTWRAPMODE = 0x1000000, DIF_NOAUTOCOMPLETE = 0x2000000,
    DIF_LISTAUTOHIGHLIGHT = 0x2000000, DIF_LISTNOCLOSE = 0x4000000,
    DIF_EDITPATHEXEC = 0x4000000, DIF_HIDDEN = 0x10000000, DIF_READONLY = 0x20000000,
    DIF_NOFOCUS = 0x40000000, DIF_DISABLE = 0x80000000, DIF_DEFAULTBUTTON = 0x100000000,
    DIF_FOCUS = 0x200000000, DIF_RIGHTTEXT = 0x400000000, DIF_WORDWRAP = 0x800000000,
    DIF_HOMEITEM = 0x2000000000;

inline constexpr LISTITEMFLAGS LIF_NONE = 0, LIF_SELECTED = 0x10000, LIF_CHECKED = 0x20000,
    LIF_SEPARATOR = 0x40000, LIF_DISABLE = 0x80000, LIF_GRAYED = 0x100000,
    LIF_HIDDEN = 0x200000, LIF_DELETEUSERDATA = 0x80000000;

inline constexpr FARLISTINFOFLAGS LINFO_NONE = 0, LINFO_SHOWNOBOX = 0x400,
    LINFO_AUTOHIGHLIGHT = 0x800, LINFO_REVERSEHIGHLIGHT = 0x1000, LINFO_WRAPMODE = 0x8000,
    LINFO_SHOWAMPERSAND = 0x10000;

inline constexpr FARLISTFINDFLAGS LIFIND_NONE = 0, LIFIND_EXACTMATCH = 0x1;

inline constexpr FARDIALOGFLAGS FDLG_NONE = 0, FDLG_WARNING = 0x1, FDLG_SMALLDIALOG = 0x2,
    FDLG_NODRAWSHADOW = 0x4, FDLG_NODRAWPANEL = 0x8, FDLG_KEEPCONSOLETITLE = 0x10,
    FDLG_NONMODAL = 0x20, FDLG_STAY_ON_TOP = 0x40;

inline constexpr WINDOWINFO_FLAGS WIF_NONE = 0, WIF_MODIFIED = 0x1, WIF_CURRENT = 0x2, WIF_MODAL = 0x4;

// The Editor service's flags, from docs/far-editor-windows.md (section 2).
inline constexpr EDITOR_FLAGS EF_NONMODAL = 0x1, EF_CREATENEW = 0x2, EF_ENABLE_F6 = 0x4,
    EF_DISABLEHISTORY = 0x8, EF_DELETEONCLOSE = 0x10, EF_IMMEDIATERETURN = 0x100,
    EF_DELETEONLYFILEONCLOSE = 0x200, EF_LOCKED = 0x400, EF_DISABLESAVEPOS = 0x800,
    EF_OPENMODE_MASK = 0xF0000000, EF_OPENMODE_QUERY = 0x0, EF_OPENMODE_NEWIFOPEN = 0x10000000,
    EF_OPENMODE_USEEXISTING = 0x20000000, EF_OPENMODE_BREAKIFOPEN = 0x30000000,
    EF_OPENMODE_RELOADIFOPEN = 0x40000000;

inline constexpr intptr_t CURRENT_EDITOR = -1;
inline constexpr uintptr_t CP_DEFAULT = static_cast<uintptr_t>(-1);
inline constexpr uintptr_t CP_REDETECT = static_cast<uintptr_t>(-2);
inline constexpr uintptr_t CP_UTF16LE = 1200, CP_UTF16BE = 1201;

// --- records -----------------------------------------------------------------
struct VersionInfo {
    DWORD Major;
    DWORD Minor;
    DWORD Revision;
    DWORD Build;
    VERSION_STAGE Stage;
};

inline constexpr VersionInfo MakeFarVersion(DWORD Major, DWORD Minor, DWORD Revision, DWORD Build,
                                            VERSION_STAGE Stage = VS_RELEASE)
{
    return VersionInfo{Major, Minor, Revision, Build, Stage};
}

struct GlobalInfo {
    size_t StructSize;
    VersionInfo MinFarVersion;
    VersionInfo Version;
    GUID Guid;
    const wchar_t* Title;
    const wchar_t* Description;
    const wchar_t* Author;
    void* Instance;
};

struct PluginMenuItem {
    const GUID* Guids;
    const wchar_t* const* Strings;
    size_t Count;
};

struct PluginInfo {
    size_t StructSize;
    PLUGIN_FLAGS Flags;
    PluginMenuItem DiskMenu;
    PluginMenuItem PluginMenu;
    PluginMenuItem PluginConfig;
    const wchar_t* CommandPrefix;
    void* Instance;
};

struct OpenInfo {
    size_t StructSize;
    OPENFROM OpenFrom;
    const GUID* Guid;
    intptr_t Data;
    void* Instance;
};

struct FarMacroValue {
    FARMACROVARTYPE Type;
    union {
        long long Integer;
        long long Boolean;
        double Double;
        const wchar_t* String;
        const char* MBString;
        void* Pointer;
        struct {
            void* Data;
            size_t Size;
        } Binary;
        struct {
            FarMacroValue* Values;
            size_t Count;
        } Array;
    };
};

struct OpenMacroInfo {
    size_t StructSize;
    size_t Count;
    FarMacroValue* Values;
};

struct ConfigureInfo {
    size_t StructSize;
    const GUID* Guid;
    void* Instance;
};

struct ExitInfo {
    size_t StructSize;
    void* Instance;
};

struct ProcessSynchroEventInfo {
    size_t StructSize;
    intptr_t Event;
    void* Param;
    void* Instance;
};

// What ProcessEditorEventW gets: 40 bytes on x64 in build 6727, measured.
struct ProcessEditorEventInfo {
    size_t StructSize;
    intptr_t Event;
    void* Param;
    intptr_t EditorID;
    void* Instance;
};

// ECTL_SUBSCRIBECHANGEEVENT's Param2: from then on the plugin gets EE_CHANGE
// for that editor. EE_CHANGE's Param is an EditorChange: a line changed (0),
// was added (1) or was deleted (2).
struct EditorSubscribeChangeEvent {
    size_t StructSize;
    GUID PluginId;
};

struct EditorChange {
    size_t StructSize;
    intptr_t Type;
    intptr_t StringNumber;
};

// EE_SAVE's Param: the name the file is about to be written under (the new
// one on a save under another name), its line break and code page.
struct EditorSaveFile {
    size_t StructSize;
    const wchar_t* FileName;
    const wchar_t* FileEOL;
    uintptr_t CodePage;
};

struct EditorInfo {
    size_t StructSize;
    intptr_t EditorID;
    intptr_t WindowSizeX;
    intptr_t WindowSizeY;
    intptr_t TotalLines;
    intptr_t CurLine;
    intptr_t CurPos;
    intptr_t CurTabPos;
    intptr_t TopScreenLine;
    intptr_t LeftPos;
    intptr_t Overtype;
    intptr_t BlockType;
    intptr_t BlockStartLine;
    uintptr_t Options;
    intptr_t TabSize;
    size_t BookmarkCount;
    size_t SessionBookmarkCount;
    uintptr_t CurState;
    uintptr_t CodePage;
    RECT WindowArea;
    RECT ClientArea;
};
// The host accepts an EditorInfo from the end of CodePage on.
inline constexpr size_t EditorInfoMinSize = 152;

struct EditorGetString {
    size_t StructSize;
    intptr_t StringNumber;
    intptr_t StringLength;
    const wchar_t* StringText;
    const wchar_t* StringEOL;
    intptr_t SelStart;
    intptr_t SelEnd;
};

struct EditorSetPosition {
    size_t StructSize;
    intptr_t CurLine;
    intptr_t CurPos;
    intptr_t CurTabPos;
    intptr_t TopScreenLine;
    intptr_t LeftPos;
    intptr_t Overtype;
};

struct FarList;

struct FarDialogItem {
    FARDIALOGITEMTYPES Type;
    intptr_t X1, Y1, X2, Y2;
    union {
        intptr_t Selected;
        FarList* ListItems;
        struct FAR_CHAR_INFO* VBuf;
        intptr_t Reserved0;
    };
    const wchar_t* History;
    const wchar_t* Mask;
    FARDIALOGITEMFLAGS Flags;
    const wchar_t* Data;
    size_t MaxLength;
    intptr_t UserData;
    intptr_t Reserved[2];
};

struct FarDialogItemData {
    size_t StructSize;
    size_t PtrLength;
    wchar_t* PtrData;
};

struct FarGetDialogItem {
    size_t StructSize;
    size_t Size;
    FarDialogItem* Item;
};

struct FarListItem {
    LISTITEMFLAGS Flags;
    const wchar_t* Text;
    intptr_t UserData;
    intptr_t Reserved;
};

struct FarList {
    size_t StructSize;
    size_t ItemsNumber;
    FarListItem* Items;
};

struct FarListPos {
    size_t StructSize;
    intptr_t SelectPos;
    intptr_t TopPos;
};

struct FarListUpdate {
    size_t StructSize;
    intptr_t Index;
    FarListItem Item;
};

struct FarListInfo {
    size_t StructSize;
    FARLISTINFOFLAGS Flags;
    size_t ItemsNumber;
    intptr_t SelectPos;
    intptr_t TopPos;
    intptr_t MaxHeight;
    intptr_t MaxLength;
};

struct FarListGetItem {
    size_t StructSize;
    intptr_t ItemIndex;
    FarListItem Item;
};

struct FarListInsert {
    size_t StructSize;
    intptr_t Index;
    FarListItem Item;
};

struct FarListDelete {
    size_t StructSize;
    intptr_t StartIndex;
    intptr_t Count;
};

struct FarListFind {
    size_t StructSize;
    intptr_t StartIndex;
    const wchar_t* Pattern;
    FARLISTFINDFLAGS Flags;
};

struct FarListTitles {
    size_t StructSize;
    size_t TitleSize;
    const wchar_t* Title;
    size_t BottomSize;
    const wchar_t* Bottom;
};

struct FarSettingsCreate {
    size_t StructSize;
    GUID Guid;
    HANDLE Handle;
};

struct FarSettingsValue {
    size_t StructSize;
    size_t Root;
    const wchar_t* Value;
};

struct FarSettingsItem {
    size_t StructSize;
    size_t Root;
    const wchar_t* Name;
    FARSETTINGSTYPES Type;
    union {
        unsigned long long Number;
        const wchar_t* String;
        struct {
            size_t Size;
            const void* Data;
        } Data;
    };
};

struct WindowInfo {
    size_t StructSize;
    intptr_t Id;
    wchar_t* TypeName;
    wchar_t* Name;
    intptr_t TypeNameSize;
    intptr_t NameSize;
    intptr_t Pos;
    WINDOWINFO_TYPE Type;
    WINDOWINFO_FLAGS Flags;
};

struct WindowType {
    size_t StructSize;
    WINDOWINFO_TYPE Type;
};

struct DialogInfo {
    size_t StructSize;
    GUID Id;
    GUID Owner;
};

// --- service tables ----------------------------------------------------------
using FARWINDOWPROC = intptr_t(WINAPI*)(HANDLE hDlg, intptr_t Msg, intptr_t Param1, void* Param2);
using FARAPIVOID = void(WINAPI*)(); // a slot whose signature we never call

using FARAPIMESSAGE = intptr_t(WINAPI*)(const GUID* PluginId, const GUID* Id, FARMESSAGEFLAGS Flags,
                                        const wchar_t* HelpTopic, const wchar_t* const* Items,
                                        size_t ItemsNumber, intptr_t ButtonsNumber);
using FARAPIGETMSG = const wchar_t*(WINAPI*)(const GUID* PluginId, intptr_t MsgId);
using FARAPISAVESCREEN = HANDLE(WINAPI*)(intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2);
using FARAPIRESTORESCREEN = void(WINAPI*)(HANDLE hScreen);
using FARAPIFREESCREEN = void(WINAPI*)(HANDLE hScreen);
using FARAPIEDITOR = intptr_t(WINAPI*)(const wchar_t* FileName, const wchar_t* Title, intptr_t X1, intptr_t Y1,
                                       intptr_t X2, intptr_t Y2, EDITOR_FLAGS Flags, intptr_t StartLine,
                                       intptr_t StartChar, uintptr_t CodePage);
using FARAPIEDITORCONTROL = intptr_t(WINAPI*)(intptr_t EditorID, EDITOR_CONTROL_COMMANDS Command,
                                              intptr_t Param1, void* Param2);
using FARAPIADVCONTROL = intptr_t(WINAPI*)(const GUID* PluginId, ADVANCED_CONTROL_COMMANDS Command,
                                           intptr_t Param1, void* Param2);
using FARAPIDIALOGINIT = HANDLE(WINAPI*)(const GUID* PluginId, const GUID* Id, intptr_t X1, intptr_t Y1,
                                         intptr_t X2, intptr_t Y2, const wchar_t* HelpTopic,
                                         const FarDialogItem* Item, size_t ItemsNumber,
                                         intptr_t Reserved, FARDIALOGFLAGS Flags,
                                         FARWINDOWPROC DlgProc, void* Param);
using FARAPIDIALOGRUN = intptr_t(WINAPI*)(HANDLE hDlg);
using FARAPIDIALOGFREE = void(WINAPI*)(HANDLE hDlg);
using FARAPISENDDLGMESSAGE = intptr_t(WINAPI*)(HANDLE hDlg, intptr_t Msg, intptr_t Param1, void* Param2);
using FARAPIDEFDLGPROC = intptr_t(WINAPI*)(HANDLE hDlg, intptr_t Msg, intptr_t Param1, void* Param2);
using FARAPISETTINGSCONTROL = intptr_t(WINAPI*)(HANDLE hHandle, FAR_SETTINGS_CONTROL_COMMANDS Command,
                                                intptr_t Param1, void* Param2);
using FARSTDTRUNCPATHSTR = wchar_t*(WINAPI*)(wchar_t* Str, intptr_t MaxLength);

struct FarStandardFunctions {
    size_t StructSize;
    FARAPIVOID atoi, atoi64, itoa, itoa64, sprintf, sscanf, qsort, bsearch, snprintf;
    FARAPIVOID LIsLower, LIsUpper, LIsAlpha, LIsAlphanum, LUpper, LLower, LUpperBuf, LLowerBuf;
    FARAPIVOID LStrupr, LStrlwr, LStricmp, LStrnicmp, Unquote, LTrim, RTrim, Trim, TruncStr;
    FARSTDTRUNCPATHSTR TruncPathStr;
    FARAPIVOID QuoteSpaceOnly, PointToName, GetPathRoot, AddEndSlash, CopyToClipboard;
    FARAPIVOID PasteFromClipboard, FarInputRecordToName, FarNameToInputRecord, XLat;
    FARAPIVOID GetFileOwner, GetNumberOfLinks, FarRecursiveSearch, MkTemp, ProcessName, MkLink;
    FARAPIVOID ConvertPath, GetReparsePointInfo, GetCurrentDirectory, FormatFileSize, FarClock;
    FARAPIVOID CompareStrings, DetectCodePage;
};

struct PluginStartupInfo {
    size_t StructSize;
    const wchar_t* ModuleName;
    FARAPIVOID Menu;
    FARAPIMESSAGE Message;
    FARAPIGETMSG GetMsg;
    FARAPIVOID PanelControl;
    FARAPISAVESCREEN SaveScreen;
    FARAPIRESTORESCREEN RestoreScreen;
    FARAPIVOID GetDirList, GetPluginDirList, FreeDirList, FreePluginDirList, Viewer;
    FARAPIEDITOR Editor;
    FARAPIVOID Text;
    FARAPIEDITORCONTROL EditorControl;
    FarStandardFunctions* FSF;
    FARAPIVOID ShowHelp;
    FARAPIADVCONTROL AdvControl;
    FARAPIVOID InputBox, ColorDialog;
    FARAPIDIALOGINIT DialogInit;
    FARAPIDIALOGRUN DialogRun;
    FARAPIDIALOGFREE DialogFree;
    FARAPISENDDLGMESSAGE SendDlgMessage;
    FARAPIDEFDLGPROC DefDlgProc;
    FARAPIVOID ViewerControl, PluginsControl, FileFilterControl, RegExpControl, MacroControl;
    FARAPISETTINGSCONTROL SettingsControl;
    const void* Private;
    void* Instance;
    FARAPIFREESCREEN FreeScreen;
};

// What this plugin copies of the host's tables: the start-up record up to and
// including Private, the standard functions up to and including FormatFileSize.
inline constexpr size_t PluginStartupInfoCopySize = 264;
inline constexpr size_t StandardFunctionsCopySize = 376;
// What GetGlobalInfoW and GetPluginInfoW fill in: each record up to its
// Instance field, which the host owns.
inline constexpr size_t GlobalInfoFillSize = 88;
inline constexpr size_t PluginInfoFillSize = 96;

// --- exports -----------------------------------------------------------------
using SETSTARTUPINFOW = void(WINAPI*)(const PluginStartupInfo*);
using GETGLOBALINFOW = void(WINAPI*)(GlobalInfo*);
using GETPLUGININFOW = void(WINAPI*)(PluginInfo*);
using OPENW = HANDLE(WINAPI*)(const OpenInfo*);
using CONFIGUREW = intptr_t(WINAPI*)(const ConfigureInfo*);
using EXITFARW = void(WINAPI*)(const ExitInfo*);
using PROCESSSYNCHROEVENTW = intptr_t(WINAPI*)(const ProcessSynchroEventInfo*);
using PROCESSEDITOREVENTW = intptr_t(WINAPI*)(const ProcessEditorEventInfo*);

// --- layout checks (x64) -----------------------------------------------------
#define FAR3_CHECK(T, Size) static_assert(sizeof(T) == (Size), #T " size")
#define FAR3_AT(T, F, Off) static_assert(offsetof(T, F) == (Off), #T "." #F " offset")

static_assert(sizeof(void*) == 8, "the plugin is built for x64 only");
FAR3_CHECK(GUID, 16);
FAR3_CHECK(VersionInfo, 20);
FAR3_AT(VersionInfo, Build, 12); FAR3_AT(VersionInfo, Stage, 16);
FAR3_CHECK(GlobalInfo, 96);
FAR3_AT(GlobalInfo, MinFarVersion, 8); FAR3_AT(GlobalInfo, Version, 28); FAR3_AT(GlobalInfo, Guid, 48);
FAR3_AT(GlobalInfo, Title, 64); FAR3_AT(GlobalInfo, Description, 72); FAR3_AT(GlobalInfo, Author, 80);
FAR3_AT(GlobalInfo, Instance, 88);
FAR3_CHECK(PluginMenuItem, 24);
FAR3_AT(PluginMenuItem, Strings, 8); FAR3_AT(PluginMenuItem, Count, 16);
FAR3_CHECK(PluginInfo, 104);
FAR3_AT(PluginInfo, Flags, 8); FAR3_AT(PluginInfo, DiskMenu, 16); FAR3_AT(PluginInfo, PluginMenu, 40);
FAR3_AT(PluginInfo, PluginConfig, 64); FAR3_AT(PluginInfo, CommandPrefix, 88); FAR3_AT(PluginInfo, Instance, 96);
FAR3_CHECK(OpenInfo, 40);
FAR3_AT(OpenInfo, OpenFrom, 8); FAR3_AT(OpenInfo, Guid, 16); FAR3_AT(OpenInfo, Data, 24); FAR3_AT(OpenInfo, Instance, 32);
FAR3_CHECK(OpenMacroInfo, 24);
FAR3_AT(OpenMacroInfo, Count, 8); FAR3_AT(OpenMacroInfo, Values, 16);
FAR3_CHECK(FarMacroValue, 24);
FAR3_AT(FarMacroValue, Integer, 8); FAR3_AT(FarMacroValue, Double, 8); FAR3_AT(FarMacroValue, String, 8);
FAR3_AT(FarMacroValue, Binary.Data, 8); FAR3_AT(FarMacroValue, Binary.Size, 16);
FAR3_AT(FarMacroValue, Array.Values, 8); FAR3_AT(FarMacroValue, Array.Count, 16);
FAR3_CHECK(ConfigureInfo, 24);
FAR3_AT(ConfigureInfo, Guid, 8); FAR3_AT(ConfigureInfo, Instance, 16);
FAR3_CHECK(ExitInfo, 16);
FAR3_CHECK(ProcessSynchroEventInfo, 32);
FAR3_AT(ProcessSynchroEventInfo, Event, 8); FAR3_AT(ProcessSynchroEventInfo, Param, 16);
FAR3_AT(ProcessSynchroEventInfo, Instance, 24);
FAR3_CHECK(ProcessEditorEventInfo, 40);
FAR3_AT(ProcessEditorEventInfo, Event, 8); FAR3_AT(ProcessEditorEventInfo, Param, 16);
FAR3_AT(ProcessEditorEventInfo, EditorID, 24); FAR3_AT(ProcessEditorEventInfo, Instance, 32);
FAR3_CHECK(EditorSubscribeChangeEvent, 24);
FAR3_AT(EditorSubscribeChangeEvent, PluginId, 8);
FAR3_CHECK(EditorChange, 24);
FAR3_AT(EditorChange, Type, 8); FAR3_AT(EditorChange, StringNumber, 16);
FAR3_CHECK(EditorSaveFile, 32);
FAR3_AT(EditorSaveFile, FileName, 8); FAR3_AT(EditorSaveFile, FileEOL, 16); FAR3_AT(EditorSaveFile, CodePage, 24);
FAR3_CHECK(EditorInfo, 184);
FAR3_AT(EditorInfo, EditorID, 8); FAR3_AT(EditorInfo, WindowSizeX, 16); FAR3_AT(EditorInfo, WindowSizeY, 24);
FAR3_AT(EditorInfo, TotalLines, 32); FAR3_AT(EditorInfo, CurLine, 40); FAR3_AT(EditorInfo, CurPos, 48);
FAR3_AT(EditorInfo, CurTabPos, 56); FAR3_AT(EditorInfo, TopScreenLine, 64); FAR3_AT(EditorInfo, LeftPos, 72);
FAR3_AT(EditorInfo, Overtype, 80); FAR3_AT(EditorInfo, BlockType, 88); FAR3_AT(EditorInfo, BlockStartLine, 96);
FAR3_AT(EditorInfo, Options, 104); FAR3_AT(EditorInfo, TabSize, 112); FAR3_AT(EditorInfo, BookmarkCount, 120);
FAR3_AT(EditorInfo, SessionBookmarkCount, 128); FAR3_AT(EditorInfo, CurState, 136);
FAR3_AT(EditorInfo, CodePage, 144); FAR3_AT(EditorInfo, WindowArea, 152); FAR3_AT(EditorInfo, ClientArea, 168);
FAR3_CHECK(EditorGetString, 56);
FAR3_AT(EditorGetString, StringNumber, 8); FAR3_AT(EditorGetString, StringLength, 16);
FAR3_AT(EditorGetString, StringText, 24); FAR3_AT(EditorGetString, StringEOL, 32);
FAR3_AT(EditorGetString, SelStart, 40); FAR3_AT(EditorGetString, SelEnd, 48);
FAR3_CHECK(EditorSetPosition, 56);
FAR3_AT(EditorSetPosition, CurLine, 8); FAR3_AT(EditorSetPosition, CurPos, 16); FAR3_AT(EditorSetPosition, CurTabPos, 24);
FAR3_AT(EditorSetPosition, TopScreenLine, 32); FAR3_AT(EditorSetPosition, LeftPos, 40);
FAR3_AT(EditorSetPosition, Overtype, 48);
FAR3_CHECK(FarDialogItem, 112);
FAR3_AT(FarDialogItem, X1, 8); FAR3_AT(FarDialogItem, Y1, 16); FAR3_AT(FarDialogItem, X2, 24);
FAR3_AT(FarDialogItem, Y2, 32); FAR3_AT(FarDialogItem, Selected, 40); FAR3_AT(FarDialogItem, ListItems, 40);
FAR3_AT(FarDialogItem, History, 48); FAR3_AT(FarDialogItem, Mask, 56); FAR3_AT(FarDialogItem, Flags, 64);
FAR3_AT(FarDialogItem, Data, 72); FAR3_AT(FarDialogItem, MaxLength, 80); FAR3_AT(FarDialogItem, UserData, 88);
FAR3_AT(FarDialogItem, Reserved, 96);
FAR3_CHECK(FarDialogItemData, 24);
FAR3_AT(FarDialogItemData, PtrLength, 8); FAR3_AT(FarDialogItemData, PtrData, 16);
FAR3_CHECK(FarGetDialogItem, 24);
FAR3_AT(FarGetDialogItem, Size, 8); FAR3_AT(FarGetDialogItem, Item, 16);
FAR3_CHECK(FarListItem, 32);
FAR3_AT(FarListItem, Text, 8); FAR3_AT(FarListItem, UserData, 16); FAR3_AT(FarListItem, Reserved, 24);
FAR3_CHECK(FarList, 24);
FAR3_AT(FarList, ItemsNumber, 8); FAR3_AT(FarList, Items, 16);
FAR3_CHECK(FarListPos, 24);
FAR3_AT(FarListPos, SelectPos, 8); FAR3_AT(FarListPos, TopPos, 16);
FAR3_CHECK(FarListUpdate, 48);
FAR3_AT(FarListUpdate, Index, 8); FAR3_AT(FarListUpdate, Item, 16);
FAR3_CHECK(FarListInfo, 56);
FAR3_AT(FarListInfo, Flags, 8); FAR3_AT(FarListInfo, ItemsNumber, 16); FAR3_AT(FarListInfo, SelectPos, 24);
FAR3_AT(FarListInfo, TopPos, 32); FAR3_AT(FarListInfo, MaxHeight, 40); FAR3_AT(FarListInfo, MaxLength, 48);
FAR3_CHECK(FarListGetItem, 48);
FAR3_AT(FarListGetItem, ItemIndex, 8); FAR3_AT(FarListGetItem, Item, 16);
FAR3_CHECK(FarListInsert, 48);
FAR3_CHECK(FarListDelete, 24);
FAR3_AT(FarListDelete, StartIndex, 8); FAR3_AT(FarListDelete, Count, 16);
FAR3_CHECK(FarListFind, 32);
FAR3_AT(FarListFind, Pattern, 16); FAR3_AT(FarListFind, Flags, 24);
FAR3_CHECK(FarListTitles, 40);
FAR3_CHECK(FarSettingsCreate, 32);
FAR3_AT(FarSettingsCreate, Guid, 8); FAR3_AT(FarSettingsCreate, Handle, 24);
FAR3_CHECK(FarSettingsValue, 24);
FAR3_AT(FarSettingsValue, Root, 8); FAR3_AT(FarSettingsValue, Value, 16);
FAR3_CHECK(FarSettingsItem, 48);
FAR3_AT(FarSettingsItem, Root, 8); FAR3_AT(FarSettingsItem, Name, 16); FAR3_AT(FarSettingsItem, Type, 24);
FAR3_AT(FarSettingsItem, Number, 32); FAR3_AT(FarSettingsItem, String, 32);
FAR3_AT(FarSettingsItem, Data.Size, 32); FAR3_AT(FarSettingsItem, Data.Data, 40);
FAR3_CHECK(WindowInfo, 72);
FAR3_AT(WindowInfo, Id, 8); FAR3_AT(WindowInfo, TypeName, 16); FAR3_AT(WindowInfo, Name, 24);
FAR3_AT(WindowInfo, TypeNameSize, 32); FAR3_AT(WindowInfo, NameSize, 40); FAR3_AT(WindowInfo, Pos, 48);
FAR3_AT(WindowInfo, Type, 56); FAR3_AT(WindowInfo, Flags, 64);
FAR3_CHECK(WindowType, 16);
FAR3_CHECK(DialogInfo, 40);
FAR3_CHECK(SMALL_RECT, 8);
FAR3_CHECK(COORD, 4);
FAR3_CHECK(INPUT_RECORD, 20);
FAR3_CHECK(KEY_EVENT_RECORD, 16);
FAR3_CHECK(FarStandardFunctions, 400);
FAR3_AT(FarStandardFunctions, TruncPathStr, 216); FAR3_AT(FarStandardFunctions, FormatFileSize, 368);
FAR3_AT(FarStandardFunctions, FarClock, 376); FAR3_AT(FarStandardFunctions, DetectCodePage, 392);
FAR3_CHECK(PluginStartupInfo, 280);
FAR3_AT(PluginStartupInfo, ModuleName, 8); FAR3_AT(PluginStartupInfo, Message, 24);
FAR3_AT(PluginStartupInfo, GetMsg, 32); FAR3_AT(PluginStartupInfo, SaveScreen, 48);
FAR3_AT(PluginStartupInfo, RestoreScreen, 56); FAR3_AT(PluginStartupInfo, Editor, 104);
FAR3_AT(PluginStartupInfo, EditorControl, 120);
FAR3_AT(PluginStartupInfo, FSF, 128); FAR3_AT(PluginStartupInfo, AdvControl, 144);
FAR3_AT(PluginStartupInfo, DialogInit, 168); FAR3_AT(PluginStartupInfo, DialogRun, 176);
FAR3_AT(PluginStartupInfo, DialogFree, 184); FAR3_AT(PluginStartupInfo, SendDlgMessage, 192);
FAR3_AT(PluginStartupInfo, DefDlgProc, 200); FAR3_AT(PluginStartupInfo, SettingsControl, 248);
FAR3_AT(PluginStartupInfo, Private, 256); FAR3_AT(PluginStartupInfo, Instance, 264);
FAR3_AT(PluginStartupInfo, FreeScreen, 272);

#undef FAR3_CHECK
#undef FAR3_AT

} // namespace far3
// clang-format on
