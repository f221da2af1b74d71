// What the host's parts (the dialog engine, the editors, the settings store)
// need of the host around them: where their errors and calls are recorded,
// the failures a test asked for, the checks every service makes alike, and
// the few facts of the host their answers depend on. TFarHost implements it;
// the parts know nothing else of the host, so none of them reaches into
// another through it.
#pragma once

#include "bridge/FarApi.h"

#include <string>
#include <vector>

class THostContext {
public:
    virtual ~THostContext() = default;

    // --- what happened -----------------------------------------------------
    // A recorded error fails the test.
    virtual void Error(const std::wstring& Text) = 0;
    // Records a service call with the calling thread.
    virtual void Record(const std::string& Service) = 0;

    // --- failures on demand --------------------------------------------------
    // Whether a test made this service (or command) refuse every request.
    virtual bool IsFailing(const std::string& Service) const = 0;
    // Counts a call the fault plan may refuse; true for the one to refuse.
    virtual bool FaultHere(const char* Service, const char* Command = nullptr) = 0;

    // --- the host's own boxes ----------------------------------------------------
    // A box the host itself shows (not one the plugin asked for), drawn and
    // answered as the plugin's boxes are: Lines[0] is the title, the last
    // ButtonCount lines are the buttons. The index of the button chosen, or
    // -1 for Esc.
    virtual intptr_t HostBox(far3::FARMESSAGEFLAGS Flags, const std::vector<std::wstring>& Lines,
                             size_t ButtonCount) = 0;

    // --- the checks every service makes ---------------------------------------
    virtual bool CheckPluginId(const GUID* PluginId, const char* Service) = 0;
    virtual bool CheckStructSize(size_t StructSize, size_t HostSize, const char* Record, const char* Service) = 0;

    // --- the host's facts ------------------------------------------------------
    virtual DWORD MainThreadId() const = 0;
    // The version the host reports itself as (ACTL_GETFARMANAGERVERSION).
    virtual const far3::VersionInfo& FarVersion() const = 0;
    // What GetGlobalInfoW reported; all zero before a plugin is loaded.
    virtual const GUID& LoadedPluginGuid() const = 0;
    virtual SHORT ConsoleWidth() const = 0;
    virtual SHORT ConsoleHeight() const = 0;
    // The console changed size; every dialog is placed again.
    virtual void SetConsoleSize(SHORT Width, SHORT Height) = 0;

    // --- the main loop's duties, for a modal loop of a part -------------------
    // Delivers the queued ACTL_SYNCHRO events; returns how many.
    virtual size_t DeliverSynchroEvents() = 0;
    // Waits until a synchro event is queued (or the time runs out).
    virtual bool WaitForSynchroEvent(DWORD Milliseconds) = 0;
    virtual size_t SynchroRequests() const = 0;
    // Tells the plugin of an editor's event, as the host does on its main
    // thread.
    virtual void EditorEvent(intptr_t Event, void* Param, intptr_t EditorId) = 0;
};

// Text of a GUID for error messages.
std::wstring GuidText(const GUID& Guid);
// ASCII names (services, commands, messages) for error messages.
std::wstring Widen(const std::string& Text);
