#include "FarHost.h"

#include "HostServices.h"

#include <cstring>

namespace {

TFarHost* GHost = nullptr;

bool IsZero(const GUID& Guid)
{
    static const GUID Zero{};
    return std::memcmp(&Guid, &Zero, sizeof(GUID)) == 0;
}

// The host's comparison: Build is compared before Revision, Stage is ignored.
bool VersionAtLeast(const far3::VersionInfo& Have, const far3::VersionInfo& Need)
{
    if (Have.Major != Need.Major)
        return Have.Major > Need.Major;
    if (Have.Minor != Need.Minor)
        return Have.Minor > Need.Minor;
    if (Have.Build != Need.Build)
        return Have.Build > Need.Build;
    return Have.Revision >= Need.Revision;
}

std::vector<TMenuEntry> CopyMenu(TFarHost& Host, const far3::PluginMenuItem& Menu, const char* Name)
{
    std::vector<TMenuEntry> Entries;
    if (Menu.Count == 0)
        return Entries;
    if (!Menu.Guids || !Menu.Strings) {
        Host.Error(L"GetPluginInfoW: " + Widen(Name) + L" has items but no GUID or text array");
        return Entries;
    }
    for (size_t I = 0; I < Menu.Count; ++I) {
        TMenuEntry Entry;
        Entry.Guid = Menu.Guids[I];
        if (!Menu.Strings[I])
            Host.Error(L"GetPluginInfoW: " + Widen(Name) + L" item without text");
        else
            Entry.Text = Menu.Strings[I];
        Entries.push_back(Entry);
    }
    return Entries;
}

} // namespace

TFarHost::TFarHost()
    : FMainThread(::GetCurrentThreadId()), FSynchroEvent(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    if (GHost)
        Error(L"a second simulated host was created while one exists");
    GHost = this;
}

TFarHost::~TFarHost()
{
    if (FLoaded)
        Unload();
    ::CloseHandle(FSynchroEvent);
    if (GHost == this)
        GHost = nullptr;
}

TFarHost* TFarHost::Current() noexcept
{
    return GHost;
}

void TFarHost::SetLanguage(const std::wstring& Language)
{
    std::lock_guard Guard(FLock);
    FLanguage = Language;
    FLngLoaded = false;
}

void TFarHost::SetConsoleSize(SHORT Width, SHORT Height)
{
    std::lock_guard Guard(FLock);
    FConsoleWidth = Width;
    FConsoleHeight = Height;
    FDialogs.ConsoleResized();
}

bool TFarHost::LoadDll(const std::wstring& Path)
{
    HMODULE Module = ::LoadLibraryW(Path.c_str());
    if (!Module) {
        Error(L"LoadLibraryW failed for " + Path);
        return false;
    }
    TPluginExports Exports;
    auto Resolve = [&](auto& Slot, const char* Name) {
        Slot = reinterpret_cast<std::remove_reference_t<decltype(Slot)>>(
            reinterpret_cast<void*>(::GetProcAddress(Module, Name)));
    };
    Resolve(Exports.SetStartupInfoW, "SetStartupInfoW");
    Resolve(Exports.GetGlobalInfoW, "GetGlobalInfoW");
    Resolve(Exports.GetPluginInfoW, "GetPluginInfoW");
    Resolve(Exports.OpenW, "OpenW");
    Resolve(Exports.ConfigureW, "ConfigureW");
    Resolve(Exports.ExitFARW, "ExitFARW");
    Resolve(Exports.ProcessSynchroEventW, "ProcessSynchroEventW");
    Resolve(Exports.ProcessEditorEventW, "ProcessEditorEventW");
    // Without GetGlobalInfoW the host does not take a DLL for a plugin.
    if (!Exports.GetGlobalInfoW) {
        Error(L"the DLL does not export GetGlobalInfoW");
        ::FreeLibrary(Module);
        return false;
    }
    FModule = Module;
    FExports = Exports;
    std::wstring Name(MAX_PATH, L'\0');
    Name.resize(::GetModuleFileNameW(Module, Name.data(), MAX_PATH));
    if (!Start(Name)) {
        ::FreeLibrary(Module);
        FModule = nullptr;
        return false;
    }
    return true;
}

bool TFarHost::LoadStatic(const TPluginExports& Exports, const std::wstring& ModuleName)
{
    FExports = Exports;
    FModule = nullptr;
    if (!Exports.GetGlobalInfoW) {
        Error(L"the plugin has no GetGlobalInfoW");
        return false;
    }
    return Start(ModuleName);
}

