#include "HostServices.h"

#include "FarHost.h"

#include <cstring>
#include <cwchar>

namespace {

// Services the plugin never uses; a call to one is a recorded error.
template <int Slot>
void WINAPI Unsupported()
{
    static const char* const Names[] = {"Menu",
                                        "PanelControl",
                                        "GetDirList",
                                        "GetPluginDirList",
                                        "FreeDirList",
                                        "FreePluginDirList",
                                        "Viewer",
                                        "Text",
                                        "ShowHelp",
                                        "InputBox",
                                        "ColorDialog",
                                        "ViewerControl",
                                        "PluginsControl",
                                        "FileFilterControl",
                                        "RegExpControl",
                                        "MacroControl",
                                        "a standard function"};
    if (TFarHost* Host = TFarHost::Current())
        Host->Error(L"the plugin called a service the simulated host does not offer: " + Widen(Names[Slot]));
}

const char* AdvControlName(far3::ADVANCED_CONTROL_COMMANDS Command)
{
    switch (Command) {
    case far3::ACTL_GETFARMANAGERVERSION: return "ACTL_GETFARMANAGERVERSION";
    case far3::ACTL_GETWINDOWINFO: return "ACTL_GETWINDOWINFO";
    case far3::ACTL_GETWINDOWCOUNT: return "ACTL_GETWINDOWCOUNT";
    case far3::ACTL_SETCURRENTWINDOW: return "ACTL_SETCURRENTWINDOW";
    case far3::ACTL_COMMIT: return "ACTL_COMMIT";
    case far3::ACTL_REDRAWALL: return "ACTL_REDRAWALL";
    case far3::ACTL_SYNCHRO: return "ACTL_SYNCHRO";
    case far3::ACTL_GETFARRECT: return "ACTL_GETFARRECT";
    case far3::ACTL_GETWINDOWTYPE: return "ACTL_GETWINDOWTYPE";
    default: return "ACTL_OTHER";
    }
}

bool IsSlash(wchar_t C)
{
    return C == L'\\' || C == L'/';
}

const wchar_t* FirstSlash(const wchar_t* Str)
{
    for (; *Str; ++Str)
        if (IsSlash(*Str))
            return Str;
    return nullptr;
}

// Keeps the end of the text, behind "...".
wchar_t* TruncStr(wchar_t* Str, intptr_t MaxLength)
{
    if (MaxLength < 0)
        MaxLength = 0;
    const intptr_t Length = static_cast<intptr_t>(std::wcslen(Str));
    if (Length > MaxLength) {
        if (MaxLength > 3) {
            const wchar_t* MovePos = Str + Length - MaxLength + 3;
            std::wmemmove(Str + 3, MovePos, std::wcslen(MovePos) + 1);
            std::wmemcpy(Str, L"...", 3);
        }
        Str[MaxLength] = L'\0';
    }
    return Str;
}

} // namespace

namespace host {

intptr_t WINAPI Message(const GUID* PluginId, const GUID*, far3::FARMESSAGEFLAGS Flags, const wchar_t*,
                        const wchar_t* const* Items, size_t ItemsNumber, intptr_t ButtonsNumber)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return -1;
    Host->Record("Message");
    // A progress window's regular redraws (no buttons, the background
    // kept) come by the clock, more on a busy machine: the plan does not
    // count them, so that a command's calls are the same on any machine.
    const bool ByTheClock = ButtonsNumber == 0 && (Flags & far3::FMSG_KEEPBACKGROUND);
    if (!ByTheClock && Host->FaultHere("Message"))
        return -1;
    return Host->ShowMessage(PluginId, Flags, Items, ItemsNumber, ButtonsNumber);
}

const wchar_t* WINAPI GetMsg(const GUID* PluginId, intptr_t MsgId)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return L"";
    Host->Record("GetMsg");
    // The host's answer when it has no text: empty, never null.
    if (Host->FaultHere("GetMsg"))
        return L"";
    return Host->GetMsg(PluginId, MsgId);
}

