// The host's reading of a plugin's language files: which file is chosen for
// the interface language, and the messages in file order.
#pragma once

#include <string>
#include <vector>

struct TLngFile {
    std::wstring FileName;
    std::wstring Language;    // the name before the first comma of ".Language="
    std::wstring Description; // after the comma
    std::vector<std::wstring> Messages;
};

// Parses one file's bytes: UTF-8 or UTF-16LE with a byte-order mark; without
// one, UTF-8 when valid, else the OEM code page. Returns false when the file
// has no ".Language=" header before its first message.
bool ParseLngFile(const std::string& Bytes, TLngFile& File);

// Reads every *.lng of Folder and picks the one for Language: the file whose
// language name matches (case-insensitive), else "English", else the last one.
bool LoadLanguage(const std::wstring& Folder, const std::wstring& Language, TLngFile& Chosen);
