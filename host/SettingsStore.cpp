#include "SettingsStore.h"

#include "HostContext.h"
#include "ToolText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <ostream>

namespace {

// The host's database keeps text as UTF-8; conversions between text and raw
// data therefore go through UTF-8.
using tooltext::Narrow;

std::wstring FromUtf8(const unsigned char* Bytes, size_t Size)
{
    if (Size == 0)
        return std::wstring();
    const char* Text = reinterpret_cast<const char*>(Bytes);
    const int Length = ::MultiByteToWideChar(CP_UTF8, 0, Text, static_cast<int>(Size), nullptr, 0);
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, Text, static_cast<int>(Size), Result.data(), Length);
    return Result;
}

// The database's reading of text as an integer: leading blanks, a sign,
// digits up to the first other character; 0 without digits; out-of-range
// values stick at the nearest 64-bit signed limit.
int64_t LeadingInteger(const std::wstring& Text)
{
    size_t I = 0;
    while (I < Text.size() && (Text[I] == L' ' || (Text[I] >= L'\t' && Text[I] <= L'\r')))
        ++I;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == L'-' || Text[I] == L'+'))
        Negative = Text[I++] == L'-';
    const uint64_t Limit = Negative ? uint64_t(1) << 63 : uint64_t(std::numeric_limits<int64_t>::max());
    uint64_t Value = 0;
    bool Overflow = false;
    for (; I < Text.size() && Text[I] >= L'0' && Text[I] <= L'9'; ++I) {
        const unsigned Digit = static_cast<unsigned>(Text[I] - L'0');
        if (Value > (Limit - Digit) / 10)
            Overflow = true;
        else
            Value = Value * 10 + Digit;
    }
    if (Overflow)
        Value = Limit;
    return Negative ? static_cast<int64_t>(0 - Value) : static_cast<int64_t>(Value);
}

std::vector<std::wstring> SplitPath(const std::wstring& KeyPath)
{
    std::vector<std::wstring> Names;
    size_t Start = 0;
    while (Start <= KeyPath.size()) {
        const size_t End = std::min(KeyPath.find(L'\\', Start), KeyPath.size());
        if (End > Start)
            Names.push_back(KeyPath.substr(Start, End - Start));
        Start = End + 1;
    }
    return Names;
}

} // namespace

TSettingsValue TSettingsValue::FromNumber(uint64_t Number)
{
    TSettingsValue Value;
    Value.Type = far3::FST_QWORD;
    Value.Number = Number;
    return Value;
}

TSettingsValue TSettingsValue::FromString(std::wstring String)
{
    TSettingsValue Value;
    Value.Type = far3::FST_STRING;
    Value.String = std::move(String);
    return Value;
}

TSettingsValue TSettingsValue::FromData(std::vector<unsigned char> Data)
{
    TSettingsValue Value;
    Value.Type = far3::FST_DATA;
    Value.Data = std::move(Data);
    return Value;
}

uint64_t TSettingsValue::AsNumber() const
{
    switch (Type) {
    case far3::FST_QWORD: return Number;
    case far3::FST_STRING: return static_cast<uint64_t>(LeadingInteger(String));
    case far3::FST_DATA: return static_cast<uint64_t>(LeadingInteger(FromUtf8(Data.data(), Data.size())));
    default: return 0;
    }
}

std::wstring TSettingsValue::AsString() const
{
    switch (Type) {
    case far3::FST_QWORD:
        // Numbers are kept as signed 64-bit integers.
        return std::to_wstring(static_cast<int64_t>(Number));
    case far3::FST_STRING: return String;
    case far3::FST_DATA: return FromUtf8(Data.data(), Data.size());
    default: return std::wstring();
    }
}

std::vector<unsigned char> TSettingsValue::AsData() const
{
    if (Type == far3::FST_DATA)
        return Data;
    const std::string Text = Narrow(AsString());
    return std::vector<unsigned char>(Text.begin(), Text.end());
}

bool TSettingsValue::operator==(const TSettingsValue& Other) const
{
    if (Type != Other.Type)
        return false;
    switch (Type) {
    case far3::FST_QWORD: return Number == Other.Number;
    case far3::FST_STRING: return String == Other.String;
    case far3::FST_DATA: return Data == Other.Data;
    default: return true;
    }
}

void PrintTo(const TSettingsValue& Value, std::ostream* Out)
{
    switch (Value.Type) {
    case far3::FST_QWORD: *Out << "number " << Value.Number; break;
    case far3::FST_STRING: *Out << "string \"" << Narrow(Value.String) << '"'; break;
    case far3::FST_DATA: *Out << "data of " << Value.Data.size() << " bytes"; break;
    default: *Out << "type " << static_cast<unsigned>(Value.Type);
    }
}

