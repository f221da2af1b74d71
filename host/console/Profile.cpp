#include "Profile.h"

#include "FarHost.h"
#include "ToolText.h"

#include <cstdio>
#include <cwchar>

namespace {

std::wstring Escape(const std::wstring& Text)
{
    std::wstring Out;
    for (wchar_t C : Text) {
        switch (C) {
        case L'\\': Out += L"\\\\"; break;
        case L'\t': Out += L"\\t"; break;
        case L'\n': Out += L"\\n"; break;
        case L'\r': Out += L"\\r"; break;
        default: Out += C;
        }
    }
    return Out;
}

std::wstring Unescape(const std::wstring& Text)
{
    std::wstring Out;
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] != L'\\' || I + 1 == Text.size()) {
            Out += Text[I];
            continue;
        }
        const wchar_t C = Text[++I];
        Out += C == L't' ? L'\t' : C == L'n' ? L'\n' : C == L'r' ? L'\r' : C;
    }
    return Out;
}

bool ParseGuid(const std::wstring& Text, GUID& Guid)
{
    unsigned long Data1 = 0;
    unsigned Data2 = 0, Data3 = 0, B[8] = {};
    wchar_t End = 0;
    if (Text.size() != 38 ||
        swscanf(Text.c_str(), L"{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%lc", &Data1, &Data2, &Data3, &B[0], &B[1],
                &B[2], &B[3], &B[4], &B[5], &B[6], &B[7], &End) != 12 ||
        End != L'}')
        return false;
    Guid.Data1 = Data1;
    Guid.Data2 = static_cast<unsigned short>(Data2);
    Guid.Data3 = static_cast<unsigned short>(Data3);
    for (int I = 0; I < 8; ++I)
        Guid.Data4[I] = static_cast<unsigned char>(B[I]);
    return true;
}

bool ParseValue(const std::wstring& Type, const std::wstring& Text, TSettingsValue& Value)
{
    if (Type == L"number") {
        wchar_t* End = nullptr;
        const uint64_t Number = std::wcstoull(Text.c_str(), &End, 10);
        if (Text.empty() || *End)
            return false;
        Value = TSettingsValue::FromNumber(Number);
        return true;
    }
    if (Type == L"string") {
        Value = TSettingsValue::FromString(Unescape(Text));
        return true;
    }
    if (Type == L"data") {
        if (Text.size() % 2)
            return false;
        std::vector<unsigned char> Bytes;
        for (size_t I = 0; I < Text.size(); I += 2) {
            wchar_t* End = nullptr;
            const std::wstring Pair = Text.substr(I, 2);
            const unsigned long Byte = std::wcstoul(Pair.c_str(), &End, 16);
            if (*End)
                return false;
            Bytes.push_back(static_cast<unsigned char>(Byte));
        }
        Value = TSettingsValue::FromData(std::move(Bytes));
        return true;
    }
    return false;
}

std::wstring ValueText(const TSettingsValue& Value)
{
    switch (Value.Type) {
    case far3::FST_QWORD: return L"number\t" + std::to_wstring(Value.Number);
    case far3::FST_STRING: return L"string\t" + Escape(Value.String);
    default: {
        std::wstring Hex = L"data\t";
        wchar_t Byte[3];
        for (unsigned char B : Value.AsData()) {
            swprintf(Byte, 3, L"%02x", B);
            Hex += Byte;
        }
        return Hex;
    }
    }
}

} // namespace

std::wstring DefaultProfileFolder()
{
    wchar_t Buffer[MAX_PATH];
    DWORD Length = ::GetEnvironmentVariableW(L"APPDATA", Buffer, MAX_PATH);
    if (Length == 0 || Length >= MAX_PATH)
        Length = ::GetEnvironmentVariableW(L"USERPROFILE", Buffer, MAX_PATH);
    const std::wstring Base = Length > 0 && Length < MAX_PATH ? std::wstring(Buffer, Length) : L".";
    return Base + L"\\Lodestar-host";
}

std::vector<TProfileValue> ReadProfile(const std::wstring& File, std::vector<std::wstring>& Warnings)
{
    std::vector<TProfileValue> Values;
    std::string Bytes;
    if (!tooltext::ReadWholeFile(File, Bytes))
        return Values;
    const std::wstring Text = tooltext::Widen(Bytes);
    size_t Pos = 0;
    int Number = 0;
    while (Pos < Text.size()) {
        size_t End = Text.find(L'\n', Pos);
        if (End == std::wstring::npos)
            End = Text.size();
        std::wstring Line = Text.substr(Pos, End - Pos);
        Pos = End + 1;
        ++Number;
        if (!Line.empty() && Line.back() == L'\r')
            Line.pop_back();
        if (Line.empty() || Line[0] == L'#')
            continue;
        std::vector<std::wstring> Fields;
        size_t From = 0;
        for (int I = 0; I < 3; ++I) {
            const size_t Tab = Line.find(L'\t', From);
            if (Tab == std::wstring::npos)
                break;
            Fields.push_back(Line.substr(From, Tab - From));
            From = Tab + 1;
        }
        Fields.push_back(Line.substr(From));
        TProfileValue Value;
        if (Fields.size() != 4 || !ParseGuid(Fields[0], Value.Guid) || Fields[1].empty() ||
            !ParseValue(Fields[2], Fields[3], Value.Value)) {
            Warnings.push_back(File + L": line " + std::to_wstring(Number) + L" is not a setting; skipped");
            continue;
        }
        Value.Name = Fields[1];
        Values.push_back(std::move(Value));
    }
    return Values;
}

bool WriteProfile(const std::wstring& File, const std::vector<TProfileValue>& Values)
{
    const size_t Slash = File.find_last_of(L"\\/");
    if (Slash != std::wstring::npos)
        ::CreateDirectoryW(File.substr(0, Slash).c_str(), nullptr);
    std::wstring Text = L"# Settings the plugins stored in the Lodestar console host: GUID, name, type, value.\n";
    for (const TProfileValue& Value : Values)
        Text += GuidText(Value.Guid) + L"\t" + Value.Name + L"\t" + ValueText(Value.Value) + L"\n";
    const std::string Bytes = tooltext::Narrow(Text);
    const HANDLE Handle = ::CreateFileW(File.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr);
    if (Handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD Done = 0;
    const bool Written = ::WriteFile(Handle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr) &&
                         Done == Bytes.size();
    ::CloseHandle(Handle);
    return Written;
}

void PutIntoStore(TSettingsStore& Store, const std::vector<TProfileValue>& Values)
{
    for (const TProfileValue& Value : Values)
        Store.SetValue(Value.Guid, L"", Value.Name, Value.Value);
}

std::vector<TProfileValue> TakeFromStore(const TSettingsStore& Store, const std::vector<GUID>& Plugins)
{
    std::vector<TProfileValue> Values;
    for (const GUID& Guid : Plugins)
        for (const std::wstring& Name : Store.ValueNames(Guid, L""))
            if (const auto Value = Store.GetValue(Guid, L"", Name))
                Values.push_back({Guid, Name, *Value});
    return Values;
}
