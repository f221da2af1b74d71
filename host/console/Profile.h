// The console host's settings file: what plugins stored in the settings
// store, kept between runs. One value a line, UTF-8:
//
//   {PLUGIN-GUID}<TAB>Name<TAB>number<TAB>300
//   {PLUGIN-GUID}<TAB>Name<TAB>string<TAB>text, with \\ \t \n \r escaped
//   {PLUGIN-GUID}<TAB>Name<TAB>data<TAB>hex bytes
//
// Only the values at the root of each plugin's settings are kept.
#pragma once

#include "SettingsStore.h"

#include <string>
#include <vector>

struct TProfileValue {
    GUID Guid{};
    std::wstring Name;
    TSettingsValue Value;
};

// The default settings file: %APPDATA%\Lodestar-host\settings.txt.
std::wstring DefaultProfileFolder();

// The values in File; a file that does not exist holds none. Lines that
// cannot be read are skipped and named in Warnings.
std::vector<TProfileValue> ReadProfile(const std::wstring& File, std::vector<std::wstring>& Warnings);
// Writes the values, creating the file's folder; false when it cannot.
bool WriteProfile(const std::wstring& File, const std::vector<TProfileValue>& Values);

void PutIntoStore(TSettingsStore& Store, const std::vector<TProfileValue>& Values);
// The values at the root of each plugin's settings.
std::vector<TProfileValue> TakeFromStore(const TSettingsStore& Store, const std::vector<GUID>& Plugins);
