#include "settings/uOptions.h"

#include "base/Handle.h"

namespace {

const wchar_t* const CtagsFileNameValue = L"CtagsFileName";
const wchar_t* const FunctionSearchDelayEnabledValue = L"FunctionSearchDelayEnabled";
const wchar_t* const FunctionSearchDelayValue = L"FunctionSearchDelay";
const wchar_t* const FunctionListFileOrderValue = L"FunctionListFileOrder";
const wchar_t* const TagsFilesValue = L"TagsFiles";
const wchar_t* const FunctionListFuzzyValue = L"FunctionListFuzzy";
const wchar_t* const FunctionListMatchOrderValue = L"FunctionListMatchOrder";

} // namespace

TOptions::TOptions() : TFarConfig(PluginGuid(), false)
{
    SetDefaults();
}

void TOptions::SetDefaults()
{
    CtagsFileName.clear();
    FunctionSearchDelayEnabled = true;
    FunctionSearchDelay = 300;
    FunctionListFileOrder = false;
    FunctionListMatchOrder = false;
    FunctionListFuzzy = false;
    TagsFiles = L"tags";
    // Nothing has been loaded yet: whatever is in memory is unsaved.
    SetModified();
}

bool TOptions::Load()
{
    if (!OpenKey(std::wstring(), false))
        return false;
    auto Closer = ScopeExit([this] { Close(); });
    CtagsFileName = ReadString(CtagsFileNameValue, CtagsFileName);
    FunctionSearchDelayEnabled = ReadBool(FunctionSearchDelayEnabledValue, FunctionSearchDelayEnabled);
    // Stored as 64 bits; the delay is the low 32 of them.
    const uint64_t Delay = ReadQWord(FunctionSearchDelayValue,
                                     static_cast<uint64_t>(static_cast<int64_t>(FunctionSearchDelay)));
    FunctionSearchDelay = static_cast<int32_t>(static_cast<uint32_t>(Delay));
    FunctionListFileOrder = ReadBool(FunctionListFileOrderValue, FunctionListFileOrder);
    TagsFiles = ReadString(TagsFilesValue, TagsFiles);
    FunctionListFuzzy = ReadBool(FunctionListFuzzyValue, FunctionListFuzzy);
    FunctionListMatchOrder = ReadBool(FunctionListMatchOrderValue, FunctionListMatchOrder);
    ClearModified();
    FLoaded = true;
    return true;
}

bool TOptions::Save(bool Force)
{
    if (!Force && !GetModified())
        return true;
    if (!OpenKey(std::wstring(), false))
        return false;
    auto Closer = ScopeExit([this] { Close(); });
    // Every value is attempted even after a refusal: the others may still
    // get through.
    bool Written = WriteString(CtagsFileNameValue, CtagsFileName);
    Written = WriteBool(FunctionSearchDelayEnabledValue, FunctionSearchDelayEnabled) && Written;
    Written = WriteQWord(FunctionSearchDelayValue, static_cast<uint64_t>(static_cast<int64_t>(FunctionSearchDelay))) &&
              Written;
    Written = WriteBool(FunctionListFileOrderValue, FunctionListFileOrder) && Written;
    Written = WriteString(TagsFilesValue, TagsFiles) && Written;
    Written = WriteBool(FunctionListFuzzyValue, FunctionListFuzzy) && Written;
    Written = WriteBool(FunctionListMatchOrderValue, FunctionListMatchOrder) && Written;
    if (Written)
        ClearModified();
    return Written;
}

std::unique_ptr<TOptions> TOptions::CreateLoaded()
{
    auto Options = std::make_unique<TOptions>();
    Options->Load();
    return Options;
}
