#include "uPlugin.h"

#include "uEditorTasks.h"
#include "uMessages.h"
#include "uOptionsUI.h"

GUID TPlugin::GetGuid()
{
    return PluginGuidValue;
}

void TPlugin::GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author)
{
    Title = L"Lodestar";
    // Asked before any language file can be read: the English text.
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
    case TStandardMessage::smTitle:
        return GetMsg(MTitle);
    case TStandardMessage::smExceptionInFunction:
        return GetMsg(MExceptionInFunction);
    case TStandardMessage::smOk:
        return GetMsg(MOk);
    case TStandardMessage::smCancel:
        return GetMsg(MCancel);
    case TStandardMessage::smYes:
        return GetMsg(MYes);
    case TStandardMessage::smNo:
        return GetMsg(MNo);
    }
    return TFarPlugin::GetStandardMessage(Kind);
}

void PluginInitialize()
{
    TFarPlugin::RegisterInstance(std::make_unique<TPlugin>());
}