HANDLE WINAPI SaveScreen(intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return nullptr;
    Host->Record("SaveScreen");
    if (Host->FaultHere("SaveScreen"))
        return nullptr;
    return Host->SaveScreen(X1, Y1, X2, Y2);
}

// These two answer nothing: refused, the screen is not painted back, and
// the handle is gone all the same.
void WINAPI RestoreScreen(HANDLE Screen)
{
    if (TFarHost* Host = TFarHost::Current()) {
        Host->Record("RestoreScreen");
        const bool Refused = Host->FaultHere("RestoreScreen");
        Host->RestoreScreen(Screen, !Refused);
    }
}

void WINAPI FreeScreen(HANDLE Screen)
{
    if (TFarHost* Host = TFarHost::Current()) {
        Host->Record("FreeScreen");
        Host->FaultHere("FreeScreen");
        Host->RestoreScreen(Screen, false);
    }
}

intptr_t WINAPI AdvControl(const GUID* PluginId, far3::ADVANCED_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    Host->Record(AdvControlName(Command));
    // A refused ACTL_SYNCHRO queues nothing: the event is never delivered.
    if (Host->FaultHere("AdvControl", AdvControlName(Command))) {
        if (Command == far3::ACTL_SYNCHRO)
            Host->SynchroRequestRefused();
        return 0;
    }
    return Host->AdvControl(PluginId, Command, Param1, Param2);
}

// The host's path shortening: a path keeps its root (drive, or UNC server
// and share), then "...", then as much of its end as fits; a path without a
// root, or whose root leaves too little room, keeps just its end.
wchar_t* WINAPI TruncPathStr(wchar_t* Str, intptr_t MaxLength)
{
    if (TFarHost* Host = TFarHost::Current()) {
        Host->Record("TruncPathStr");
        // Refused: nothing is shortened, and no string comes back.
        if (Host->FaultHere("TruncPathStr"))
            return nullptr;
    }
    if (!Str)
        return Str;
    const intptr_t Length = static_cast<intptr_t>(std::wcslen(Str));
    if (MaxLength <= 0 || Length <= MaxLength || Length < 2)
        return Str;
    wchar_t* Start = nullptr;
    if (Str[0] && Str[1] == L':' && IsSlash(Str[2])) {
        Start = Str + 3;
    } else if (IsSlash(Str[0]) && IsSlash(Str[1])) {
        if (const wchar_t* Server = FirstSlash(Str + 2)) {
            if (const wchar_t* Share = FirstSlash(Server + 1))
                Start = const_cast<wchar_t*>(Share) + 1;
        }
    }
    if (!Start || Start - Str > MaxLength - 5)
        return TruncStr(Str, MaxLength);
    const wchar_t* InPos = Start + 3 + (Length - MaxLength);
    std::wmemmove(Start + 3, InPos, std::wcslen(InPos) + 1);
    std::wmemcpy(Start, L"...", 3);
    return Str;
}

} // namespace host