bool TFarHost::Start(const std::wstring& ModuleName)
{
    FModuleName = ModuleName;
    FLngLoaded = false;

    // The host names its interface language in its environment before it
    // loads a plugin, which may read it before any service exists.
    ::SetEnvironmentVariableW(L"FARLANG", FLanguage.c_str());

    // GetGlobalInfoW comes first, into a zero-filled record.
    far3::GlobalInfo Global{};
    Global.StructSize = sizeof(Global);
    Global.Instance = FModule;
    FExports.GetGlobalInfoW(&Global);
    if (Global.Instance != FModule)
        Error(L"GetGlobalInfoW overwrote the host's Instance field");
    if (!Global.StructSize)
        Error(L"GetGlobalInfoW left StructSize zero");
    if (!Global.Title || !*Global.Title || !Global.Description || !*Global.Description || !Global.Author ||
        !*Global.Author) {
        Error(L"GetGlobalInfoW: title, description and author must not be empty; the plugin is not loaded");
        return false;
    }
    if (IsZero(Global.Guid)) {
        Error(L"GetGlobalInfoW: the plugin GUID is all zero; the plugin is not loaded");
        return false;
    }
    if (!VersionAtLeast(HostVersion, Global.MinFarVersion)) {
        Error(L"GetGlobalInfoW: the plugin needs a newer host; the plugin is not loaded");
        return false;
    }
    // Far writes the description into the Descript.ion of its profile in the
    // OEM code page, and shows an error box on every run where that code
    // page lacks a letter of it (a Russian description where OEM is 437).
    for (const wchar_t* C = Global.Description; *C; ++C) {
        if (*C >= 0x80) {
            Error(L"GetGlobalInfoW: a description outside ASCII that Far cannot write on every system");
            break;
        }
    }
    // The host copies the strings during the call.
    Title = Global.Title;
    Description = Global.Description;
    Author = Global.Author;
    PluginGuid = Global.Guid;
    PluginVersion = Global.Version;
    MinFarVersion = Global.MinFarVersion;

    // The start-up records live on the host's stack for the call only.
    {
        far3::FarStandardFunctions FSF{};
        far3::PluginStartupInfo Info{};
        FillStartupInfo(Info, FSF);
        Info.ModuleName = FModuleName.c_str();
        Info.Instance = FModule;
        if (FExports.SetStartupInfoW)
            FExports.SetStartupInfoW(&Info);
        // A plugin that kept pointers into these records now sees garbage,
        // as it would in the real host.
        std::memset(static_cast<void*>(&Info), 0xCD, sizeof(Info));
        std::memset(static_cast<void*>(&FSF), 0xCD, sizeof(FSF));
    }
    FLoaded = true;
    FStarted = true;
    return true;
}

bool TFarHost::Unload()
{
    if (!FLoaded)
        return true;
    if (FStarted && FExports.ExitFARW) {
        far3::ExitInfo Info{};
        Info.StructSize = sizeof(Info);
        Info.Instance = FModule;
        FExports.ExitFARW(&Info);
    }
    FSettings.ReleaseLeakedHandles();
    FDialogs.ReportLeaks();
    {
        std::lock_guard Guard(FLock);
        for (HANDLE Screen : FScreens)
            Error(L"a saved screen was never restored or freed: handle " +
                  std::to_wstring(reinterpret_cast<uintptr_t>(Screen)));
        FScreens.clear();
        if (!FSynchro.empty())
            Error(L"synchro events were still queued at unload");
        FSynchro.clear();
    }
    FLoaded = false;
    FStarted = false;
    FExports = TPluginExports{};
    bool Unloaded = true;
    if (FModule) {
        const HMODULE Module = FModule;
        FModule = nullptr;
        if (!::FreeLibrary(Module)) {
            Error(L"FreeLibrary failed");
            Unloaded = false;
        }
    }
    return Unloaded;
}

