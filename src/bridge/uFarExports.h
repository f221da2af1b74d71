// The eight functions the host looks up by name in Lodestar.dll.
#pragma once

#include "bridge/FarApi.h"

extern "C" {
void WINAPI SetStartupInfoW(const far3::PluginStartupInfo* Info);
void WINAPI GetGlobalInfoW(far3::GlobalInfo* Info);
void WINAPI GetPluginInfoW(far3::PluginInfo* Info);
HANDLE WINAPI OpenW(const far3::OpenInfo* Info);
intptr_t WINAPI ConfigureW(const far3::ConfigureInfo* Info);
void WINAPI ExitFARW(const far3::ExitInfo* Info);
intptr_t WINAPI ProcessSynchroEventW(const far3::ProcessSynchroEventInfo* Info);
intptr_t WINAPI ProcessEditorEventW(const far3::ProcessEditorEventInfo* Info);
}
