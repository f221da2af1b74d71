// A project's tags file brought up to date for a few of its source files
// after they were saved: ctags on those files alone, their old lines taken
// out, the new ones put in where the file's order wants them, and the new
// file put in the old one's place in one step. Nothing here touches the
// host: it runs on a thread of its own.
#pragma once

#include "tags/uCtags.h"

#include <functional>
#include <string>
#include <vector>

class TTagsRefresh {
public:
    enum class TOutcome {
        Refreshed,
        // Written by the other flavour of ctags than the one configured:
        // its lines cannot be made in its own format, and it is left alone.
        Foreign,
        // ctags failed, or the file could not be read, written or replaced:
        // the tags file is as it was.
        Failed,
        // Someone else wrote the tags file meanwhile: it is theirs as they
        // left it.
        Changed,
    };

    // An absolute path, or a name looked for in the folders of PATH only.
    void SetExecutableName(std::wstring Value) { FExecutableName = std::move(Value); }
    // The caller's turn while ctags runs, at least every
    // ProcessTurnInterval milliseconds: what it raises ends ctags and
    // passes out of Refresh, leaving the tags file as it was.
    TProcessTurnEvent OnTurn;

    // Replaces the lines of Sources (full paths) in the tags file at
    // TagsPath (a full path) by what ctags, run in the tags file's folder,
    // writes for them now. The new lines name their files relative to that
    // folder, as the lines of a tags file made there do. A source that no
    // longer exists loses its lines. The order is the one the file's header
    // says: byte order, byte order without case, or none (the new lines go
    // at the end).
    TOutcome Refresh(const std::wstring& TagsPath, const std::vector<std::wstring>& Sources);

private:
    std::wstring FExecutableName = L"ctags.exe";
};
