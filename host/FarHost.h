// The simulated Far Manager 3 host. It loads the plugin the way the real host
// does (or takes the exports of a plugin linked into the test program), hands
// it a service table, and records every call so tests can assert on it.
// It is strict: whatever the real host would reject, or a plugin should never
// do (a wrong StructSize, an unknown handle, a message id outside the
// language file, a leaked screen), is a recorded error that fails the test.
//
// The parts it owns (the dialog engine, the editors, the settings store)
// reach it only through THostContext (HostContext.h); this header is for the
// service functions and for those who drive the host: the tests, the
// benchmarks, the console front end.
#pragma once

#include "DialogEngine.h"
#include "EditorModel.h"
#include "HostContext.h"
#include "bridge/FarApi.h"
#include "LngFile.h"
#include "SettingsStore.h"

#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct TPluginExports {
    far3::SETSTARTUPINFOW SetStartupInfoW = nullptr;
    far3::GETGLOBALINFOW GetGlobalInfoW = nullptr;
    far3::GETPLUGININFOW GetPluginInfoW = nullptr;
    far3::OPENW OpenW = nullptr;
    far3::CONFIGUREW ConfigureW = nullptr;
    far3::EXITFARW ExitFARW = nullptr;
    far3::PROCESSSYNCHROEVENTW ProcessSynchroEventW = nullptr;
    far3::PROCESSEDITOREVENTW ProcessEditorEventW = nullptr;
};

// One message box as the host would draw it.
struct TMessageBox {
    far3::FARMESSAGEFLAGS Flags = 0;
    std::wstring Title;
    std::vector<std::wstring> Lines; // the text lines, without title and buttons
    std::vector<std::wstring> Buttons;
    intptr_t Result = -1;
};

// What a person sees of the host. The tests only record message boxes and
// saved screens; a front end (the console host) draws them and answers
// message boxes from the keyboard.
class THostFrontEnd {
public:
    virtual ~THostFrontEnd() = default;
    // Draws a message box. One with buttons waits for the answer: the index
    // of the button chosen, or -1 when the box was dismissed. One without
    // buttons (a progress window) stays on the screen; its answer is unused.
    virtual intptr_t Message(const TMessageBox& Box) = 0;
    // SaveScreen handed out Screen; RestoreScreen (Restore) or FreeScreen
    // gave it back. Restoring a null Screen repaints the whole screen.
    virtual void ScreenSaved(HANDLE Screen) {}
    virtual void ScreenRestored(HANDLE Screen, bool Restore) {}
};

// One window as ACTL_GETWINDOWINFO describes it.
struct TWindowView {
    far3::WINDOWINFO_TYPE Type = far3::WTYPE_DESKTOP;
    intptr_t Id = 0;
    std::wstring TypeName, Name;
    far3::WINDOWINFO_FLAGS Flags = 0;
};

struct TServiceCall {
    std::string Service;
    DWORD ThreadId = 0;
};

struct TMenuEntry {
    GUID Guid{};
    std::wstring Text;
};

// What the plugin reported in GetPluginInfoW, copied out.
struct TPluginInfoCopy {
    size_t StructSize = 0;
    far3::PLUGIN_FLAGS Flags = 0;
    std::vector<TMenuEntry> DiskMenu, PluginMenu, PluginConfig;
    std::wstring CommandPrefix;
};

class TFarHost : public THostContext {
public:
    TFarHost();
    ~TFarHost() override;
    TFarHost(const TFarHost&) = delete;
    TFarHost& operator=(const TFarHost&) = delete;

    // The host the service functions talk to; null when none exists.
    static TFarHost* Current() noexcept;

    // --- how this host presents itself -------------------------------------
    far3::VersionInfo HostVersion = far3::MakeFarVersion(3, 0, 0, 6730, far3::VS_RELEASE);
    void SetLanguage(const std::wstring& Language);
    void SetConsoleSize(SHORT Width, SHORT Height) override;

    // --- loading -----------------------------------------------------------
    // Loads a plugin DLL with LoadLibraryW and resolves its exports by name.
    bool LoadDll(const std::wstring& Path);
    // Takes the exports of a plugin linked into this program; ModuleName
    // stands for the DLL's path (its folder holds the language files).
    bool LoadStatic(const TPluginExports& Exports, const std::wstring& ModuleName);
    // ExitFARW (when started), the leak checks, and FreeLibrary for a DLL.
    // Returns false when the DLL did not unload.
    bool Unload();
    bool IsLoaded() const { return FLoaded; }
    HMODULE Module() const { return FModule; }
    const TPluginExports& Exports() const { return FExports; }
    const std::wstring& ModuleName() const { return FModuleName; }