void TFarHost::FillStartupInfo(far3::PluginStartupInfo& Info, far3::FarStandardFunctions& FSF)
{
    using far3::FARAPIVOID;
    FSF.StructSize = sizeof(FSF);
    FARAPIVOID* Slots = reinterpret_cast<FARAPIVOID*>(reinterpret_cast<char*>(&FSF) + sizeof(size_t));
    const size_t SlotCount = (sizeof(FSF) - sizeof(size_t)) / sizeof(FARAPIVOID);
    for (size_t I = 0; I < SlotCount; ++I)
        Slots[I] = &Unsupported<16>;
    FSF.TruncPathStr = &host::TruncPathStr;

    Info.StructSize = sizeof(Info);
    Info.Menu = &Unsupported<0>;
    Info.Message = &host::Message;
    Info.GetMsg = &host::GetMsg;
    Info.PanelControl = &Unsupported<1>;
    Info.SaveScreen = &host::SaveScreen;
    Info.RestoreScreen = &host::RestoreScreen;
    Info.GetDirList = &Unsupported<2>;
    Info.GetPluginDirList = &Unsupported<3>;
    Info.FreeDirList = &Unsupported<4>;
    Info.FreePluginDirList = &Unsupported<5>;
    Info.Viewer = &Unsupported<6>;
    Info.Editor = &host::Editor;
    Info.Text = &Unsupported<7>;
    Info.EditorControl = &host::EditorControl;
    Info.FSF = &FSF;
    Info.ShowHelp = &Unsupported<8>;
    Info.AdvControl = &host::AdvControl;
    Info.InputBox = &Unsupported<9>;
    Info.ColorDialog = &Unsupported<10>;
    Info.DialogInit = &host::DialogInit;
    Info.DialogRun = &host::DialogRun;
    Info.DialogFree = &host::DialogFree;
    Info.SendDlgMessage = &host::SendDlgMessage;
    Info.DefDlgProc = &host::DefDlgProc;
    Info.ViewerControl = &Unsupported<11>;
    Info.PluginsControl = &Unsupported<12>;
    Info.FileFilterControl = &Unsupported<13>;
    Info.RegExpControl = &Unsupported<14>;
    Info.MacroControl = &Unsupported<15>;
    Info.SettingsControl = &host::SettingsControl;
    Info.Private = nullptr;
    Info.FreeScreen = &host::FreeScreen;
}

const wchar_t* TFarHost::GetMsg(const GUID* PluginId, intptr_t MsgId)
{
    std::lock_guard Guard(FLock);
    if (!CheckPluginId(PluginId, "GetMsg"))
        return L"";
    // The real host answers "" when it has no text, never null.
    if (IsFailing("GetMsg"))
        return L"";
    if (!FLngLoaded) {
        const size_t Slash = FModuleName.find_last_of(L"\\/");
        const std::wstring Folder = Slash == std::wstring::npos ? L"." : FModuleName.substr(0, Slash);
        FLng = TLngFile{};
        if (!LoadLanguage(Folder, FLanguage, FLng)) {
            Error(L"GetMsg: no language file found beside " + FModuleName);
            return L"";
        }
        FLngLoaded = true;
    }
    if (MsgId < 0 || static_cast<size_t>(MsgId) >= FLng.Messages.size()) {
        // The real host shows an error box here.
        Error(L"GetMsg: language string not found: id " + std::to_wstring(MsgId) + L" in " + FLng.FileName);
        return L"";
    }
    return FLng.Messages[static_cast<size_t>(MsgId)].c_str();
}

intptr_t TFarHost::ShowMessage(const GUID* PluginId, far3::FARMESSAGEFLAGS Flags, const wchar_t* const* Items,
                               size_t ItemsNumber, intptr_t ButtonsNumber)
{
    TMessageBox Box;
    {
        std::lock_guard Guard(FLock);
        if (!MakeMessageBox(PluginId, Flags, Items, ItemsNumber, ButtonsNumber, Box))
            return -1;
    }
    return Answer(std::move(Box));
}

intptr_t TFarHost::HostBox(far3::FARMESSAGEFLAGS Flags, const std::vector<std::wstring>& Lines, size_t ButtonCount)
{
    TMessageBox Box;
    Box.Flags = Flags;
    if (Lines.empty() || ButtonCount >= Lines.size()) {
        Error(L"HostBox: a box needs a title and its buttons");
        return -1;
    }
    Box.Title = Lines.front();
    Box.Lines.assign(Lines.begin() + 1, Lines.end() - static_cast<std::ptrdiff_t>(ButtonCount));
    Box.Buttons.assign(Lines.end() - static_cast<std::ptrdiff_t>(ButtonCount), Lines.end());
    return Answer(std::move(Box));
}

