#include "plugin/uSaveRefresh.h"

#include "base/uStrings.h"
#include "base/uSystem.h"
#include "bridge/uFarModule.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uMessages.h"
#include "tags/uProjectIndex.h"
#include "tags/uTagsFile.h"
#include "tags/uTagsRefresh.h"

#include <algorithm>

TSaveRefresher::TSaveRefresher() : FToken(TFarSynchro::Register(this)) {}

TSaveRefresher::~TSaveRefresher()
{
    Stop();
}

void TSaveRefresher::Saving(const std::wstring& FileName)
{
    if (std::find(FSaved.begin(), FSaved.end(), FileName) == FSaved.end())
        FSaved.push_back(FileName);
    // The host writes the file when this event returns, and calls back
    // from its loop afterwards (measured): the callback sees the new bytes.
    if (!FPosted)
        FPosted = TFarSynchro::Post(FToken);
}

std::wstring TSaveRefresher::TagsFileOf(const std::wstring& File, const std::wstring& Names)
{
    const std::wstring Key = UpperCaseText(ExtractFileDir(File)) + L"|" + Names;
    const auto Known = FTagsOfFolder.find(Key);
    if (Known != FTagsOfFolder.end()) {
        if (FileExists(Known->second))
            return Known->second;
        FTagsOfFolder.erase(Known);
    }
    // Not kept when there is none: a tags file made by hand is found on the
    // next save.
    std::wstring Found = FindTagsFile(File, Names);
    if (!Found.empty())
        FTagsOfFolder[Key] = Found;
    return Found;
}

void TSaveRefresher::Queue(const std::wstring& TagsPath, const std::wstring& Ctags, const std::wstring& Source)
{
    {
        const std::lock_guard Guard(FLock);
        // One job per tags file: saves that come while it waits join it.
        TJob& Job = FJobs[TagsPath];
        Job.Ctags = Ctags;
        if (std::find(Job.Sources.begin(), Job.Sources.end(), Source) == Job.Sources.end())
            Job.Sources.push_back(Source);
    }
    if (!FThread.joinable())
        FThread = std::thread([this] { Work(); });
    FWake.notify_one();
}

void TSaveRefresher::SynchroEvent()
{
    FPosted = false;
    const std::vector<std::wstring> Saved = std::move(FSaved);
    FSaved.clear();
    if (!Saved.empty() && !FStop) {
        TEditorTasks Tasks;
        TOptions& Options = Tasks.GetOptions();
        // Without the options neither the tags files' names nor the ctags
        // is known; a save says nothing about it.
        if (Options.IsLoaded()) {
            const std::wstring Names = Options.GetTagsFiles();
            for (const std::wstring& File : Saved) {
                const std::wstring Full = ExpandFileName(File);
                const std::wstring TagsPath = TagsFileOf(Full, Names);
                if (!TagsPath.empty())
                    Queue(TagsPath, Tasks.GetCtags().GetExecutableName(), Full);
            }
        }
    }
    ShowNotes();
}

void TSaveRefresher::ShowNotes()
{
    {
        const std::lock_guard Guard(FLock);
        for (const std::wstring& Path : FForeign)
            if (FNoted.insert(UpperCaseText(Path)).second)
                FNotes.push_back(Path);
        FForeign.clear();
    }
    if (FNotes.empty() || (MayShowNote && !MayShowNote()))
        return;
    // Once a session for each tags file: it stays as it is, and saying so
    // at every save would only be in the way.
    const std::vector<std::wstring> Notes = std::move(FNotes);
    FNotes.clear();
    for (const std::wstring& Path : Notes)
        TFarModule::Message(
            0, {GetMsg(MTitle), GetMsg(MTagsFileNotRefreshed), Path, GetMsg(MTagsFileNotRefreshedHint), GetMsg(MOk)},
            1);
}

void TSaveRefresher::Work()
{
    for (;;) {
        std::wstring TagsPath;
        TJob Job;
        {
            std::unique_lock Guard(FLock);
            FWake.wait(Guard, [this] { return FStop || !FJobs.empty(); });
            if (FStop)
                return;
            const auto First = FJobs.begin();
            TagsPath = First->first;
            Job = std::move(First->second);
            FJobs.erase(First);
        }
        TTagsRefresh Refresh;
        Refresh.SetExecutableName(Job.Ctags);
        Refresh.OnTurn = [this] {
            if (FStop)
                throw TStopped{};
        };
        TTagsRefresh::TOutcome Outcome = TTagsRefresh::TOutcome::Failed;
        try {
            Outcome = Refresh.Refresh(TagsPath, Job.Sources);
        } catch (const TStopped&) {
            return;
        } catch (...) {
            // A failure of any kind leaves the tags file as it was, and
            // the editor is not the place to say so.
        }
        // The project list's index of the file, made again here rather
        // than when the list is next opened, where it would take seconds.
        if (Outcome == TTagsRefresh::TOutcome::Refreshed) {
            try {
                TProjectIndex::Renew(TagsPath, &FStop);
            } catch (...) {
                // Stopped, or out of memory: the next list reads the file.
            }
        }
        if (Outcome == TTagsRefresh::TOutcome::Foreign) {
            const std::lock_guard Guard(FLock);
            FForeign.push_back(TagsPath);
        }
        // The main thread hears of every refresh that ended: a note may be
        // due.
        TFarSynchro::Post(FToken);
    }
}

void TSaveRefresher::Stop() noexcept
{
    {
        const std::lock_guard Guard(FLock);
        FStop = true;
        FJobs.clear();
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
    TFarSynchro::Unregister(FToken);
    FToken = 0;
}
