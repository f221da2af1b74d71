// The topics of the help files that the plugin opens.
#pragma once

inline constexpr const wchar_t* HelpContents = L"Contents";
inline constexpr const wchar_t* HelpFunctionList = L"FunctionList";
inline constexpr const wchar_t* HelpOptions = L"Options";
inline constexpr const wchar_t* HelpTopics[] = {HelpContents, HelpFunctionList, HelpOptions};
