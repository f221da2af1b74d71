// The plugin linked into a test or benchmark program, as the simulated host
// loads it: its exports, and the program's own path standing for the DLL's
// (its folder holds the language files).
#pragma once

#include "FarHost.h"
#include "bridge/uFarExports.h"

#include <string>

inline TPluginExports LinkedExports()
{
    TPluginExports Exports;
    Exports.SetStartupInfoW = &SetStartupInfoW;
    Exports.GetGlobalInfoW = &GetGlobalInfoW;
    Exports.GetPluginInfoW = &GetPluginInfoW;
    Exports.OpenW = &OpenW;
    Exports.ConfigureW = &ConfigureW;
    Exports.ExitFARW = &ExitFARW;
    Exports.ProcessSynchroEventW = &ProcessSynchroEventW;
    Exports.ProcessEditorEventW = &ProcessEditorEventW;
    return Exports;
}

inline std::wstring TestProgramPath()
{
    std::wstring Path(MAX_PATH, L'\0');
    Path.resize(::GetModuleFileNameW(nullptr, Path.data(), MAX_PATH));
    return Path;
}
