// The entry points the host calls. Each one is a single error handler wide:
// it logs START and END, forwards to the plugin object and lets no exception
// of any kind cross into the host.
#include "bridge/uFarExports.h"

#include "bridge/uEditorChanges.h"
#include "bridge/uFarPlugin.h"

namespace {

template <class R, class F>
R RunExport(const wchar_t* LogName, const wchar_t* ReportName, R Neutral, F&& Work) noexcept
{
    TFarPlugin* Plugin = nullptr;
    try {
        Plugin = &TFarPlugin::Instance();
        Plugin->Log(std::wstring(LogName) + L" START");
    } catch (...) {
        // No plugin object (or a log sink that fails before any work):
        // there is nothing to forward to.
        if (!Plugin)
            return Neutral;
    }
    R Result = Neutral;
    try {
        Result = Work(*Plugin);
    } catch (const Exception& E) {
        TFarModule::HandleException(E, ReportName);
        Result = Neutral;
    } catch (const std::exception& E) {
        TFarModule::HandleException(E, ReportName);
        Result = Neutral;
    } catch (...) {
        TFarModule::HandleUnknownException(ReportName);
        Result = Neutral;
    }
    try {
        Plugin->Log(std::wstring(LogName) + L" END");
    } catch (...) {
    }
    return Result;
}

} // namespace

extern "C" {

void WINAPI SetStartupInfoW(const far3::PluginStartupInfo* Info)
{
    RunExport(L"SetStartupInfo", L"SetStartupInfo", 0, [&](TFarPlugin& Plugin) {
        Plugin.DoSetStartupInfo(Info);
        return 0;
    });
}

void WINAPI GetGlobalInfoW(far3::GlobalInfo* Info)
{
    RunExport(L"GetGlobalInfoW", L"GetGlobalInfoW", 0, [&](TFarPlugin& Plugin) {
        Plugin.DoGetGlobalInfo(Info);
        return 0;
    });
}

void WINAPI GetPluginInfoW(far3::PluginInfo* Info)
{
    RunExport(L"GetPluginInfoW", L"GetPluginInfoW", 0, [&](TFarPlugin& Plugin) {
        Plugin.DoGetPluginInfo(Info);
        return 0;
    });
}

HANDLE WINAPI OpenW(const far3::OpenInfo* Info)
{
    return RunExport<HANDLE>(L"OpenW", L"OpenW", nullptr, [&](TFarPlugin& Plugin) {
        if (!Info)
            return HANDLE(nullptr);
        return reinterpret_cast<HANDLE>(Plugin.Open(Info->OpenFrom, Info->Guid, Info->Data));
    });
}

intptr_t WINAPI ConfigureW(const far3::ConfigureInfo* Info)
{
    return RunExport<intptr_t>(L"ConfigureW", L"ConfigureW", 0, [&](TFarPlugin& Plugin) -> intptr_t {
        if (!Info || Info->StructSize < 16)
            return 0;
        return Plugin.Configure(Info->Guid) ? 1 : 0;
    });
}

void WINAPI ExitFARW(const far3::ExitInfo*)
{
    RunExport(L"ExitFARW", L"ExitFARW", 0, [&](TFarPlugin& Plugin) {
        Plugin.Exit();
        return 0;
    });
}

intptr_t WINAPI ProcessSynchroEventW(const far3::ProcessSynchroEventInfo* Info)
{
    // The host expects 0 whatever happens.
    RunExport(L"ProcessSynchroEventW", L"ProcessSynchroEventW", 0, [&](TFarPlugin& Plugin) {
        if (Info)
            Plugin.ProcessSynchroEvent(Info->Param);
        return 0;
    });
    return 0;
}

intptr_t WINAPI ProcessEditorEventW(const far3::ProcessEditorEventInfo* Info)
{
    // Every redraw, focus change and typed character of every editor comes
    // here: all but a save leave at once, before the log and the error
    // handler. The host does not read the answer (measured).
    if (!Info || Info->StructSize < sizeof(far3::ProcessEditorEventInfo))
        return 0;
    if (Info->Event == far3::EE_CHANGE)
        TEditorChanges::Changed(Info->EditorID);
    else if (Info->Event == far3::EE_CLOSE || Info->Event == far3::EE_READ)
        TEditorChanges::Forget(Info->EditorID);
    if (Info->Event != far3::EE_SAVE)
        return 0;
    const auto* Save = static_cast<const far3::EditorSaveFile*>(Info->Param);
    if (!Save || Save->StructSize < sizeof(far3::EditorSaveFile) || !Save->FileName || !*Save->FileName)
        return 0;
    RunExport(L"ProcessEditorEventW", L"ProcessEditorEventW", 0, [&](TFarPlugin& Plugin) {
        Plugin.EditorSaving(Info->EditorID, Save->FileName);
        return 0;
    });
    return 0;
}

} // extern "C"
