// The simulated host's settings store: a tree of keys per plugin GUID (and
// per location, roaming or local) with numbers, strings and raw data,
// answering SettingsControl as the real host does. It lives as long as the
// host, so what a plugin saved survives unloading and loading it again.
//
// What the real host does and this store copies:
// - SCTL_CREATE needs the GUID of the loaded plugin; the all-zero GUID opens
//   the host's own settings, which are read-only.
// - Key ids are per handle: 0 is the root, and every successful
//   SCTL_OPENSUBKEY / SCTL_CREATESUBKEY hands out the next id, even for a key
//   that is already open under another id.
// - SCTL_GET converts a value stored with another type the way the host's
//   database does (a number read as a string is its signed decimal text, a
//   string read as a number is its leading integer, 0 when there is none).
// - Strings and data handed out by SCTL_GET belong to the handle and stay
//   valid until SCTL_FREE; then they are overwritten before being freed, so
//   a plugin that keeps such a pointer reads garbage, not old values.
// Where a correct plugin could never get a refusal (unknown handle or key id,
// wrong StructSize, a subkey name with a backslash...) the refusal is also a
// recorded host error. A handle still open when the plugin is unloaded is
// one too. SCTL_ENUM and SCTL_DELETE are not simulated, and the host's own
// settings are a plain read-only tree here (no FSSF_* folders).
#pragma once

#include "bridge/FarApi.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class THostContext;

// One stored value.
struct TSettingsValue {
    far3::FARSETTINGSTYPES Type = far3::FST_UNKNOWN;
    uint64_t Number = 0;
    std::wstring String;
    std::vector<unsigned char> Data;

    static TSettingsValue FromNumber(uint64_t Number);
    static TSettingsValue FromString(std::wstring String);
    static TSettingsValue FromData(std::vector<unsigned char> Data);

    // The value as SCTL_GET hands it out for another requested type.
    uint64_t AsNumber() const;
    std::wstring AsString() const;
    std::vector<unsigned char> AsData() const;

    bool operator==(const TSettingsValue& Other) const;
};

// Lets GoogleTest print values in failure messages.
void PrintTo(const TSettingsValue& Value, std::ostream* Out);

class TSettingsStore {
public:
    explicit TSettingsStore(THostContext& Host);
    ~TSettingsStore();
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;

    // --- direct access for tests ------------------------------------------------
    // KeyPath names the key below the GUID's root: names joined by "\", empty
    // for the root. Setting a value creates the keys on the way.
    void SetValue(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name, const TSettingsValue& Value,
                  far3::FAR_PLUGIN_SETTINGS_LOCATION Location = far3::PSL_ROAMING);
    void SetNumber(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name, uint64_t Number);
    void SetString(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name, const std::wstring& String);
    std::optional<TSettingsValue> GetValue(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name,
                                           far3::FAR_PLUGIN_SETTINGS_LOCATION Location = far3::PSL_ROAMING) const;
    bool HasKey(const GUID& Guid, const std::wstring& KeyPath,
                far3::FAR_PLUGIN_SETTINGS_LOCATION Location = far3::PSL_ROAMING) const;
    // Names of the values directly under a key, sorted.
    std::vector<std::wstring> ValueNames(const GUID& Guid, const std::wstring& KeyPath,
                                         far3::FAR_PLUGIN_SETTINGS_LOCATION Location = far3::PSL_ROAMING) const;
    size_t OpenHandleCount() const;

    // --- the service (SettingsCommands.cpp) ---------------------------------------
    intptr_t Control(HANDLE Handle, far3::FAR_SETTINGS_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2);
    // Called when the plugin is unloaded: every handle still open is a
    // recorded error, and is freed so the next load starts clean.
    void ReleaseLeakedHandles();

    struct TKey {
        std::map<std::wstring, std::unique_ptr<TKey>> Subkeys;
        std::map<std::wstring, TSettingsValue> Values;
    };

private:
    struct THandle {
        bool ReadOnly = false;
        // Index = key id; 0 is the root of the handle's settings.
        std::vector<TKey*> Keys;
        // What SCTL_GET handed out, alive until SCTL_FREE.
        std::vector<std::unique_ptr<wchar_t[]>> Strings;
        std::vector<std::unique_ptr<unsigned char[]>> Blobs;
        std::vector<size_t> BlobSizes;
    };

    TKey& Root(const GUID& Guid, far3::FAR_PLUGIN_SETTINGS_LOCATION Location);
    const TKey* FindRoot(const GUID& Guid, far3::FAR_PLUGIN_SETTINGS_LOCATION Location) const;
    static TKey* CreatePath(TKey& Root, const std::wstring& KeyPath);
    static const TKey* FindPath(const TKey* Root, const std::wstring& KeyPath);
    static void Scrub(THandle& Handle);

    // The commands, called with FLock held.
    intptr_t Create(intptr_t Param1, void* Param2);
    intptr_t Free(HANDLE Handle);
    intptr_t Get(THandle& Handle, void* Param2);
    intptr_t Set(THandle& Handle, void* Param2);
    intptr_t SubKey(THandle& Handle, void* Param2, bool Create, const char* Command);
    TKey* KeyOf(THandle& Handle, size_t Root, const char* Command);

    THostContext& FHost;
    mutable std::recursive_mutex FLock;
    std::map<std::pair<std::wstring, int>, std::unique_ptr<TKey>> FRoots;
    std::map<HANDLE, THandle> FHandles;
    uintptr_t FNextHandle = 0x5E7000;
};
