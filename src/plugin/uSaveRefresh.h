// The project's tags file kept up to date as the editor saves files. The
// host says a file is about to be saved before it writes it (EE_SAVE); the
// plugin asks to be called back once the host is back in its loop, when the
// bytes are on disk (ACTL_SYNCHRO), finds the file's tags file there and
// hands it to a thread of its own, which runs ctags on the saved files and
// replaces the tags file (TTagsRefresh). The editor never waits for it.
#pragma once

#include "bridge/uFarSynchro.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class TSaveRefresher final : public TSynchroTarget {
public:
    TSaveRefresher();
    ~TSaveRefresher();
    TSaveRefresher(const TSaveRefresher&) = delete;
    TSaveRefresher& operator=(const TSaveRefresher&) = delete;

    // The host's main thread, inside EE_SAVE: FileName is about to be
    // written. Costs a copy of the name and, for the first save since the
    // last callback, one ACTL_SYNCHRO.
    void Saving(const std::wstring& FileName);
    // The tags files found for folders may have changed (one was made).
    void ForgetTagsFiles() noexcept { FTagsOfFolder.clear(); }
    // Whether a box may go up now (no command of the plugin is running);
    // a note waits for the next callback otherwise.
    std::function<bool()> MayShowNote;
    // Ends the thread: a running ctags is ended, refreshes not begun are
    // dropped (their tags files stay as they are), and the thread is gone
    // when this returns. Main thread; ExitFARW calls it.
    void Stop() noexcept;

    void SynchroEvent() override;

private:
    struct TJob {
        std::wstring Ctags;
        std::vector<std::wstring> Sources;
    };
    // Raised by the worker's turn to end a ctags run when the plugin stops.
    struct TStopped {};

    std::wstring TagsFileOf(const std::wstring& File, const std::wstring& Names);
    void Queue(const std::wstring& TagsPath, const std::wstring& Ctags, const std::wstring& Source);
    void ShowNotes();
    void Work();

    // The main thread's own.
    std::uintptr_t FToken = 0;
    std::vector<std::wstring> FSaved;
    bool FPosted = false;
    // By the folder in capitals and the option's names: the tags file
    // found, checked to be there before it is used again.
    std::map<std::wstring, std::wstring> FTagsOfFolder;
    std::set<std::wstring> FNoted;
    std::vector<std::wstring> FNotes;

    // Shared with the worker, under FLock.
    std::mutex FLock;
    std::condition_variable FWake;
    std::map<std::wstring, TJob> FJobs; // by tags file
    std::vector<std::wstring> FForeign;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};
