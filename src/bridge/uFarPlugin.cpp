#include "bridge/uFarPlugin.h"

#include "base/Registry.h"
#include "bridge/uFarSynchro.h"

#include <algorithm>
#include <cstring>

namespace {

// Written once while the library starts, before the host can call an export.
TUnitObject<TFarPlugin> GInstance;

TGlobalInfo_Static GGlobalInfo;

} // namespace

TFarPlugin::TFarPlugin() = default;

TFarPlugin::~TFarPlugin()
{
    // The storage vectors free the arrays and copies; the record that
    // pointed to them must not outlive them.
    PluginInfoCache = far3::PluginInfo{};
    PluginInfoCached = false;
}

void TFarPlugin::RegisterInstance(std::unique_ptr<TFarPlugin> Plugin)
{
    if (!GInstance.Adopt(Plugin))
        throw EFarPluginError(L"The plugin has already been initialized");
}

TFarPlugin& TFarPlugin::Instance()
{
    if (!GInstance)
        throw EFarPluginError(L"The plugin has not been initialized yet");
    return *GInstance.Get();
}

bool TFarPlugin::HasInstance() noexcept
{
    return static_cast<bool>(GInstance);
}

void TFarPlugin::FreeInstance() noexcept
{
    GInstance.Destroy();
}

far3::VersionInfo TFarPlugin::GetMinFarVersion()
{
    return far3::MakeFarVersion(3, 0, 0, 0, far3::VS_RELEASE);
}

void TFarPlugin::Startup() {}
void TFarPlugin::Exit() {}
bool TFarPlugin::Configure(const GUID*)
{
    return false;
}
void TFarPlugin::Log(const std::wstring&) {}
void TFarPlugin::ProcessSynchroEvent(void* Param)
{
    TFarSynchro::Dispatch(Param);
}
void TFarPlugin::EditorSaving(intptr_t, const std::wstring&) {}

std::wstring TFarPlugin::GetStandardMessage(TStandardMessage Kind)
{
    switch (Kind) {
    case TStandardMessage::smTitle: {
        std::wstring Title, Description, Author;
        GetIdentity(Title, Description, Author);
        return Title;
    }
    case TStandardMessage::smExceptionInFunction: return L"Exception occurred in function %s";
    case TStandardMessage::smOk: return L"&OK";
    case TStandardMessage::smCancel: return L"&Cancel";
    case TStandardMessage::smYes: return L"&Yes";
    case TStandardMessage::smNo: return L"&No";
    }
    return std::wstring();
}

far3::VersionInfo TFarPlugin::GetVersion()
{
    return ReadModuleVersion(CurrentModule());
}

void TFarPlugin::DoSetStartupInfo(const far3::PluginStartupInfo* Info)
{
    if (!Info)
        throw EFarPluginError(L"The host passed no start-up information");
    // The host may be older than our view of its tables: copy only what it
    // says it gave us, and leave the rest empty.
    StartupInfo = far3::PluginStartupInfo{};
    std::memcpy(&StartupInfo, Info, std::min<size_t>(Info->StructSize, far3::PluginStartupInfoCopySize));
    StandardFunctions = far3::FarStandardFunctions{};
    if (Info->StructSize > offsetof(far3::PluginStartupInfo, FSF) && Info->FSF)
        std::memcpy(&StandardFunctions, Info->FSF,
                    std::min<size_t>(Info->FSF->StructSize, far3::StandardFunctionsCopySize));
    StartupInfo.FSF = &StandardFunctions;
    Startup();
}

void TFarPlugin::DoGetGlobalInfo(far3::GlobalInfo* Info)
{
    // Made whole before the host's record is touched: a failure half-way
    // must not leave a record the host takes for a plugin.
    TGlobalInfo_Static Identity;
    GetIdentity(Identity.Title, Identity.Description, Identity.Author);
    far3::GlobalInfo Filled{};
    Filled.StructSize = far3::GlobalInfoFillSize;
    Filled.MinFarVersion = GetMinFarVersion();
    Filled.Version = GetVersion();
    Filled.Guid = GetGuid();
    GGlobalInfo = std::move(Identity);
    Filled.Title = GGlobalInfo.Title.c_str();
    Filled.Description = GGlobalInfo.Description.c_str();
    Filled.Author = GGlobalInfo.Author.c_str();
    // Instance belongs to the host: the record is ours only up to it.
    std::memcpy(static_cast<void*>(Info), &Filled, far3::GlobalInfoFillSize);
}