    // What GetGlobalInfoW reported.
    GUID PluginGuid{};
    std::wstring Title, Description, Author;
    far3::VersionInfo PluginVersion{}, MinFarVersion{};
    const GUID& LoadedPluginGuid() const override { return PluginGuid; }
    const far3::VersionInfo& FarVersion() const override { return HostVersion; }

    // --- driving the plugin as the host does ---------------------------------
    TPluginInfoCopy GetPluginInfo();
    HANDLE Open(far3::OPENFROM OpenFrom, const GUID* Guid, intptr_t Data);
    HANDLE OpenFromEditor();
    // For the plugin's first configuration item unless Guid names one.
    intptr_t Configure(size_t StructSize = sizeof(far3::ConfigureInfo), const GUID* Guid = nullptr);
    // Delivers queued ACTL_SYNCHRO events through ProcessSynchroEventW; the
    // host does this on its main thread only. Returns how many it delivered.
    size_t DeliverSynchroEvents() override;
    // Waits until a synchro event is queued (or the time runs out).
    bool WaitForSynchroEvent(DWORD Milliseconds) override;
    // Sends an editor event to a started plugin that exports
    // ProcessEditorEventW (docs/far-editor-events.md).
    void EditorEvent(intptr_t Event, void* Param, intptr_t EditorId) override;
    // ACTL_SYNCHRO requests so far, queued or refused.
    size_t SynchroRequests() const override;
    void SynchroRequestRefused();

    // --- message boxes -------------------------------------------------------
    // Scripted answers, used in order; without one, a box with buttons
    // answers 0 (the first button) and a box without buttons -1.
    void QueueMessageResult(intptr_t Result);
    // While a front end is set, it draws the boxes and gives the answers
    // (the scripted ones are not used); null goes back to the scripts.
    void SetFrontEnd(THostFrontEnd* FrontEnd);
    std::vector<TMessageBox> Messages() const;
    // The boxes that had buttons (a progress window has none), each as its
    // title, text lines and buttons in order.
    std::vector<std::vector<std::wstring>> ButtonBoxTexts() const;
    void ClearMessages();

    // --- screen --------------------------------------------------------------
    size_t SavedScreenCount() const;
    size_t RedrawAllCount() const;

    // --- the editors and the settings store ----------------------------------
    TEditorModel& Editors() { return FEditors; }
    // Every window in the host's order, the current one last: the desktop,
    // the panels and the editors, then the dialogs that are running.
    std::vector<TWindowView> WindowList();
    TSettingsStore& Settings() { return FSettings; }

    // --- dialogs ---------------------------------------------------------------
    // Scripts are taken in order, one per DialogRun, when the run first
    // waits for input (after DN_INITDIALOG): a dialog run from another's
    // notification takes the next one. A run that finds none is a recorded
    // error; a dialog closed during DN_INITDIALOG takes none.
    void QueueDialogScript(TDialogScript Script) { FDialogs.QueueScript(std::move(Script)); }
    // A live dialog by handle, the most recently created one (null once
    // freed), and how many are alive.
    THostDialog* FindDialog(HANDLE Dialog) { return FDialogs.Find(Dialog); }
    THostDialog* LastDialog() { return FDialogs.Last(); }
    size_t DialogCount() const { return FDialogs.Count(); }
    // Every notification sent to a dialog procedure, in order.
    const std::vector<TDialogEvent>& DialogEvents() const { return FDialogs.Events(); }
    TDialogEngine& Dialogs() { return FDialogs; }

    // --- failures on demand ----------------------------------------------------
    // Makes a service (by name: "GetMsg", "Message", "SaveScreen", "Editor",
    // or an AdvControl command such as "ACTL_GETFARRECT") refuse every request.
    void SetFailing(const std::string& Service, bool Fail = true);
    bool IsFailing(const std::string& Service) const override;

