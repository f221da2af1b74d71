#include "uPlugin.h"

#include "uMessages.h"

GUID TPlugin::GetGuid()
{
    return PluginGuidValue;
}

void TPlugin::GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author)
{
    Title = L"Lodestar";
    Description = L"Lodestar";
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

intptr_t TPlugin::Open(far3::OPENFROM, const GUID*, intptr_t)
{
    return 0;
}

bool TPlugin::Configure(const GUID*)
{
    return false;
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