void TFarPlugin::DoGetPluginInfo(far3::PluginInfo* Info)
{
    if (!PluginInfoCached)
        BuildPluginInfoCache();
    std::memcpy(Info, &PluginInfoCache, far3::PluginInfoFillSize);
}

far3::PluginMenuItem TFarPlugin::FillMenu(const TFarPluginMenu& Menu, TMenuStorage& Storage)
{
    far3::PluginMenuItem Item{};
    Item.Count = Menu.size();
    if (Menu.empty())
        return Item;
    for (const TFarPluginMenuItem& Entry : Menu) {
        Storage.Guids.push_back(Entry.Guid);
        Storage.Texts.push_back(NewString(Entry.Text));
        Storage.Pointers.push_back(Storage.Texts.back().get());
    }
    Item.Guids = Storage.Guids.data();
    Item.Strings = Storage.Pointers.data();
    return Item;
}

void TFarPlugin::BuildPluginInfoCache()
{
    far3::PLUGIN_FLAGS Flags = 0;
    TFarPluginMenu PluginMenu, ConfigMenu, DiskMenu;
    std::wstring CommandPrefix;
    GetPluginInfo(Flags, PluginMenu, ConfigMenu, DiskMenu, CommandPrefix);

    PluginInfoCache = far3::PluginInfo{};
    DiskStorage = {};
    PluginStorage = {};
    ConfigStorage = {};
    PluginInfoCache.StructSize = far3::PluginInfoFillSize;
    PluginInfoCache.Flags = Flags;
    PluginInfoCache.DiskMenu = FillMenu(DiskMenu, DiskStorage);
    PluginInfoCache.PluginMenu = FillMenu(PluginMenu, PluginStorage);
    PluginInfoCache.PluginConfig = FillMenu(ConfigMenu, ConfigStorage);
    CommandPrefixCopy = CommandPrefix.empty() ? nullptr : NewString(CommandPrefix);
    PluginInfoCache.CommandPrefix = CommandPrefixCopy.get();
    PluginInfoCached = true;
}

HMODULE CurrentModule()
{
    HMODULE Module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&CurrentModule), &Module);
    return Module;
}

std::wstring ModuleFileName(HMODULE Module)
{
    std::wstring FileName(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Length = ::GetModuleFileNameW(Module, FileName.data(), static_cast<DWORD>(FileName.size()));
        if (Length == 0)
            return std::wstring();
        if (Length < FileName.size()) {
            FileName.resize(Length);
            return FileName;
        }
        FileName.resize(FileName.size() * 2);
    }
}

far3::VersionInfo ReadModuleVersion(HMODULE Module)
{
    far3::VersionInfo Result{};
    const std::wstring FileName = ModuleFileName(Module);
    if (FileName.empty())
        return Result;
    DWORD Handle = 0;
    const DWORD Size = ::GetFileVersionInfoSizeW(FileName.c_str(), &Handle);
    if (Size == 0)
        return Result;
    std::vector<unsigned char> Data(Size);
    if (!::GetFileVersionInfoW(FileName.c_str(), 0, Size, Data.data()))
        return Result;
    VS_FIXEDFILEINFO* Fixed = nullptr;
    UINT FixedSize = 0;
    if (!::VerQueryValueW(Data.data(), L"\\", reinterpret_cast<void**>(&Fixed), &FixedSize) || !Fixed ||
        FixedSize < sizeof(VS_FIXEDFILEINFO))
        return Result;
    // The host shows a plugin's version as Major.Minor.Build.Revision: the
    // file version's third number goes to Build and its fourth to Revision,
    // so that the host shows the four numbers of the file and the package.
    Result.Major = HIWORD(Fixed->dwFileVersionMS);
    Result.Minor = LOWORD(Fixed->dwFileVersionMS);
    Result.Build = HIWORD(Fixed->dwFileVersionLS);
    Result.Revision = LOWORD(Fixed->dwFileVersionLS);
    Result.Stage = far3::VS_RELEASE;
    return Result;
}
