// The concrete plugin: identity, menu items, standard texts, and the two
// commands (function navigation and configuration).
#pragma once

#include "bridge/uFarMacro.h"
#include "bridge/uFarPlugin.h"
#include "plugin/uNavigation.h"
#include "plugin/uSaveRefresh.h"
#include "settings/uOptions.h"

#include <memory>

// {1FCF0E70-8ADC-4F9B-8CAD-C5170CB27FEF}
inline constexpr GUID PluginGuidValue = {0x1fcf0e70, 0x8adc, 0x4f9b, {0x8c, 0xad, 0xc5, 0x17, 0x0c, 0xb2, 0x7f, 0xef}};
// {F685CDBE-5153-47E1-BD44-1E372E30C64A}
inline constexpr GUID PluginMenuGuid = {0xf685cdbe, 0x5153, 0x47e1, {0xbd, 0x44, 0x1e, 0x37, 0x2e, 0x30, 0xc6, 0x4a}};
// The other items of the editor's plugins menu.
// {8B1F4C2A-6D3E-4A57-9C0B-2E4F7A1D5C38}
inline constexpr GUID DefinitionMenuGuid = {
    0x8b1f4c2a, 0x6d3e, 0x4a57, {0x9c, 0x0b, 0x2e, 0x4f, 0x7a, 0x1d, 0x5c, 0x38}};
// {C4A7E913-2B5D-4F08-8E6A-1D9B3C7F0A42}
inline constexpr GUID BackMenuGuid = {0xc4a7e913, 0x2b5d, 0x4f08, {0x8e, 0x6a, 0x1d, 0x9b, 0x3c, 0x7f, 0x0a, 0x42}};
// {5E29B0D6-8A41-4C73-B1F5-7D0E6A3C9B14}
inline constexpr GUID ProjectMenuGuid = {0x5e29b0d6, 0x8a41, 0x4c73, {0xb1, 0xf5, 0x7d, 0x0e, 0x6a, 0x3c, 0x9b, 0x14}};
// {A0D3F581-7C2E-49B6-9D14-3B8E5F2A6C07}
inline constexpr GUID MakeTagsMenuGuid = {0xa0d3f581, 0x7c2e, 0x49b6, {0x9d, 0x14, 0x3b, 0x8e, 0x5f, 0x2a, 0x6c, 0x07}};
// {3E58002A-1EA9-4BBA-8535-910358C6C1C3}
inline constexpr GUID PluginConfigGuid = {0x3e58002a, 0x1ea9, 0x4bba, {0x85, 0x35, 0x91, 0x03, 0x58, 0xc6, 0xc1, 0xc3}};

class TPlugin : public TFarPlugin {
public:
    TPlugin() = default;

    // The commands of the editor's plugins menu and of a macro call.
    enum class TCommandKind { FunctionList, Definition, Back, ProjectTags, MakeProjectTags };
    // Runs one; true when the cursor moved (or, for making the tags file,
    // when it was made).
    bool RunCommand(TCommandKind Kind);
    // A macro call: the first argument names the command ("execute" is the
    // function list, then "definition", "back", "project"), and the result
    // says whether the cursor moved.
    bool RunMacro(const TVariantArray& Args);
    // The places the jumps came from, for the way back; they live as long
    // as the Far session.
    TPlaceStack& GetPlaces() noexcept { return FPlaces; }

    // Removes what a Far killed in the middle of a command left behind.
    void Startup() override;
    // Ends the refresh of tags files: no thread of the plugin outlives it.
    void Exit() override;
    // A saved file's tags go into its project's tags file.
    void EditorSaving(intptr_t EditorId, const std::wstring& FileName) override;
    GUID GetGuid() override;
    void GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author) override;
    void GetPluginInfo(far3::PLUGIN_FLAGS& Flags, TFarPluginMenu& PluginMenu, TFarPluginMenu& ConfigMenu,
                       TFarPluginMenu& DiskMenu, std::wstring& CommandPrefix) override;
    intptr_t Open(far3::OPENFROM OpenFrom, const GUID* Guid, intptr_t Data) override;
    bool Configure(const GUID* Guid) override;
    void Log(const std::wstring& Line) override;
    std::wstring GetStandardMessage(TStandardMessage Kind) override;

private:
    // Far lets a macro call the plugin while one of the plugin's own dialogs
    // runs; a second command then would share the first one's screen, its
    // dialogs and the user's attention. It is refused quietly instead.
    bool FBusy = false;
    TPlaceStack FPlaces;
    // Made at the first save.
    std::unique_ptr<TSaveRefresher> FRefresher;
    // Marks a command as running for its scope; false when another runs.
    class TCommand;
};

// The plugin unit's start: creates and registers the single plugin object.
void PluginInitialize();
