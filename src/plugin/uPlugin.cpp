#include "plugin/uPlugin.h"

#include "plugin/uEditorTasks.h"
#include "plugin/uMessages.h"
#include "plugin/uOptionsUI.h"
#include "base/uStrings.h"
#include "base/uSystem.h"

namespace {

// Message Id of the language file for Language, read as the host reads it:
// the file whose ".Language=" names it, else the English one; the messages
// are the lines that start with a quote, in order.
std::wstring LanguageFileMessage(const std::wstring& Language, TMessageId Id)
{
    const std::wstring Folder = ExtractFileDir(ExpandFileName(ModuleFileName(CurrentModule())));
    std::wstring Found, English;
    WIN32_FIND_DATAW Data;
    TFindHandle Find(::FindFirstFileW((Folder + L"\\*.lng").c_str(), &Data));
    if (!Find)
        return std::wstring();
    do {
        std::string Bytes;
        if (!ReadWholeFile(Folder + L"\\" + Data.cFileName, Bytes))
            continue;
        std::wstring Name;
        int Index = 0;
        std::wstring Text;
        for (const std::wstring& Raw : SplitTextLines(DecodeText(Bytes))) {
            const std::wstring Line = TrimText(Raw);
            if (Name.empty() && Line.rfind(L".Language=", 0) == 0) {
                Name = Line.substr(10,
                                   Line.find(L',') == std::wstring::npos ? std::wstring::npos : Line.find(L',') - 10);
            } else if (!Line.empty() && Line.front() == L'"' && Index++ == Id) {
                Text = Line.substr(1, Line.size() - (Line.size() > 1 && Line.back() == L'"' ? 2 : 1));
                break;
            }
        }
        if (Text.empty())
            continue;
        if (::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, Name.c_str(), -1, Language.c_str(), -1) == CSTR_EQUAL)
            Found = Text;
        else if (::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, Name.c_str(), -1, L"English", -1) == CSTR_EQUAL)
            English = Text;
    } while (Found.empty() && ::FindNextFileW(Find.get(), &Data));
    return !Found.empty() ? Found : English;
}

} // namespace

GUID TPlugin::GetGuid()
{
    return PluginGuidValue;
}

void TPlugin::GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author)
{
    Title = L"Lodestar";
    // The host asks before it hands over its services, GetMsg included:
    // the description is read from the language file of the host's
    // language, which it names in FARLANG.
    wchar_t Language[64] = {};
    const DWORD Length = ::GetEnvironmentVariableW(L"FARLANG", Language, 64);
    Description = LanguageFileMessage(Length > 0 && Length < 64 ? Language : L"English", MDescription);
    if (Description.empty())
        Description = L"Function list and navigation with ctags";
    Author = L"The Lodestar developers";
}

void TPlugin::GetPluginInfo(far3::PLUGIN_FLAGS& Flags, TFarPluginMenu& PluginMenu, TFarPluginMenu& ConfigMenu,
                            TFarPluginMenu&, std::wstring&)
{
    // Listed in the editor's plugins menu only.
    Flags |= far3::PF_DISABLEPANELS | far3::PF_EDITOR;
    PluginMenu = {{GetMsg(MTitle), PluginMenuGuid}};
    ConfigMenu = {{GetMsg(MTitle), PluginConfigGuid}};
}

TPlugin::~TPlugin()
{
    FreeOptions();
}

TOptions& TPlugin::GetOptions()
{
    if (!FOptions)
        FOptions = TOptions::CreateLoaded();
    return *FOptions;
}

void TPlugin::FreeOptions() noexcept
{
    FOptions.reset();
}

intptr_t TPlugin::Open(far3::OPENFROM OpenFrom, const GUID*, intptr_t Data)
{
    FreeOptions();
    intptr_t Result = 0;
    if (OpenFrom == far3::OPEN_FROMMACRO) {
        if (RunMacro(TFarMacro::GetArguments(reinterpret_cast<const far3::OpenMacroInfo*>(Data))))
            Result = 1;
    } else if (OpenFrom == far3::OPEN_EDITOR) {
        // The menu call's result means nothing to the host.
        TEditorTasks Tasks;
        Tasks.SetEditorId(far3::CURRENT_EDITOR);
        Tasks.Execute();
    }
    return Result;
}

bool TPlugin::RunMacro(const TVariantArray& Args)
{
    if (Args.empty())
        return false;
    const TVariant& First = Args.front();
    // The ordinary conversion to text: a number gives its digits, which is
    // never "execute".
    if (!First.Is<std::wstring>() || First.As<std::wstring>() != L"execute")
        return false;
    TEditorTasks Tasks;
    Tasks.SetEditorId(far3::CURRENT_EDITOR);
    return Tasks.Execute();
}

bool TPlugin::Configure(const GUID*)
{
    FreeOptions();
    const auto Warn = [](TMessageId Id) {
        TFarModule::Message(far3::FMSG_WARNING, {GetMsg(MTitle), GetMsg(Id), GetMsg(MOk)}, 1);
    };
    // Defaults shown in place of options that could not be read would be
    // saved over them.
    if (!GetOptions().IsLoaded()) {
        Warn(MSettingsUnreadable);
        return false;
    }
    auto Dialog = TFarDialog::Create<TOptionsDialog>();
    Dialog->SetOptions(&GetOptions());
    if (!Dialog->Execute())
        return false;
    if (!GetOptions().Save(false)) {
        Warn(MSettingsNotSaved);
        return false;
    }
    return true;
}

void TPlugin::Log(const std::wstring&) {}

std::wstring TPlugin::GetStandardMessage(TStandardMessage Kind)
{
    switch (Kind) {
    case TStandardMessage::smTitle: return GetMsg(MTitle);
    case TStandardMessage::smExceptionInFunction: return GetMsg(MExceptionInFunction);
    case TStandardMessage::smOk: return GetMsg(MOk);
    case TStandardMessage::smCancel: return GetMsg(MCancel);
    case TStandardMessage::smYes: return GetMsg(MYes);
    case TStandardMessage::smNo: return GetMsg(MNo);
    }
    return TFarPlugin::GetStandardMessage(Kind);
}

void PluginInitialize()
{
    TFarPlugin::RegisterInstance(std::make_unique<TPlugin>());
}
