// The commands of the host's settings service (SettingsControl) over the
// simulated store.
#include "SettingsStore.h"

#include "HostContext.h"

#include <cstring>
#include <cwchar>

namespace {

const char* CommandName(far3::FAR_SETTINGS_CONTROL_COMMANDS Command)
{
    switch (Command) {
    case far3::SCTL_CREATE: return "SCTL_CREATE";
    case far3::SCTL_FREE: return "SCTL_FREE";
    case far3::SCTL_SET: return "SCTL_SET";
    case far3::SCTL_GET: return "SCTL_GET";
    case far3::SCTL_ENUM: return "SCTL_ENUM";
    case far3::SCTL_DELETE: return "SCTL_DELETE";
    case far3::SCTL_CREATESUBKEY: return "SCTL_CREATESUBKEY";
    case far3::SCTL_OPENSUBKEY: return "SCTL_OPENSUBKEY";
    default: return "SCTL_OTHER";
    }
}

bool IsZeroGuid(const GUID& Guid)
{
    static const GUID Zero{};
    return std::memcmp(&Guid, &Zero, sizeof(GUID)) == 0;
}

} // namespace

intptr_t TSettingsStore::Control(HANDLE Handle, far3::FAR_SETTINGS_CONTROL_COMMANDS Command, intptr_t Param1,
                                 void* Param2)
{
    const char* Name = CommandName(Command);
    FHost.Record(Name);
    std::lock_guard Guard(FLock);
    if (FHost.FaultHere("SettingsControl", Name)) {
        // A refused SCTL_CREATE makes no handle; a handle is freed whatever
        // else goes wrong, so a refused SCTL_FREE still frees it.
        if (Command == far3::SCTL_FREE && FHandles.count(Handle))
            Free(Handle);
        return 0;
    }
    if (Command == far3::SCTL_CREATE)
        return FHost.IsFailing(Name) ? 0 : Create(Param1, Param2);

    if (!Handle) {
        FHost.Error(Widen(Name) + L": the settings handle is null");
        return 0;
    }
    const auto It = FHandles.find(Handle);
    if (It == FHandles.end()) {
        FHost.Error(Widen(Name) + L": unknown settings handle " + std::to_wstring(reinterpret_cast<uintptr_t>(Handle)));
        return 0;
    }
    // The host frees a handle whatever else goes wrong.
    if (Command == far3::SCTL_FREE)
        return Free(Handle);
    if (FHost.IsFailing(Name))
        return 0;
    switch (Command) {
    case far3::SCTL_GET: return Get(It->second, Param2);
    case far3::SCTL_SET: return Set(It->second, Param2);
    case far3::SCTL_CREATESUBKEY: return SubKey(It->second, Param2, true, Name);
    case far3::SCTL_OPENSUBKEY: return SubKey(It->second, Param2, false, Name);
    default:
        FHost.Error(L"SettingsControl: command " + std::to_wstring(static_cast<unsigned>(Command)) +
                    L" is not simulated");
        return 0;
    }
}

intptr_t TSettingsStore::Create(intptr_t Param1, void* Param2)
{
    auto* Info = static_cast<far3::FarSettingsCreate*>(Param2);
    if (!Info) {
        FHost.Error(L"SCTL_CREATE: no FarSettingsCreate record");
        return 0;
    }
    if (!FHost.CheckStructSize(Info->StructSize, sizeof(far3::FarSettingsCreate), "FarSettingsCreate", "SCTL_CREATE"))
        return 0;
    if (Param1 != far3::PSL_ROAMING && Param1 != far3::PSL_LOCAL) {
        FHost.Error(L"SCTL_CREATE: location " + std::to_wstring(Param1) + L" is neither roaming nor local");
        return 0;
    }
    const bool HostSettings = IsZeroGuid(Info->Guid);
    if (!HostSettings && std::memcmp(&Info->Guid, &FHost.LoadedPluginGuid(), sizeof(GUID)) != 0) {
        FHost.Error(L"SCTL_CREATE: " + GuidText(Info->Guid) + L" is not the GUID of a loaded plugin");
        return 0;
    }
    const HANDLE New = reinterpret_cast<HANDLE>(FNextHandle);
    FNextHandle += 0x10;
    THandle& Entry = FHandles[New];
    Entry.ReadOnly = HostSettings;
    Entry.Keys.push_back(&Root(Info->Guid, static_cast<far3::FAR_PLUGIN_SETTINGS_LOCATION>(Param1)));
    Info->Handle = New;
    return 1;
}

intptr_t TSettingsStore::Free(HANDLE Handle)
{
    const auto It = FHandles.find(Handle);
    Scrub(It->second);
    FHandles.erase(It);
    return 1;
}

TSettingsStore::TKey* TSettingsStore::KeyOf(THandle& Handle, size_t Root, const char* Command)
{
    if (Root < Handle.Keys.size())
        return Handle.Keys[Root];
    FHost.Error(Widen(Command) + L": key id " + std::to_wstring(Root) + L" was not handed out for this handle");
    return nullptr;
}

