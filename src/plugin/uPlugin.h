// The concrete plugin: identity, menu items, standard texts, and the two
// commands (function navigation and configuration).
#pragma once

#include "bridge/uFarMacro.h"
#include "bridge/uFarPlugin.h"
#include "settings/uOptions.h"

#include <memory>

// {1FCF0E70-8ADC-4F9B-8CAD-C5170CB27FEF}
inline constexpr GUID PluginGuidValue = {0x1fcf0e70, 0x8adc, 0x4f9b, {0x8c, 0xad, 0xc5, 0x17, 0x0c, 0xb2, 0x7f, 0xef}};
// {F685CDBE-5153-47E1-BD44-1E372E30C64A}
inline constexpr GUID PluginMenuGuid = {0xf685cdbe, 0x5153, 0x47e1, {0xbd, 0x44, 0x1e, 0x37, 0x2e, 0x30, 0xc6, 0x4a}};
// {3E58002A-1EA9-4BBA-8535-910358C6C1C3}
inline constexpr GUID PluginConfigGuid = {0x3e58002a, 0x1ea9, 0x4bba, {0x85, 0x35, 0x91, 0x03, 0x58, 0xc6, 0xc1, 0xc3}};

class TPlugin : public TFarPlugin {
public:
    TPlugin() = default;
    ~TPlugin() override;

    // Loaded from the settings store on first use; freed by each request.
    TOptions& GetOptions();
    void FreeOptions() noexcept;
    // A macro call: the first argument "execute" runs the command and says
    // whether the cursor moved.
    bool RunMacro(const TVariantArray& Args);

    GUID GetGuid() override;
    void GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author) override;
    void GetPluginInfo(far3::PLUGIN_FLAGS& Flags, TFarPluginMenu& PluginMenu, TFarPluginMenu& ConfigMenu,
                       TFarPluginMenu& DiskMenu, std::wstring& CommandPrefix) override;
    intptr_t Open(far3::OPENFROM OpenFrom, const GUID* Guid, intptr_t Data) override;
    bool Configure(const GUID* Guid) override;
    void Log(const std::wstring& Line) override;
    std::wstring GetStandardMessage(TStandardMessage Kind) override;

private:
    std::unique_ptr<TOptions> FOptions;
};

// The plugin unit's start: creates and registers the single plugin object.
void PluginInitialize();
