// The topics of the help files (lng/LodestarEng.hlf, lng/LodestarRus.hlf)
// that the plugin opens. The host looks a bare topic name up in the help
// file of the plugin's own folder, so every name here must be a topic of
// each of them.
#pragma once

inline constexpr const wchar_t* HelpContents = L"Contents";
inline constexpr const wchar_t* HelpFunctionList = L"FunctionList";
inline constexpr const wchar_t* HelpOptions = L"Options";
inline constexpr const wchar_t* HelpTopics[] = {HelpContents, HelpFunctionList, HelpOptions};