intptr_t TSettingsStore::Get(THandle& Handle, void* Param2)
{
    auto* Item = static_cast<far3::FarSettingsItem*>(Param2);
    if (!Item) {
        FHost.Error(L"SCTL_GET: no FarSettingsItem record");
        return 0;
    }
    if (!FHost.CheckStructSize(Item->StructSize, sizeof(far3::FarSettingsItem), "FarSettingsItem", "SCTL_GET"))
        return 0;
    TKey* Key = KeyOf(Handle, Item->Root, "SCTL_GET");
    if (!Key)
        return 0;
    if (!Item->Name) {
        FHost.Error(L"SCTL_GET: the value name is null");
        return 0;
    }
    if (Item->Type != far3::FST_QWORD && Item->Type != far3::FST_STRING && Item->Type != far3::FST_DATA) {
        FHost.Error(L"SCTL_GET: type " + std::to_wstring(static_cast<unsigned>(Item->Type)) + L" is not a value type");
        return 0;
    }
    const auto Found = Key->Values.find(Item->Name);
    if (Found == Key->Values.end())
        return 0;
    const TSettingsValue& Value = Found->second;
    switch (Item->Type) {
    case far3::FST_QWORD: Item->Number = Value.AsNumber(); break;
    case far3::FST_STRING: {
        const std::wstring Text = Value.AsString();
        auto Copy = std::make_unique<wchar_t[]>(Text.size() + 1);
        std::wmemcpy(Copy.get(), Text.c_str(), Text.size() + 1);
        Item->String = Copy.get();
        Handle.Strings.push_back(std::move(Copy));
        break;
    }
    default: {
        const std::vector<unsigned char> Bytes = Value.AsData();
        auto Copy = std::make_unique<unsigned char[]>(Bytes.size() + 1);
        std::copy(Bytes.begin(), Bytes.end(), Copy.get());
        Item->Data.Size = Bytes.size();
        Item->Data.Data = Copy.get();
        Handle.Blobs.push_back(std::move(Copy));
        Handle.BlobSizes.push_back(Bytes.size());
        break;
    }
    }
    return 1;
}

intptr_t TSettingsStore::Set(THandle& Handle, void* Param2)
{
    const auto* Item = static_cast<const far3::FarSettingsItem*>(Param2);
    if (!Item) {
        FHost.Error(L"SCTL_SET: no FarSettingsItem record");
        return 0;
    }
    if (!FHost.CheckStructSize(Item->StructSize, sizeof(far3::FarSettingsItem), "FarSettingsItem", "SCTL_SET"))
        return 0;
    TKey* Key = KeyOf(Handle, Item->Root, "SCTL_SET");
    if (!Key)
        return 0;
    if (Handle.ReadOnly) {
        FHost.Error(L"SCTL_SET: the host's own settings are read-only");
        return 0;
    }
    if (!Item->Name) {
        FHost.Error(L"SCTL_SET: the value name is null");
        return 0;
    }
    TSettingsValue Value;
    switch (Item->Type) {
    case far3::FST_QWORD: Value = TSettingsValue::FromNumber(Item->Number); break;
    case far3::FST_STRING:
        if (!Item->String) {
            FHost.Error(L"SCTL_SET: the string of a string value is null");
            return 0;
        }
        Value = TSettingsValue::FromString(Item->String);
        break;
    case far3::FST_DATA: {
        if (!Item->Data.Data && Item->Data.Size) {
            FHost.Error(L"SCTL_SET: data without a buffer");
            return 0;
        }
        const auto* Bytes = static_cast<const unsigned char*>(Item->Data.Data);
        Value = TSettingsValue::FromData(std::vector<unsigned char>(Bytes, Bytes + Item->Data.Size));
        break;
    }
    default:
        FHost.Error(L"SCTL_SET: type " + std::to_wstring(static_cast<unsigned>(Item->Type)) + L" cannot be stored");
        return 0;
    }
    Key->Values[Item->Name] = std::move(Value);
    return 1;
}

intptr_t TSettingsStore::SubKey(THandle& Handle, void* Param2, bool Create, const char* Command)
{
    const auto* Item = static_cast<const far3::FarSettingsValue*>(Param2);
    if (!Item) {
        FHost.Error(Widen(Command) + L": no FarSettingsValue record");
        return 0;
    }
    if (!FHost.CheckStructSize(Item->StructSize, sizeof(far3::FarSettingsValue), "FarSettingsValue", Command))
        return 0;
    TKey* Key = KeyOf(Handle, Item->Root, Command);
    if (!Key)
        return 0;
    // The host refuses names it could not store as one key.
    if (!Item->Value || !*Item->Value || std::wcschr(Item->Value, L'\\')) {
        FHost.Error(Widen(Command) + L": a subkey name must be one non-empty name without a backslash");
        return 0;
    }
    TKey* Subkey = nullptr;
    if (Create) {
        if (Handle.ReadOnly) {
            FHost.Error(L"SCTL_CREATESUBKEY: the host's own settings are read-only");
            return 0;
        }
        auto& Slot = Key->Subkeys[Item->Value];
        if (!Slot)
            Slot = std::make_unique<TKey>();
        Subkey = Slot.get();
    } else {
        const auto Found = Key->Subkeys.find(Item->Value);
        if (Found == Key->Subkeys.end())
            return 0;
        Subkey = Found->second.get();
    }
    Handle.Keys.push_back(Subkey);
    return static_cast<intptr_t>(Handle.Keys.size() - 1);
}