intptr_t TFarHost::Answer(TMessageBox Box)
{
    THostFrontEnd* FrontEnd = nullptr;
    {
        std::lock_guard Guard(FLock);
        FrontEnd = FFrontEnd;
        if (!FrontEnd) {
            if (Box.Buttons.empty()) {
                // Drawn, nothing waits.
                Box.Result = -1;
            } else if (!FMessageResults.empty()) {
                Box.Result = FMessageResults.front();
                FMessageResults.pop_front();
                if (Box.Result >= static_cast<intptr_t>(Box.Buttons.size()))
                    Error(L"Message: the scripted answer names a button the box does not have");
            } else {
                Box.Result = 0;
            }
            FMessages.push_back(Box);
            return Box.Result;
        }
    }
    // A person answers: the lock is not held meanwhile, so the plugin's
    // other threads can still queue synchro events.
    const intptr_t Answer = FrontEnd->Message(Box);
    Box.Result = Box.Buttons.empty() ? -1 : Answer;
    if (Box.Result < -1 || Box.Result >= static_cast<intptr_t>(Box.Buttons.size()))
        Error(L"Message: the front end answered with a button the box does not have");
    std::lock_guard Guard(FLock);
    FMessages.push_back(Box);
    return Box.Result;
}

bool TFarHost::MakeMessageBox(const GUID* PluginId, far3::FARMESSAGEFLAGS Flags, const wchar_t* const* Items,
                              size_t ItemsNumber, intptr_t ButtonsNumber, TMessageBox& Box)
{
    // Read first: the checks below may change it.
    const DWORD LastError = ::GetLastError();
    if (!CheckPluginId(PluginId, "Message"))
        return false;
    if (IsFailing("Message"))
        return false;
    std::vector<std::wstring> All;
    if (Flags & far3::FMSG_ALLINONE) {
        std::wstring Text = Items ? reinterpret_cast<const wchar_t*>(Items) : L"";
        if (!Text.empty() && Text.back() == L'\n')
            Text.pop_back();
        size_t Pos = 0;
        for (;;) {
            const size_t Break = Text.find(L'\n', Pos);
            All.push_back(Text.substr(Pos, Break - Pos));
            if (Break == std::wstring::npos)
                break;
            Pos = Break + 1;
        }
    } else {
        if (ItemsNumber < 2 && !(Flags & far3::FMSG_ERRORTYPE)) {
            Error(L"Message: fewer than two items");
            return false;
        }
        if (!Items) {
            Error(L"Message: no items");
            return false;
        }
        for (size_t I = 0; I < ItemsNumber; ++I)
            All.push_back(Items[I] ? Items[I] : L"");
    }
    Box.Flags = Flags;
    if (!All.empty()) {
        Box.Title = All.front();
        All.erase(All.begin());
    }
    static const std::vector<std::vector<std::wstring>> Presets = {{},
                                                                   {L"Ok"},
                                                                   {L"Ok", L"Cancel"},
                                                                   {L"Abort", L"Retry", L"Ignore"},
                                                                   {L"Yes", L"No"},
                                                                   {L"Yes", L"No", L"Cancel"},
                                                                   {L"Retry", L"Cancel"}};
    const size_t Preset = static_cast<size_t>((Flags & far3::FMSG_MB_MASK) >> 16);
    if (Preset != 0) {
        if (Preset >= Presets.size()) {
            Error(L"Message: unknown FMSG_MB_ preset");
            return false;
        }
        Box.Lines = All;
        Box.Buttons = Presets[Preset];
    } else {
        if (ButtonsNumber < 0 || static_cast<size_t>(ButtonsNumber) > All.size()) {
            Error(L"Message: more buttons than items");
            return false;
        }
        const size_t TextCount = All.size() - static_cast<size_t>(ButtonsNumber);
        Box.Lines.assign(All.begin(), All.begin() + static_cast<std::ptrdiff_t>(TextCount));
        Box.Buttons.assign(All.begin() + static_cast<std::ptrdiff_t>(TextCount), All.end());
    }
    if (Flags & far3::FMSG_ERRORTYPE)
        Box.Lines.push_back(L"(system error " + std::to_wstring(LastError) + L")");
    return true;
}

