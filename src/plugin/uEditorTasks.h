// The plugin's command for one host editor, from start to end: a file that
// holds exactly the editor's text, ctags on it, the function list with a
// filter from the selection or the word under the cursor and the enclosing
// tag preselected, and the cursor moved to the chosen tag.
#pragma once

#include "tags/uCtags.h"
#include "bridge/uFarProgress.h"
#include "plugin/uNavigation.h"
#include "plugin/uTagsMemory.h"
#include "settings/uOptions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The name of the snapshot folders in the temporary folder, before the
// process id (see MakePrivateFolder).
inline constexpr const wchar_t* SnapshotPrefix = L"ctagstemp";

// Characters that make up the word under the cursor.
bool IsIdentChar(wchar_t C);
// The column where the cursor lands for a tag named Name on the line Text:
// the name as it is defined there, else the line's first character that is
// not blank.
intptr_t NameColumn(std::wstring_view Text, std::wstring_view Name);

class TEditorTasks {
public:
    TEditorTasks() = default;
    ~TEditorTasks();
    TEditorTasks(const TEditorTasks&) = delete;
    TEditorTasks& operator=(const TEditorTasks&) = delete;

    intptr_t GetEditorId() const noexcept { return FEditorId; }
    void SetEditorId(intptr_t Value) noexcept { FEditorId = Value; }

    // Where the jumps go on, for the way back; none: they are not kept.
    void SetPlaces(TPlaceStack* Value) noexcept { FPlaces = Value; }

    // True when the cursor was moved to a chosen tag.
    bool Execute();
    // The tags of the editor's text as it stands, each within the text;
    // false when they could not be had (the user has been told why).
    bool LoadTags();
    // The edited file's name, known once LoadTags or PrepareFile has run.
    const std::wstring& GetEditorFileName() const noexcept { return FEditorFileName; }

    // The editor's text as a digest, and its file's name and its lines
    // written for ctags with the digest of what was written; false when the
    // editor would not tell.
    bool DigestText(TTextDigest& Digest);
    bool PrepareFile(std::wstring& FileName, bool& IsTemporary, TTextDigest& Digest);
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
    // The lines of the text ctags read.
    intptr_t FTotalLines = 0;
    TPlaceStack* FPlaces = nullptr;
};
