// The simulated host's dialogs as plain data: what DialogInit was given and
// what each dialog holds now. The engine (DialogEngine.h) is the only writer;
// tests read it, and a console front end can draw exactly this.
#pragma once

#include "bridge/FarApi.h"

#include <algorithm>
#include <string>
#include <vector>

struct THostListEntry {
    std::wstring Text;
    // Never holds LIF_SELECTED: which entry is current is the list's CurPos,
    // and the host reports LIF_SELECTED on that entry only.
    far3::LISTITEMFLAGS Flags = 0;
    intptr_t UserData = 0;
};

struct THostList {
    std::vector<THostListEntry> Entries;
    intptr_t CurPos = -1; // -1: no entry can be current
    intptr_t TopPos = 0;  // first row shown
    std::wstring Title;
    // Whether '&' shows as it is rather than marking a hot key: unless the
    // item has DIF_LISTNOAMPERSAND, which makes '&' a hot-key marker and
    // "&&" one '&' (seen in build 6727: with the flag, "operator &&" showed
    // as "operator &"; without it, as it is).
    bool ShowsAmpersand = true;
};

struct THostItem {
    far3::FARDIALOGITEMTYPES Type = far3::DI_TEXT;
    // Relative to the dialog's top-left corner.
    intptr_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    intptr_t Selected = 0; // check state of check boxes and radio buttons
    std::wstring Data, History, Mask;
    far3::FARDIALOGITEMFLAGS Flags = 0;
    size_t MaxLength = 0;
    intptr_t UserData = 0;

    // Edits: while Unchanged is set the first typed character replaces the
    // whole text.
    bool Unchanged = false;
    intptr_t CursorPos = 0;

    // List boxes. The plugin's FarList is read only when the run starts, so
    // until then the item keeps the pointer it was given.
    const far3::FarList* InitialList = nullptr;
    bool ListCreated = false;
    THostList List;
};

enum class THostDialogState { Created, Running, Finished };

struct THostDialog {
    HANDLE Handle = nullptr;
    GUID PluginId{}, Id{};
    // As given to DialogInit: X1 = -1 centres and X2 is then the width; Y1
    // likewise.
    intptr_t GivenX1 = 0, GivenY1 = 0, GivenX2 = 0, GivenY2 = 0;
    // Where the dialog is now. A centred axis is centred again whenever the
    // console or the dialog changes size.
    bool CentredX = false, CentredY = false;
    SHORT Width = 0, Height = 0;
    SMALL_RECT Rect{}; // screen coordinates, inclusive
    std::wstring HelpTopic;
    far3::FARDIALOGFLAGS Flags = 0;
    far3::FARWINDOWPROC Proc = nullptr;
    void* Param = nullptr;

    std::vector<THostItem> Items;
    intptr_t Focus = -1;

    int RedrawLock = 0; // nested DM_ENABLEREDRAW(FALSE) calls
    // Suspends and resumes a fault plan refused. A refused suspend answers 0
    // like a first one that worked, so the plugin cannot know to leave out
    // its resume; nor can it undo a resume that did not happen. What such a
    // refusal unbalances is not held against the plugin.
    int RefusedSuspends = 0, RefusedResumes = 0;
    size_t RedrawCount = 0;         // redraws the plugin asked for (DM_REDRAW, the end of a redraw lock)
    size_t SynchroRequestsSeen = 0; // the host's ACTL_SYNCHRO count a WaitForSynchro has waited past

    THostDialogState State = THostDialogState::Created;
    size_t Runs = 0;
    bool InitDialogSent = false; // DN_INITDIALOG was sent (list objects exist)
    bool Initialised = false;    // DN_INITDIALOG returned
    bool Closing = false;        // a close was accepted; the run ends before the next input
    intptr_t ExitCode = -1;
    int Busy = 0; // notifications in progress: the dialog cannot be freed meanwhile
};

// The texts of the entries a list box shows (those not hidden), in order.
inline std::vector<std::wstring> VisibleEntries(const THostItem& List)
{
    std::vector<std::wstring> Texts;
    for (const THostListEntry& Entry : List.List.Entries)
        if (!(Entry.Flags & far3::LIF_HIDDEN))
            Texts.push_back(Entry.Text);
    return Texts;
}

// The tab size Far's dialog edits show tabs at: the editor's, 8 unless set.
inline constexpr intptr_t EditorTabSize = 8;

// What an edit field shows of its text, as Far draws it: tabs at the
// editor's tab size, and the text scrolled so that its cursor is in view
// (after DM_SETTEXT the cursor stands at the end: a text wider than the
// field shows its end, focused or not).
inline std::wstring ShownEditText(const THostItem& Edit)
{
    std::wstring Expanded;
    intptr_t CursorColumn = 0;
    for (size_t I = 0; I < Edit.Data.size(); ++I) {
        if (static_cast<intptr_t>(I) == Edit.CursorPos)
            CursorColumn = static_cast<intptr_t>(Expanded.size());
        if (Edit.Data[I] == L'\t')
            Expanded.append(static_cast<size_t>(EditorTabSize - static_cast<intptr_t>(Expanded.size()) % EditorTabSize),
                            L' ');
        else
            Expanded += Edit.Data[I];
    }
    if (Edit.CursorPos >= static_cast<intptr_t>(Edit.Data.size()))
        CursorColumn = static_cast<intptr_t>(Expanded.size());
    const intptr_t Width = Edit.X2 - Edit.X1 + 1;
    const intptr_t Start = std::max<intptr_t>(0, CursorColumn - Width + 1);
    return Start >= static_cast<intptr_t>(Expanded.size())
               ? std::wstring()
               : Expanded.substr(static_cast<size_t>(Start), static_cast<size_t>(Width));
}
