// Typed access to the host's settings service: at most one open settings
// handle for one GUID, one current key inside it, and named numbers,
// Booleans (stored as numbers) and strings under that key. Host refusals
// never raise: opening and writing report false, reading gives the default.
#pragma once

#include "bridge/uFarModule.h"

#include <cstdint>
#include <memory>
#include <string>

// Owns one settings handle of the host and frees it (SCTL_FREE) on every
// path. Move-only: a copy would free the same handle twice.
class TFarSettingsHandle {
public:
    TFarSettingsHandle() noexcept = default;
    TFarSettingsHandle(HANDLE Handle, far3::FARAPISETTINGSCONTROL Control) noexcept : FHandle(Handle), FControl(Control)
    {
    }
    TFarSettingsHandle(TFarSettingsHandle&& Other) noexcept;
    TFarSettingsHandle& operator=(TFarSettingsHandle&& Other) noexcept;
    TFarSettingsHandle(const TFarSettingsHandle&) = delete;
    TFarSettingsHandle& operator=(const TFarSettingsHandle&) = delete;
    ~TFarSettingsHandle() { reset(); }

    HANDLE get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != nullptr; }
    void reset() noexcept;
    // A call on the held handle with the service it came from.
    intptr_t Control(far3::FAR_SETTINGS_CONTROL_COMMANDS Command, void* Param) const;

private:
    HANDLE FHandle = nullptr;
    // Kept with the handle so that freeing it never needs the plugin object,
    // which may already be on its way out.
    far3::FARAPISETTINGSCONTROL FControl = nullptr;
};

class TFarConfig : public TFarCommonModule {
public:
    // OpenRoot: make the root of Guid's settings current at once (the result
    // is not checked; IsOpen tells).
    TFarConfig(const GUID& Guid, bool OpenRoot);
    virtual ~TFarConfig();
    TFarConfig(const TFarConfig&) = delete;
    TFarConfig& operator=(const TFarConfig&) = delete;

    // The store of the registered plugin's own settings; throws the plugin
    // lifecycle error when no plugin object exists.
    static std::unique_ptr<TFarConfig> CreateForPlugin(bool OpenRoot);

    bool IsOpen() const noexcept { return static_cast<bool>(Handle); }
    // A path starting with "\" is taken from the root, any other from the
    // current key; separators at the ends are dropped.
    std::wstring ExpandKeyPath(const std::wstring& KeyPath) const;
    bool IsCurrentKey(const std::wstring& FullPath) const;
    // Makes the key KeyPath denotes current. OpenExisting: every subkey must
    // already exist; otherwise missing ones are created. Any failure leaves
    // the store closed.
    bool OpenKey(const std::wstring& KeyPath, bool OpenExisting);
    void Close() noexcept;

    bool TryReadQWord(const std::wstring& Name, uint64_t& Value) const;
    uint64_t ReadQWord(const std::wstring& Name, uint64_t Default) const;
    // Value is meaningful only when the result is true.
    bool TryReadBool(const std::wstring& Name, bool& Value) const;
    bool ReadBool(const std::wstring& Name, bool Default) const;
    bool TryReadString(const std::wstring& Name, std::wstring& Value) const;
    std::wstring ReadString(const std::wstring& Name, const std::wstring& Default) const;
    bool WriteQWord(const std::wstring& Name, uint64_t Value);
    bool WriteBool(const std::wstring& Name, bool Value);
    bool WriteString(const std::wstring& Name, const std::wstring& Value);

    bool GetModified() const noexcept { return Modified; }
    void SetModified() noexcept { Modified = true; }
    void ClearModified() noexcept { Modified = false; }

    HANDLE GetHandle() const noexcept { return Handle.get(); }
    int32_t GetRoot() const noexcept { return Root; }
    const GUID& GetGuid() const noexcept { return Guid; }
    const std::wstring& GetPath() const noexcept { return Path; }

protected:
    // Change-detecting setters: Modified is set only when the value differs.
    void UpdateString(std::wstring& Field, const std::wstring& Value);
    void UpdateInteger(int32_t& Field, int32_t Value);
    void UpdateBoolean(bool& Field, bool Value);

private:
    TFarSettingsHandle Handle;
    int32_t Root = 0;
    GUID Guid;
    std::wstring Path;
    bool Modified = false;

    // Root as the host records carry it: sign-extended to pointer size.
    size_t HostRoot() const noexcept { return static_cast<size_t>(static_cast<intptr_t>(Root)); }
    // A request for one value under the current key; Name must outlive it.
    far3::FarSettingsItem NewItem(const std::wstring& Name, far3::FARSETTINGSTYPES Type) const;
};
