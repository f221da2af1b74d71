#include "plugin/uMakeTags.h"

#include "base/Format.h"
#include "base/Handle.h"
#include "base/uStrings.h"
#include "base/uSystem.h"
#include "bridge/uFarEditor.h"
#include "dialogs/uButtonsDialog.h"
#include "plugin/uCtagsReport.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uHelpTopics.h"
#include "plugin/uMessages.h"
#include "tags/uProjectIndex.h"
#include "tags/uTagsFile.h"
#include "tags/uTagsMaker.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// {5C0E8B3A-71D4-4F26-9A5B-0D3E6C8F2B17}
constexpr GUID MakeTagsDialogGuid = {0x5c0e8b3a, 0x71d4, 0x4f26, {0x9a, 0x5b, 0x0d, 0x3e, 0x6c, 0x8f, 0x2b, 0x17}};

// The folder to make the tags file in, with a history of the folders given
// before.
class TMakeTagsDialog : public TOkCancelDialog {
public:
    static constexpr int MaxWidth = 76;

    TEdit* GetFolderEdit() const noexcept { return FFolderEdit; }
    TLabel* GetNote() const noexcept { return FNote; }

    void CreateContent() override
    {
        TOkCancelDialog::CreateContent();
        SetHelpTopic(HelpProjectTags);
        FFolderLabel = AddLabel(0, 0, 0, GetMsg(MProjectFolderLabel), laLeft);
        FFolderEdit = AddEdit(0, 0, 0, std::wstring());
        FFolderEdit->SetHistory(L"LodestarProjectFolder");
        FNote = AddLabel(0, 0, 0, std::wstring(), laLeft);
    }
    void ClearControls() override
    {
        TOkCancelDialog::ClearControls();
        FFolderLabel = nullptr;
        FFolderEdit = nullptr;
        FNote = nullptr;
    }
    void SetSize(int Width, int Height) override
    {
        TOkCancelDialog::SetSize(Width, Height);
        if (!FFolderLabel)
            return;
        PlaceControl(FFolderLabel);
        PlaceControl(FFolderEdit);
        PlaceControl(FNote);
    }
    void AdjustSize(int& Width, int& Height) override
    {
        TOkCancelDialog::AdjustSize(Width, Height);
        Width = std::min(Width, MaxWidth);
        Height = 9;
    }

protected:
    friend class TFarDialog;
    TMakeTagsDialog() : TOkCancelDialog(MakeTagsDialogGuid) {}

private:
    TLabel* FFolderLabel = nullptr;
    TEdit* FFolderEdit = nullptr;
    TLabel* FNote = nullptr;
};

void Warn(const std::vector<std::wstring>& Lines)
{
    TFarModule::Message(far3::FMSG_WARNING, Lines, 1);
}

// The name the tags file is written under: the first of the options' names.
std::wstring FirstTagsName(const std::wstring& Names)
{
    for (size_t Start = 0; Start <= Names.size();) {
        size_t End = Names.find(L';', Start);
        if (End == std::wstring::npos)
            End = Names.size();
        std::wstring Name = TrimText(std::wstring_view(Names).substr(Start, End - Start));
        if (!Name.empty())
            return Name;
        Start = End + 1;
    }
    return L"tags";
}

std::wstring InFolder(const std::wstring& Folder, const std::wstring& Name)
{
    return Folder.empty() || Folder.back() == L'\\' ? Folder + Name : Folder + L"\\" + Name;
}

// The folder as typed, made a full path: environment variables expanded,
// quotes taken off, and a relative one taken from the folder proposed.
std::wstring TypedFolder(const std::wstring& Text, const std::wstring& Proposed)
{
    std::wstring Folder = TrimText(ExpandEnvironment(Text));
    if (Folder.size() >= 2 && Folder.front() == L'"' && Folder.back() == L'"')
        Folder = TrimText(Folder.substr(1, Folder.size() - 2));
    if (Folder.empty())
        return Folder;
    if (PathKind(Folder) == TPathKind::Relative && !Proposed.empty())
        Folder = InFolder(Proposed, Folder);
    Folder = ExpandFileName(Folder);
    // "C:\proj\" is the folder "C:\proj"; "C:\" stays the root.
    while (Folder.size() > 3 && Folder.back() == L'\\')
        Folder.pop_back();
    return Folder;
}

std::wstring ProgressText(std::uint64_t Written, DWORD Elapsed)
{
    return Format(GetMsg(MMakingTagsProgress), {GroupedNumber(Written), ElapsedText(Elapsed)});
}

// ctags over Folder, with the progress window up while it runs.
TTagsMaker::TResult RunMaker(TEditorTasks& Tasks, const std::wstring& Folder, const std::wstring& TagsPath,
                             DWORD& Elapsed)
{
    TTagsMaker Maker;
    Maker.SetExecutableName(Tasks.GetCtags().GetExecutableName());
    TFarProgress& Progress = Tasks.GetProgress();
    const DWORD Start = Progress.GetTick();
    std::vector<std::wstring> Lines = {GetMsg(MTitle), GetMsg(MMakingTags), Progress.FitText(Folder),
                                       ProgressText(0, 0)};
    Progress.Show(Lines, false);
    const auto Hide = ScopeExit([&] {
        Progress.SetCheckEscape(false);
        Progress.Hide();
    });
    // A project's ctags takes from a moment to minutes: the window says how
    // far it has got, and Esc ends it.
    Progress.SetCheckEscape(true);
    Maker.OnTurn = [&](std::uint64_t Written) {
        if (Progress.TimeToDraw())
            Lines[3] = ProgressText(Written, Progress.GetTick() - Start);
        Progress.Show(Lines, false);
    };
    const TTagsMaker::TResult Result = Maker.Make(Folder, TagsPath);
    Elapsed = Progress.GetTick() - Start;
    return Result;
}