    // --- a fault plan: "the Nth host call fails" ----------------------------------
    // Counts every call of a service, from any thread: Message, GetMsg,
    // SaveScreen, RestoreScreen, FreeScreen, DialogInit, DialogRun,
    // DialogFree, DefDlgProc, TruncPathStr, Editor, and every command or message of
    // EditorControl, AdvControl, SendDlgMessage and SettingsControl; not the
    // regular redraws of a progress window, which come by the clock. The
    // call numbered FailAt is refused the way the real host refuses it and
    // nothing else happens (see FaultHere); 0 only counts. Setting a plan
    // starts the count again.
    void SetFaultPlan(size_t FailAt);
    size_t FaultableCalls() const;
    // The refused call, "GetMsg" or "SendDlgMessage(DM_LISTSET)"; empty until
    // the plan has refused one.
    std::string InjectedFault() const;
    // For the service functions: counts the call and says whether it is the
    // one to refuse. Command names the command or message, if the service has
    // them.
    bool FaultHere(const char* Service, const char* Command = nullptr) override;

    // --- what happened ------------------------------------------------------------
    void Error(const std::wstring& Text) override;
    std::vector<std::wstring> Errors() const;
    void ClearErrors();
    // Forgets the calls recorded so far (a long run would keep them all).
    void ClearCalls();
    std::vector<TServiceCall> Calls() const;
    size_t CallCount(const std::string& Service) const;
    DWORD MainThreadId() const override { return FMainThread; }
    // Records a service call with the calling thread.
    void Record(const std::string& Service) override;

    // --- used by the service functions ------------------------------------------
    bool CheckPluginId(const GUID* PluginId, const char* Service) override;
    bool CheckStructSize(size_t StructSize, size_t HostSize, const char* Record, const char* Service) override;
    const wchar_t* GetMsg(const GUID* PluginId, intptr_t MsgId);
    intptr_t ShowMessage(const GUID* PluginId, far3::FARMESSAGEFLAGS Flags, const wchar_t* const* Items,
                         size_t ItemsNumber, intptr_t ButtonsNumber);
    intptr_t HostBox(far3::FARMESSAGEFLAGS Flags, const std::vector<std::wstring>& Lines, size_t ButtonCount) override;
    HANDLE SaveScreen(intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2);
    void RestoreScreen(HANDLE Screen, bool Restore);
    intptr_t AdvControl(const GUID* PluginId, far3::ADVANCED_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2);

    SHORT ConsoleWidth() const override { return FConsoleWidth; }
    SHORT ConsoleHeight() const override { return FConsoleHeight; }

private:
    bool Start(const std::wstring& ModuleName);
    bool MakeMessageBox(const GUID* PluginId, far3::FARMESSAGEFLAGS Flags, const wchar_t* const* Items,
                        size_t ItemsNumber, intptr_t ButtonsNumber, TMessageBox& Box);
    // Draws a box and takes its answer: a front end's, a scripted one, or
    // the first button.
    intptr_t Answer(TMessageBox Box);
    void FillStartupInfo(far3::PluginStartupInfo& Info, far3::FarStandardFunctions& FSF);
    // The window commands of AdvControl (HostWindows.cpp).
    intptr_t GetWindowInfo(void* Param2);
    intptr_t SetCurrentWindow(intptr_t Pos);
    intptr_t GetWindowType(void* Param2);

    mutable std::recursive_mutex FLock;
    DWORD FMainThread;
    TPluginExports FExports;
    HMODULE FModule = nullptr;
    std::wstring FModuleName;
    bool FLoaded = false;
    bool FStarted = false;

    std::wstring FLanguage = L"English";
    bool FLngLoaded = false;
    TLngFile FLng;

    SHORT FConsoleWidth = 80, FConsoleHeight = 25;

    std::deque<intptr_t> FMessageResults;
    THostFrontEnd* FFrontEnd = nullptr;
    std::vector<TMessageBox> FMessages;
    std::set<HANDLE> FScreens;
    uintptr_t FNextScreen = 0x5C000;
    size_t FRedrawAll = 0;

    std::deque<void*> FSynchro;
    size_t FSynchroRequests = 0;
    HANDLE FSynchroEvent;

    TEditorModel FEditors{*this};
    TSettingsStore FSettings{*this};
    TDialogEngine FDialogs{*this};

    std::set<std::string> FFailing;
    size_t FFailAt = 0;
    size_t FFaultableCalls = 0;
    std::string FInjectedFault;
    std::vector<std::wstring> FErrors;
    std::vector<TServiceCall> FCalls;
};
