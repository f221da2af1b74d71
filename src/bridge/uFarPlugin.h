// The plugin base: the host's calls become virtual operations of the single
// registered plugin object, which keeps its own copies of the host's tables.
#pragma once

#include "bridge/uFarModule.h"

#include <memory>
#include <string>
#include <vector>

enum class TStandardMessage { smTitle = 0, smExceptionInFunction, smOk, smCancel, smYes, smNo };

class TFarPlugin : public TFarModule {
public:
    struct TFarPluginMenuItem {
        std::wstring Text;
        GUID Guid;
    };
    using TFarPluginMenu = std::vector<TFarPluginMenuItem>;

    TFarPlugin();
    virtual ~TFarPlugin();
    TFarPlugin(const TFarPlugin&) = delete;
    TFarPlugin& operator=(const TFarPlugin&) = delete;

    // The singleton. RegisterInstance takes ownership.
    static void RegisterInstance(std::unique_ptr<TFarPlugin> Plugin);
    static TFarPlugin& Instance();
    static bool HasInstance() noexcept;
    static void FreeInstance() noexcept;

    virtual GUID GetGuid() = 0;
    virtual void GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author) = 0;
    virtual void GetPluginInfo(far3::PLUGIN_FLAGS& Flags, TFarPluginMenu& PluginMenu, TFarPluginMenu& ConfigMenu,
                               TFarPluginMenu& DiskMenu, std::wstring& CommandPrefix) = 0;
    virtual intptr_t Open(far3::OPENFROM OpenFrom, const GUID* Guid, intptr_t Data) = 0;
    virtual far3::VersionInfo GetMinFarVersion();
    virtual void Startup();
    virtual void Exit();
    virtual bool Configure(const GUID* Guid);
    virtual void Log(const std::wstring& Line);
    virtual std::wstring GetStandardMessage(TStandardMessage Kind);
    virtual far3::VersionInfo GetVersion();
    // Work a plugin thread asked for with ACTL_SYNCHRO, now on the host's
    // main thread; by default the framework's own requests (TFarSynchro).
    virtual void ProcessSynchroEvent(void* Param);
    // An editor is about to write its text to FileName (EE_SAVE: the host
    // sends it before the bytes are on disk); nothing by default.
    virtual void EditorSaving(intptr_t EditorId, const std::wstring& FileName);

    // What the exports do, one operation each.
    void DoSetStartupInfo(const far3::PluginStartupInfo* Info);
    void DoGetGlobalInfo(far3::GlobalInfo* Info);
    void DoGetPluginInfo(far3::PluginInfo* Info);

    const far3::PluginStartupInfo& GetStartupInfo() const { return StartupInfo; }
    const far3::FarStandardFunctions& GetStandardFunctions() const { return StandardFunctions; }
    bool IsPluginInfoCached() const { return PluginInfoCached; }

private:
    far3::PluginStartupInfo StartupInfo{};
    far3::FarStandardFunctions StandardFunctions{};
    bool PluginInfoCached = false;
    far3::PluginInfo PluginInfoCache{};

    // What PluginInfoCache points to.
    struct TMenuStorage {
        std::vector<GUID> Guids;
        std::vector<std::unique_ptr<wchar_t[]>> Texts;
        std::vector<const wchar_t*> Pointers;
    };
    TMenuStorage DiskStorage, PluginStorage, ConfigStorage;
    std::unique_ptr<wchar_t[]> CommandPrefixCopy;

    void BuildPluginInfoCache();
    static far3::PluginMenuItem FillMenu(const TFarPluginMenu& Menu, TMenuStorage& Storage);
};

// The identity strings reported by GetGlobalInfoW, kept alive for the host.
struct TGlobalInfo_Static {
    std::wstring Title;
    std::wstring Description;
    std::wstring Author;
};

// Reads the file version of the module that holds this code; all zero when
// it has no version resource.
far3::VersionInfo ReadModuleVersion(HMODULE Module);
HMODULE CurrentModule();
// The full path of Module's file, or "".
std::wstring ModuleFileName(HMODULE Module);
