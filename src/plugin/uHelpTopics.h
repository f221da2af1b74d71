// The topics of the help files (lng/LodestarEng.hlf, lng/LodestarRus.hlf)
// that the plugin opens. The host looks a bare topic name up in the help
// file of the plugin's own folder, so every name here must be a topic of
// each of them.
#pragma once

inline constexpr const wchar_t* HelpContents = L"Contents";
inline constexpr const wchar_t* HelpFunctionList = L"FunctionList";
// Far opens a plugin's "Config" topic for Shift+F1 in its plugins
// configuration menu: the options have that name.
inline constexpr const wchar_t* HelpOptions = L"Config";
inline constexpr const wchar_t* HelpDefinitions = L"Definitions";
inline constexpr const wchar_t* HelpProjectTags = L"ProjectTags";
inline constexpr const wchar_t* HelpTopics[] = {HelpContents, HelpFunctionList, HelpOptions, HelpDefinitions,
                                                HelpProjectTags};