TSettingsStore::TSettingsStore(THostContext& Host) : FHost(Host) {}

TSettingsStore::~TSettingsStore() = default;

TSettingsStore::TKey& TSettingsStore::Root(const GUID& Guid, far3::FAR_PLUGIN_SETTINGS_LOCATION Location)
{
    auto& Slot = FRoots[{GuidText(Guid), static_cast<int>(Location)}];
    if (!Slot)
        Slot = std::make_unique<TKey>();
    return *Slot;
}

const TSettingsStore::TKey* TSettingsStore::FindRoot(const GUID& Guid,
                                                     far3::FAR_PLUGIN_SETTINGS_LOCATION Location) const
{
    const auto It = FRoots.find({GuidText(Guid), static_cast<int>(Location)});
    return It == FRoots.end() ? nullptr : It->second.get();
}

TSettingsStore::TKey* TSettingsStore::CreatePath(TKey& Root, const std::wstring& KeyPath)
{
    TKey* Key = &Root;
    for (const std::wstring& Name : SplitPath(KeyPath)) {
        auto& Slot = Key->Subkeys[Name];
        if (!Slot)
            Slot = std::make_unique<TKey>();
        Key = Slot.get();
    }
    return Key;
}

const TSettingsStore::TKey* TSettingsStore::FindPath(const TKey* Root, const std::wstring& KeyPath)
{
    const TKey* Key = Root;
    for (const std::wstring& Name : SplitPath(KeyPath)) {
        if (!Key)
            break;
        const auto It = Key->Subkeys.find(Name);
        Key = It == Key->Subkeys.end() ? nullptr : It->second.get();
    }
    return Key;
}

void TSettingsStore::SetValue(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name,
                              const TSettingsValue& Value, far3::FAR_PLUGIN_SETTINGS_LOCATION Location)
{
    std::lock_guard Guard(FLock);
    CreatePath(Root(Guid, Location), KeyPath)->Values[Name] = Value;
}

void TSettingsStore::SetNumber(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name, uint64_t Number)
{
    SetValue(Guid, KeyPath, Name, TSettingsValue::FromNumber(Number));
}

void TSettingsStore::SetString(const GUID& Guid, const std::wstring& KeyPath, const std::wstring& Name,
                               const std::wstring& String)
{
    SetValue(Guid, KeyPath, Name, TSettingsValue::FromString(String));
}

std::optional<TSettingsValue> TSettingsStore::GetValue(const GUID& Guid, const std::wstring& KeyPath,
                                                       const std::wstring& Name,
                                                       far3::FAR_PLUGIN_SETTINGS_LOCATION Location) const
{
    std::lock_guard Guard(FLock);
    const TKey* Key = FindPath(FindRoot(Guid, Location), KeyPath);
    if (!Key)
        return std::nullopt;
    const auto It = Key->Values.find(Name);
    if (It == Key->Values.end())
        return std::nullopt;
    return It->second;
}

bool TSettingsStore::HasKey(const GUID& Guid, const std::wstring& KeyPath,
                            far3::FAR_PLUGIN_SETTINGS_LOCATION Location) const
{
    std::lock_guard Guard(FLock);
    return FindPath(FindRoot(Guid, Location), KeyPath) != nullptr;
}

std::vector<std::wstring> TSettingsStore::ValueNames(const GUID& Guid, const std::wstring& KeyPath,
                                                     far3::FAR_PLUGIN_SETTINGS_LOCATION Location) const
{
    std::lock_guard Guard(FLock);
    std::vector<std::wstring> Names;
    if (const TKey* Key = FindPath(FindRoot(Guid, Location), KeyPath))
        for (const auto& Entry : Key->Values)
            Names.push_back(Entry.first);
    return Names;
}

size_t TSettingsStore::OpenHandleCount() const
{
    std::lock_guard Guard(FLock);
    return FHandles.size();
}

void TSettingsStore::Scrub(THandle& Handle)
{
    // Overwrite what the plugin was given, so that a pointer kept past
    // SCTL_FREE reads garbage rather than the old value.
    for (auto& String : Handle.Strings)
        std::wmemset(String.get(), 0xCDCD, std::wcslen(String.get()));
    for (size_t I = 0; I < Handle.Blobs.size(); ++I)
        std::memset(Handle.Blobs[I].get(), 0xCD, Handle.BlobSizes[I]);
}

void TSettingsStore::ReleaseLeakedHandles()
{
    std::lock_guard Guard(FLock);
    for (auto& Entry : FHandles) {
        FHost.Error(L"a settings handle was never freed (SCTL_FREE): handle " +
                    std::to_wstring(reinterpret_cast<uintptr_t>(Entry.first)));
        Scrub(Entry.second);
    }
    FHandles.clear();
}
