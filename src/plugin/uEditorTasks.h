// The plugin's command for one host editor, from start to end: a file that
// holds exactly the editor's text, ctags on it, the function list with a
// filter from the selection or the word under the cursor and the enclosing
// tag preselected, and the cursor moved to the chosen tag.
#pragma once

#include "tags/uCtags.h"
#include "bridge/uFarProgress.h"
#include "settings/uOptions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Characters that make up the word under the cursor.
bool IsIdentChar(wchar_t C);

class TEditorTasks {
public:
    TEditorTasks() = default;
    ~TEditorTasks();
    TEditorTasks(const TEditorTasks&) = delete;
    TEditorTasks& operator=(const TEditorTasks&) = delete;

    intptr_t GetEditorId() const noexcept { return FEditorId; }
    void SetEditorId(intptr_t Value) noexcept { FEditorId = Value; }

    // True when the cursor was moved to a chosen tag.
    bool Execute();

    bool PrepareFile(std::wstring& FileName, bool& IsTemporary);
    bool RunCtags(const std::wstring& FileName, bool IsTemporary);
    // The tag the user chose, or false for none.
    bool ChooseTag(std::int32_t& Line, std::wstring& Name);
    bool GetWordUnderCursor(std::wstring& Word);

    TFarProgress& GetProgress();
    TOptions& GetOptions();
    TCtags& GetCtags();

private:
    void ShowError(const std::vector<std::wstring>& Lines);
    void DeleteSnapshot() noexcept;

    std::unique_ptr<TFarProgress> FProgress;
    intptr_t FEditorId = -1;
    std::unique_ptr<TOptions> FOptions;
    std::unique_ptr<TCtags> FCtags;
    // The edited file as the user knows it, and the folder of its snapshot.
    std::wstring FEditorFileName;
    std::wstring FSnapshotFolder;
};