TPluginInfoCopy TFarHost::GetPluginInfo()
{
    TPluginInfoCopy Copy;
    if (!FLoaded || !FExports.GetPluginInfoW) {
        Error(L"GetPluginInfo: no plugin loaded");
        return Copy;
    }
    far3::PluginInfo Info{};
    Info.StructSize = sizeof(Info);
    Info.Instance = FModule;
    FExports.GetPluginInfoW(&Info);
    if (Info.Instance != FModule)
        Error(L"GetPluginInfoW overwrote the host's Instance field");
    Copy.StructSize = Info.StructSize;
    Copy.Flags = Info.Flags;
    Copy.DiskMenu = CopyMenu(*this, Info.DiskMenu, "DiskMenu");
    Copy.PluginMenu = CopyMenu(*this, Info.PluginMenu, "PluginMenu");
    Copy.PluginConfig = CopyMenu(*this, Info.PluginConfig, "PluginConfig");
    if (Info.CommandPrefix)
        Copy.CommandPrefix = Info.CommandPrefix;
    return Copy;
}

HANDLE TFarHost::Open(far3::OPENFROM OpenFrom, const GUID* Guid, intptr_t Data)
{
    if (!FLoaded || !FExports.OpenW) {
        Error(L"Open: no plugin loaded");
        return nullptr;
    }
    far3::OpenInfo Info{};
    Info.StructSize = sizeof(Info);
    Info.OpenFrom = OpenFrom;
    Info.Guid = Guid;
    Info.Data = Data;
    Info.Instance = FModule;
    Editors().ReportChanges();
    return FExports.OpenW(&Info);
}

HANDLE TFarHost::OpenFromEditor()
{
    const TPluginInfoCopy Info = GetPluginInfo();
    if (Info.PluginMenu.empty()) {
        Error(L"OpenFromEditor: the plugin has no plugins-menu item");
        return nullptr;
    }
    const GUID Guid = Info.PluginMenu.front().Guid;
    return Open(far3::OPEN_EDITOR, &Guid, 0);
}

intptr_t TFarHost::Configure(size_t StructSize, const GUID* ItemGuid)
{
    if (!FLoaded || !FExports.ConfigureW) {
        Error(L"Configure: no plugin loaded");
        return 0;
    }
    GUID Guid{};
    if (ItemGuid) {
        Guid = *ItemGuid;
    } else {
        const TPluginInfoCopy Info = GetPluginInfo();
        if (!Info.PluginConfig.empty())
            Guid = Info.PluginConfig.front().Guid;
    }
    far3::ConfigureInfo Config{};
    Config.StructSize = StructSize;
    Config.Guid = &Guid;
    Config.Instance = FModule;
    return FExports.ConfigureW(&Config);
}

size_t TFarHost::DeliverSynchroEvents()
{
    if (::GetCurrentThreadId() != FMainThread) {
        Error(L"synchro events can only be delivered on the host's main thread");
        return 0;
    }
    size_t Count = 0;
    for (;;) {
        void* Param = nullptr;
        {
            std::lock_guard Guard(FLock);
            if (FSynchro.empty())
                break;
            Param = FSynchro.front();
            FSynchro.pop_front();
        }
        ++Count;
        if (!FExports.ProcessSynchroEventW)
            continue; // the host delivers only to plugins that export it
        far3::ProcessSynchroEventInfo Info{};
        Info.StructSize = sizeof(Info);
        Info.Event = far3::SE_COMMONSYNCHRO;
        Info.Param = Param;
        Info.Instance = FModule;
        if (FExports.ProcessSynchroEventW(&Info) != 0)
            Error(L"ProcessSynchroEventW must return 0");
    }
    return Count;
}

void TFarHost::EditorEvent(intptr_t Event, void* Param, intptr_t EditorId)
{
    if (!FStarted || !FExports.ProcessEditorEventW)
        return;
    if (::GetCurrentThreadId() != FMainThread)
        Error(L"editor events come on the host's main thread only");
    far3::ProcessEditorEventInfo Info{};
    Info.StructSize = sizeof(Info);
    Info.Event = Event;
    Info.Param = Param;
    Info.EditorID = EditorId;
    Info.Instance = FModule;
    // The answer is not read, for a save neither: the file is written
    // whatever the plugin returns (measured).
    FExports.ProcessEditorEventW(&Info);
}

size_t TFarHost::SynchroRequests() const
{
    std::lock_guard Guard(FLock);
    return FSynchroRequests;
}

void TFarHost::SynchroRequestRefused()
{
    std::lock_guard Guard(FLock);
    ++FSynchroRequests;
    ::SetEvent(FSynchroEvent);
}

bool TFarHost::WaitForSynchroEvent(DWORD Milliseconds)
{
    {
        std::lock_guard Guard(FLock);
        if (!FSynchro.empty())
            return true;
    }
    ::WaitForSingleObject(FSynchroEvent, Milliseconds);
    std::lock_guard Guard(FLock);
    return !FSynchro.empty();
}

