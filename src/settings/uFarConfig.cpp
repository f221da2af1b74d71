#include "settings/uFarConfig.h"

#include <climits>
#include <utility>

TFarSettingsHandle::TFarSettingsHandle(TFarSettingsHandle&& Other) noexcept
    : FHandle(std::exchange(Other.FHandle, nullptr)), FControl(std::exchange(Other.FControl, nullptr))
{
}

TFarSettingsHandle& TFarSettingsHandle::operator=(TFarSettingsHandle&& Other) noexcept
{
    if (this != &Other) {
        reset();
        FHandle = std::exchange(Other.FHandle, nullptr);
        FControl = std::exchange(Other.FControl, nullptr);
    }
    return *this;
}

void TFarSettingsHandle::reset() noexcept
{
    const HANDLE Old = std::exchange(FHandle, nullptr);
    if (Old && FControl)
        FControl(Old, far3::SCTL_FREE, 0, nullptr);
}

intptr_t TFarSettingsHandle::Control(far3::FAR_SETTINGS_CONTROL_COMMANDS Command, void* Param) const
{
    return FHandle && FControl ? FControl(FHandle, Command, 0, Param) : 0;
}

TFarConfig::TFarConfig(const GUID& Guid, bool OpenRoot) : Guid(Guid)
{
    if (OpenRoot)
        OpenKey(std::wstring(), false);
}

TFarConfig::~TFarConfig()
{
    Close();
}

std::unique_ptr<TFarConfig> TFarConfig::CreateForPlugin(bool OpenRoot)
{
    return std::make_unique<TFarConfig>(PluginGuid(), OpenRoot);
}

std::wstring TFarConfig::ExpandKeyPath(const std::wstring& KeyPath) const
{
    std::wstring Result = Path;
    if (!KeyPath.empty()) {
        size_t Start = 0;
        if (KeyPath[0] == L'\\') {
            Result.clear();
            Start = KeyPath.find_first_not_of(L'\\');
            if (Start == std::wstring::npos)
                Start = KeyPath.size();
        }
        if (Start < KeyPath.size()) {
            if (!Result.empty())
                Result += L'\\';
            Result.append(KeyPath, Start, std::wstring::npos);
        }
    }
    const size_t Last = Result.find_last_not_of(L'\\');
    Result.resize(Last == std::wstring::npos ? 0 : Last + 1);
    return Result;
}

bool TFarConfig::IsCurrentKey(const std::wstring& FullPath) const
{
    return IsOpen() && Path == FullPath;
}

bool TFarConfig::OpenKey(const std::wstring& KeyPath, bool OpenExisting)
{
    const std::wstring Full = ExpandKeyPath(KeyPath);
    if (IsCurrentKey(Full))
        return true;

    // Every change of key starts over from a fresh handle on the root.
    Close();
    const far3::FARAPISETTINGSCONTROL Control = StartupInfo().SettingsControl;
    if (!Control)
        return false;
    far3::FarSettingsCreate Create{};
    Create.StructSize = sizeof(Create);
    Create.Guid = Guid;
    if (!Control(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, 0, &Create) || !Create.Handle ||
        Create.Handle == INVALID_HANDLE_VALUE)
        return false;
    Handle = TFarSettingsHandle(Create.Handle, Control);

    const far3::FAR_SETTINGS_CONTROL_COMMANDS Command = OpenExisting ? far3::SCTL_OPENSUBKEY : far3::SCTL_CREATESUBKEY;
    size_t Start = 0;
    while (Start < Full.size()) {
        size_t End = Full.find(L'\\', Start);
        if (End == std::wstring::npos)
            End = Full.size();
        const std::wstring Name = Full.substr(Start, End - Start);
        Start = End + 1;
        if (Name.empty())
            continue;
        far3::FarSettingsValue Value{};
        Value.StructSize = sizeof(Value);
        Value.Root = HostRoot();
        Value.Value = Name.c_str();
        const intptr_t Key = Handle.Control(Command, &Value);
        // Key ids are kept in 32 bits; one that does not fit would silently
        // name another key.
        if (Key <= 0 || Key > INT32_MAX) {
            Close();
            return false;
        }
        Root = static_cast<int32_t>(Key);
        if (!Path.empty())
            Path += L'\\';
        Path += Name;
    }
    return true;
}

void TFarConfig::Close() noexcept
{
    Root = 0;
    Handle.reset();
    Path.clear();
}

far3::FarSettingsItem TFarConfig::NewItem(const std::wstring& Name, far3::FARSETTINGSTYPES Type) const
{
    far3::FarSettingsItem Item{};
    Item.StructSize = sizeof(Item);
    Item.Root = HostRoot();
    Item.Name = Name.c_str();
    Item.Type = Type;
    return Item;
}

bool TFarConfig::TryReadQWord(const std::wstring& Name, uint64_t& Value) const
{
    if (!IsOpen())
        return false;
    far3::FarSettingsItem Item = NewItem(Name, far3::FST_QWORD);
    if (!Handle.Control(far3::SCTL_GET, &Item))
        return false;
    Value = Item.Number;
    return true;
}

uint64_t TFarConfig::ReadQWord(const std::wstring& Name, uint64_t Default) const
{
    uint64_t Value = 0;
    return TryReadQWord(Name, Value) ? Value : Default;
}

bool TFarConfig::TryReadBool(const std::wstring& Name, bool& Value) const
{
    uint64_t Number = 0;
    if (!TryReadQWord(Name, Number))
        return false;
    Value = Number != 0;
    return true;
}

bool TFarConfig::ReadBool(const std::wstring& Name, bool Default) const
{
    bool Value = false;
    return TryReadBool(Name, Value) ? Value : Default;
}

bool TFarConfig::TryReadString(const std::wstring& Name, std::wstring& Value) const
{
    Value.clear();
    if (!IsOpen())
        return false;
    far3::FarSettingsItem Item = NewItem(Name, far3::FST_STRING);
    if (!Handle.Control(far3::SCTL_GET, &Item))
        return false;
    // The host's string lives only as long as the handle: copy it now.
    Value = FromPointer(Item.String);
    return true;
}

std::wstring TFarConfig::ReadString(const std::wstring& Name, const std::wstring& Default) const
{
    std::wstring Value;
    return TryReadString(Name, Value) ? Value : Default;
}

bool TFarConfig::WriteQWord(const std::wstring& Name, uint64_t Value)
{
    if (!IsOpen())
        return false;
    far3::FarSettingsItem Item = NewItem(Name, far3::FST_QWORD);
    Item.Number = Value;
    return Handle.Control(far3::SCTL_SET, &Item) != 0;
}

bool TFarConfig::WriteBool(const std::wstring& Name, bool Value)
{
    return WriteQWord(Name, Value ? 1 : 0);
}

bool TFarConfig::WriteString(const std::wstring& Name, const std::wstring& Value)
{
    if (!IsOpen())
        return false;
    far3::FarSettingsItem Item = NewItem(Name, far3::FST_STRING);
    Item.String = Value.c_str();
    return Handle.Control(far3::SCTL_SET, &Item) != 0;
}

void TFarConfig::UpdateString(std::wstring& Field, const std::wstring& Value)
{
    if (Field != Value) {
        Field = Value;
        SetModified();
    }
}

void TFarConfig::UpdateInteger(int32_t& Field, int32_t Value)
{
    if (Field != Value) {
        Field = Value;
        SetModified();
    }
}

void TFarConfig::UpdateBoolean(bool& Field, bool Value)
{
    if (Field != Value) {
        Field = Value;
        SetModified();
    }
}