HANDLE TFarHost::SaveScreen(intptr_t, intptr_t, intptr_t, intptr_t)
{
    HANDLE Screen = nullptr;
    THostFrontEnd* FrontEnd = nullptr;
    {
        std::lock_guard Guard(FLock);
        if (IsFailing("SaveScreen"))
            return nullptr;
        Screen = reinterpret_cast<HANDLE>(FNextScreen);
        FNextScreen += 0x10;
        FScreens.insert(Screen);
        FrontEnd = FFrontEnd;
    }
    if (FrontEnd)
        FrontEnd->ScreenSaved(Screen);
    return Screen;
}

void TFarHost::RestoreScreen(HANDLE Screen, bool Restore)
{
    THostFrontEnd* FrontEnd = nullptr;
    {
        std::lock_guard Guard(FLock);
        if (!Screen) {
            if (!Restore) {
                Error(L"FreeScreen(NULL)");
                return;
            }
            // RestoreScreen(NULL) repaints the whole screen.
        } else if (FScreens.erase(Screen) == 0) {
            Error(std::wstring(Restore ? L"RestoreScreen" : L"FreeScreen") +
                  L": unknown or already restored screen handle " +
                  std::to_wstring(reinterpret_cast<uintptr_t>(Screen)));
            return;
        }
        FrontEnd = FFrontEnd;
    }
    if (FrontEnd)
        FrontEnd->ScreenRestored(Screen, Restore);
}

intptr_t TFarHost::AdvControl(const GUID* PluginId, far3::ADVANCED_CONTROL_COMMANDS Command, intptr_t Param1,
                              void* Param2)
{
    std::lock_guard Guard(FLock);
    const char* Name = AdvControlName(Command);
    if (!CheckPluginId(PluginId, "AdvControl"))
        return 0;
    if (Command != far3::ACTL_SYNCHRO && ::GetCurrentThreadId() != FMainThread)
        Error(L"AdvControl(" + Widen(Name) + L") called from a thread other than the host's main thread");
    if (IsFailing(Name))
        return 0;
    switch (Command) {
    case far3::ACTL_GETFARMANAGERVERSION:
        if (Param2)
            *static_cast<far3::VersionInfo*>(Param2) = HostVersion;
        return TRUE;
    case far3::ACTL_GETFARRECT: {
        if (!Param2)
            return FALSE;
        auto* Rect = static_cast<SMALL_RECT*>(Param2);
        *Rect = SMALL_RECT{0, 0, static_cast<SHORT>(FConsoleWidth - 1), static_cast<SHORT>(FConsoleHeight - 1)};
        return TRUE;
    }
    case far3::ACTL_REDRAWALL: ++FRedrawAll; return TRUE;
    case far3::ACTL_GETWINDOWCOUNT: return static_cast<intptr_t>(WindowList().size());
    case far3::ACTL_GETWINDOWINFO: return GetWindowInfo(Param2);
    case far3::ACTL_SETCURRENTWINDOW: return SetCurrentWindow(Param1);
    // The host has switched already: there is nothing left to commit.
    case far3::ACTL_COMMIT: return TRUE;
    case far3::ACTL_GETWINDOWTYPE: return GetWindowType(Param2);
    case far3::ACTL_SYNCHRO:
        FSynchro.push_back(Param2);
        ++FSynchroRequests;
        ::SetEvent(FSynchroEvent);
        return 0;
    default:
        Error(L"AdvControl: command " + std::to_wstring(static_cast<unsigned>(Command)) + L" is not simulated");
        return 0;
    }
}
