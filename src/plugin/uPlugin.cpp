#include "plugin/uPlugin.h"

#include "bridge/uFarWindows.h"
#include "plugin/uDefinition.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uMakeTags.h"
#include "plugin/uProjectTags.h"
#include "plugin/uMessages.h"
#include "plugin/uOptionsUI.h"
#include "base/uStrings.h"
#include "base/uSystem.h"
#include "tags/uProjectIndex.h"

#include <cstring>
#include <utility>

void TPlugin::Startup()
{
    const std::wstring Temp = GetTempDirectory();
    RemoveLeftoverFolders(Temp, SnapshotPrefix);
    RemoveLeftoverFolders(Temp, TCtags::RunFolderPrefix);
}

void TPlugin::Exit()
{
    if (FRefresher)
        FRefresher->Stop();
    FRefresher.reset();
    // An index half written is deleted; the next Far reads the tags file.
    TProjectIndex::FinishSaving(true);
}

void TPlugin::EditorSaving(intptr_t, const std::wstring& FileName)
{
    if (!FRefresher) {
        FRefresher = std::make_unique<TSaveRefresher>();
        FRefresher->MayShowNote = [this] { return !FBusy; };
    }
    FRefresher->Saving(FileName);
}

GUID TPlugin::GetGuid()
{
    return PluginGuidValue;
}

void TPlugin::GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author)
{
    Title = L"Lodestar";
    // Far writes the description into a file of its profile in the OEM code
    // page, and a letter that code page lacks gives an error box on every
    // run: it stays in plain ASCII, in English.
    Description = L"Function list and navigation with ctags";
    Author = L"The Lodestar developers";
}

void TPlugin::GetPluginInfo(far3::PLUGIN_FLAGS& Flags, TFarPluginMenu& PluginMenu, TFarPluginMenu& ConfigMenu,
                            TFarPluginMenu&, std::wstring&)
{
    // Listed in the editor's plugins menu only.
    Flags |= far3::PF_DISABLEPANELS | far3::PF_EDITOR;
    PluginMenu = {{GetMsg(MMenuFunctionList), PluginMenuGuid},
                  {GetMsg(MMenuDefinition), DefinitionMenuGuid},
                  {GetMsg(MMenuBack), BackMenuGuid},
                  {GetMsg(MMenuProjectTags), ProjectMenuGuid},
                  {GetMsg(MMenuMakeProjectTags), MakeTagsMenuGuid}};
    ConfigMenu = {{GetMsg(MTitle), PluginConfigGuid}};
}

class TPlugin::TCommand {
public:
    explicit TCommand(TPlugin& Plugin) : FPlugin(Plugin), FFirst(!std::exchange(Plugin.FBusy, true)) {}
    ~TCommand()
    {
        if (FFirst)
            FPlugin.FBusy = false;
    }
    TCommand(const TCommand&) = delete;
    TCommand& operator=(const TCommand&) = delete;
    bool Refused() const noexcept { return !FFirst; }

private:
    TPlugin& FPlugin;
    const bool FFirst;
};

intptr_t TPlugin::Open(far3::OPENFROM OpenFrom, const GUID* Guid, intptr_t Data)
{
    const TCommand Command(*this);
    if (Command.Refused())
        return 0;
    intptr_t Result = 0;
    if (OpenFrom == far3::OPEN_FROMMACRO) {
        if (RunMacro(TFarMacro::GetArguments(reinterpret_cast<const far3::OpenMacroInfo*>(Data))))
            Result = 1;
    } else if (OpenFrom == far3::OPEN_EDITOR) {
        // The item the host reports; the function list for any other. The
        // menu call's result means nothing to the host.
        const auto Is = [Guid](const GUID& Item) { return Guid && std::memcmp(Guid, &Item, sizeof(GUID)) == 0; };
        TCommandKind Kind = TCommandKind::FunctionList;
        if (Is(DefinitionMenuGuid))
            Kind = TCommandKind::Definition;
        else if (Is(BackMenuGuid))
            Kind = TCommandKind::Back;
        else if (Is(ProjectMenuGuid))
            Kind = TCommandKind::ProjectTags;
        else if (Is(MakeTagsMenuGuid))
            Kind = TCommandKind::MakeProjectTags;
        RunCommand(Kind);
    }
    return Result;
}

bool TPlugin::RunCommand(TCommandKind Kind)
{
    switch (Kind) {
    case TCommandKind::FunctionList: {
        TEditorTasks Tasks;
        Tasks.SetEditorId(far3::CURRENT_EDITOR);
        Tasks.SetPlaces(&FPlaces);
        return Tasks.Execute();
    }
    case TCommandKind::Definition: return GoToDefinition(FPlaces);
    case TCommandKind::Back: return GoBack(FPlaces);
    case TCommandKind::ProjectTags: return ShowProjectTags(FPlaces);
    case TCommandKind::MakeProjectTags:
        // A tags file made nearer to the files than the one found before
        // is theirs from now on.
        if (FRefresher)
            FRefresher->ForgetTagsFiles();
        return MakeProjectTags();
    }
    return false;
}

bool TPlugin::RunMacro(const TVariantArray& Args)
{
    if (Args.empty())
        return false;
    const TVariant& First = Args.front();
    // The ordinary conversion to text: a number gives its digits, which is
    // never "execute".
    if (!First.Is<std::wstring>())
        return false;
    const std::wstring& Name = First.As<std::wstring>();
    TCommandKind Kind;
    if (Name == L"execute")
        Kind = TCommandKind::FunctionList;
    else if (Name == L"definition")
        Kind = TCommandKind::Definition;
    else if (Name == L"back")
        Kind = TCommandKind::Back;
    else if (Name == L"project")
        Kind = TCommandKind::ProjectTags;
    else
        return false;
    // A macro may call from the panels or the viewer, where EditorControl
    // would still reach an editor in the background. The way back opens
    // the editor it needs.
    if (Kind != TCommandKind::Back && !TFarWindows::CurrentIsEditor()) {
        TFarModule::Message(far3::FMSG_WARNING, {GetMsg(MTitle), GetMsg(MNotInEditor), GetMsg(MOk)}, 1);
        return false;
    }
    return RunCommand(Kind);
}

bool TPlugin::Configure(const GUID*)
{
    const TCommand Command(*this);
    if (Command.Refused())
        return false;
    const auto Warn = [](TMessageId Id) {
        TFarModule::Message(far3::FMSG_WARNING, {GetMsg(MTitle), GetMsg(Id), GetMsg(MOk)}, 1);
    };
    // Defaults shown in place of options that could not be read would be
    // saved over them.
    // The dialog writes into these options until it ends: they are this
    // command's own.
    const std::unique_ptr<TOptions> Options = TOptions::CreateLoaded();
    if (!Options->IsLoaded()) {
        Warn(MSettingsUnreadable);
        return false;
    }
    auto Dialog = TFarDialog::Create<TOptionsDialog>();
    Dialog->SetOptions(Options.get());
    if (!Dialog->Execute())
        return false;
    if (!Options->Save(false)) {
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