void TFarHost::QueueMessageResult(intptr_t Result)
{
    std::lock_guard Guard(FLock);
    FMessageResults.push_back(Result);
}

void TFarHost::SetFrontEnd(THostFrontEnd* FrontEnd)
{
    std::lock_guard Guard(FLock);
    FFrontEnd = FrontEnd;
}

std::vector<TMessageBox> TFarHost::Messages() const
{
    std::lock_guard Guard(FLock);
    return FMessages;
}

std::vector<std::vector<std::wstring>> TFarHost::ButtonBoxTexts() const
{
    std::lock_guard Guard(FLock);
    std::vector<std::vector<std::wstring>> Result;
    for (const TMessageBox& Box : FMessages) {
        if (Box.Buttons.empty())
            continue;
        std::vector<std::wstring> Lines{Box.Title};
        Lines.insert(Lines.end(), Box.Lines.begin(), Box.Lines.end());
        Lines.insert(Lines.end(), Box.Buttons.begin(), Box.Buttons.end());
        Result.push_back(std::move(Lines));
    }
    return Result;
}

void TFarHost::ClearMessages()
{
    std::lock_guard Guard(FLock);
    FMessages.clear();
}

size_t TFarHost::SavedScreenCount() const
{
    std::lock_guard Guard(FLock);
    return FScreens.size();
}

size_t TFarHost::RedrawAllCount() const
{
    std::lock_guard Guard(FLock);
    return FRedrawAll;
}

void TFarHost::SetFailing(const std::string& Service, bool Fail)
{
    std::lock_guard Guard(FLock);
    if (Fail)
        FFailing.insert(Service);
    else
        FFailing.erase(Service);
}

bool TFarHost::IsFailing(const std::string& Service) const
{
    std::lock_guard Guard(FLock);
    return FFailing.count(Service) != 0;
}

void TFarHost::SetFaultPlan(size_t FailAt)
{
    std::lock_guard Guard(FLock);
    FFailAt = FailAt;
    FFaultableCalls = 0;
    FInjectedFault.clear();
}

size_t TFarHost::FaultableCalls() const
{
    std::lock_guard Guard(FLock);
    return FFaultableCalls;
}

std::string TFarHost::InjectedFault() const
{
    std::lock_guard Guard(FLock);
    return FInjectedFault;
}

bool TFarHost::FaultHere(const char* Service, const char* Command)
{
    std::lock_guard Guard(FLock);
    if (++FFaultableCalls != FFailAt)
        return false;
    FInjectedFault = Command ? std::string(Service) + "(" + Command + ")" : std::string(Service);
    return true;
}

void TFarHost::Error(const std::wstring& Text)
{
    std::lock_guard Guard(FLock);
    FErrors.push_back(Text);
}

std::vector<std::wstring> TFarHost::Errors() const
{
    std::lock_guard Guard(FLock);
    return FErrors;
}

void TFarHost::ClearErrors()
{
    std::lock_guard Guard(FLock);
    FErrors.clear();
}

void TFarHost::ClearCalls()
{
    std::lock_guard Guard(FLock);
    FCalls.clear();
}

std::vector<TServiceCall> TFarHost::Calls() const
{
    std::lock_guard Guard(FLock);
    return FCalls;
}

size_t TFarHost::CallCount(const std::string& Service) const
{
    std::lock_guard Guard(FLock);
    size_t Count = 0;
    for (const TServiceCall& Call : FCalls)
        Count += Call.Service == Service;
    return Count;
}

void TFarHost::Record(const std::string& Service)
{
    std::lock_guard Guard(FLock);
    FCalls.push_back({Service, ::GetCurrentThreadId()});
}

bool TFarHost::CheckPluginId(const GUID* PluginId, const char* Service)
{
    if (PluginId && std::memcmp(PluginId, &PluginGuid, sizeof(GUID)) == 0)
        return true;
    Error(Widen(Service) + L": PluginId is not the plugin's GUID");
    return false;
}

bool TFarHost::CheckStructSize(size_t StructSize, size_t HostSize, const char* Record, const char* Service)
{
    if (StructSize >= HostSize && StructSize <= 65536)
        return true;
    Error(Widen(Service) + L": " + Widen(Record) + L".StructSize " + std::to_wstring(StructSize) +
          L" is refused (the host needs " + std::to_wstring(HostSize) + L")");
    return false;
}
