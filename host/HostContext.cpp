#include "HostContext.h"

#include <cwchar>

std::wstring Widen(const std::string& Text)
{
    return std::wstring(Text.begin(), Text.end());
}

std::wstring GuidText(const GUID& G)
{
    wchar_t Buffer[64];
    swprintf(Buffer, 64, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", G.Data1, G.Data2, G.Data3, G.Data4[0],
             G.Data4[1], G.Data4[2], G.Data4[3], G.Data4[4], G.Data4[5], G.Data4[6], G.Data4[7]);
    return Buffer;
}