// The project list's index of the new file, made under the same window on
// a thread of its own and saved, so that the first list opens at once. Esc
// leaves it to the first list; so does a failure.
void MakeIndex(TEditorTasks& Tasks, const std::wstring& TagsPath)
{
    TFarProgress& Progress = Tasks.GetProgress();
    const std::vector<std::wstring> Lines = {GetMsg(MTitle), GetMsg(MReadingProjectTags), Progress.FitText(TagsPath)};
    std::atomic<bool> Stop{false};
    std::atomic<bool> Done{false};
    std::thread Worker([&] {
        try {
            TProjectIndex::Renew(TagsPath, &Stop, true);
        } catch (...) {
            // Stopped, or out of memory: the list reads the file itself.
        }
        Done = true;
    });
    const auto Join = ScopeExit([&] {
        Stop = true;
        Worker.join();
    });
    Progress.SetCheckEscape(true);
    const auto Hide = ScopeExit([&] {
        Progress.SetCheckEscape(false);
        Progress.Hide();
    });
    try {
        while (!Done) {
            Progress.Show(Lines, false);
            ::Sleep(20);
        }
    } catch (const EAbort&) {
        // The tags file is made; the index can wait.
    }
}

} // namespace

std::wstring GroupedNumber(std::uint64_t Value)
{
    const std::wstring Digits = std::to_wstring(Value);
    wchar_t Separator[8] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, Separator, 8) <= 1)
        return Digits;
    std::wstring Result;
    for (size_t I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0)
            Result += Separator;
        Result += Digits[I];
    }
    return Result;
}

std::wstring ElapsedText(std::uint32_t Milliseconds)
{
    const std::uint32_t Seconds = Milliseconds / 1000;
    const auto TwoDigits = [](std::uint32_t N) { return (N < 10 ? L"0" : L"") + std::to_wstring(N); };
    if (Seconds < 3600)
        return std::to_wstring(Seconds / 60) + L":" + TwoDigits(Seconds % 60);
    return std::to_wstring(Seconds / 3600) + L":" + TwoDigits(Seconds / 60 % 60) + L":" + TwoDigits(Seconds % 60);
}

bool MakeProjectTags(const std::wstring& Proposed, std::wstring* Made)
{
    TEditorTasks Tasks;
    Tasks.SetEditorId(far3::CURRENT_EDITOR);
    // Without the options neither the user's ctags nor the tags file's name
    // is known.
    TOptions& Options = Tasks.GetOptions();
    if (!Options.IsLoaded()) {
        Warn({GetMsg(MTitle), GetMsg(MSettingsUnreadable), GetMsg(MOk)});
        return false;
    }
    const std::wstring Name = FirstTagsName(Options.GetTagsFiles());
    std::wstring Offered = Proposed;
    std::wstring File;
    if (Offered.empty() && TFarEditor::GetFileName(far3::CURRENT_EDITOR, File) && !File.empty()) {
        File = ExpandFileName(File);
        const std::wstring Found = FindTagsFile(File, Options.GetTagsFiles());
        Offered = ExtractFileDir(Found.empty() ? File : Found);
    }

    auto Dialog = TFarDialog::Create<TMakeTagsDialog>();
    Dialog->GetFolderEdit()->SetText(Offered);
    Dialog->GetNote()->SetText(Format(GetMsg(MProjectFolderNote), {Name}));
    if (!Dialog->Execute())
        return false;
    const std::wstring Folder = TypedFolder(Dialog->GetFolderEdit()->GetText(), Offered);
    Dialog.reset();
    if (Folder.empty())
        return false;
    if (!DirectoryExists(Folder)) {
        Warn({GetMsg(MTitle), GetMsg(MProjectFolderMissing), Folder, GetMsg(MOk)});
        return false;
    }
    const std::wstring TagsPath = IsAbsolutePath(Name) ? ExpandFileName(Name) : ExpandFileName(InFolder(Folder, Name));

    TTagsMaker::TResult Result;
    DWORD Elapsed = 0;
    try {
        Result = RunMaker(Tasks, Folder, TagsPath, Elapsed);
    } catch (const ECtagsError_NoTagsWritten&) {
        Warn({GetMsg(MTitle), GetMsg(MCtagsWroteNoTags), TagsPath, GetMsg(MOk)});
        return false;
    } catch (const ECtagsError& E) {
        ShowCtagsError(E, Tasks.GetCtags().GetExecutableName(), Folder, !TrimText(Options.GetCtagsFileName()).empty());
        return false;
    } catch (const ETagsFileNotReplaced& E) {
        Warn({GetMsg(MTitle), GetMsg(MTagsFileNotWritten), TagsPath, SystemErrorText(static_cast<DWORD>(E.ErrorCode())),
              GetMsg(MOk)});
        return false;
    }
    MakeIndex(Tasks, TagsPath);
    if (Made) {
        *Made = TagsPath;
        return true;
    }
    TFarModule::Message(0,
                        {GetMsg(MTitle), GetMsg(MTagsFileMade), TagsPath,
                         Format(GetMsg(MTagsFileMadeCount),
                                {GroupedNumber(Result.Tags), GroupedNumber(Result.Bytes), ElapsedText(Elapsed)}),
                         GetMsg(MOk)},
                        1);
    return true;
}
