// The simulated host's dialog engine: DialogInit, DialogRun, DialogFree,
// SendDlgMessage and DefDlgProc as the real host answers them, the modal loop
// over a TDialogInput, and what each key or click does to a dialog. Its
// member functions live in DialogEngine.cpp, DialogMessages.cpp,
// DialogLists.cpp, DialogInput.cpp and DialogItems.cpp (the message names
// and the rules about items).
//
// Like the real host it takes no locks: SendDlgMessage from another thread
// is a recorded error (in the real host a data race) but is carried out.
#pragma once

#include "DialogModel.h"
#include "DialogScript.h"
#include "bridge/FarApi.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class THostContext;

// One notification the host sent to a dialog procedure (or a DM_USER message
// passed on to it), in the order sent.
struct TDialogEvent {
    HANDLE Dialog = nullptr;
    intptr_t Msg = 0;
    intptr_t Param1 = 0;
    intptr_t Param2 = 0; // the value for DN_LISTCHANGE and DN_BTNCLICK, else 0
    intptr_t Reply = 0;
};

class TDialogEngine {
public:
    explicit TDialogEngine(THostContext& Host);
    TDialogEngine(const TDialogEngine&) = delete;
    TDialogEngine& operator=(const TDialogEngine&) = delete;
    ~TDialogEngine();

    // --- the services ---------------------------------------------------------
    HANDLE Init(const GUID* PluginId, const GUID* Id, intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2,
                const wchar_t* HelpTopic, const far3::FarDialogItem* Item, size_t ItemsNumber,
                far3::FARDIALOGFLAGS Flags, far3::FARWINDOWPROC DlgProc, void* Param);
    intptr_t Run(HANDLE Dialog);
    void Free(HANDLE Dialog);
    intptr_t Send(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2);
    intptr_t DefProc(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2);
    // A fault plan refused this message instead of sending it.
    void Refused(HANDLE Dialog, intptr_t Msg, intptr_t Param1);

    // --- input ------------------------------------------------------------------
    // One script per DialogRun, taken when the run first waits for input.
    void QueueScript(TDialogScript Script);
    size_t QueuedScripts() const { return FScripts.size(); }
    // Forgets the scripts no run took: one queued for a dialog that never ran
    // must not serve the next one.
    void DropScripts() { FScripts.clear(); }
    // An input that serves every run instead of the scripts while set (a
    // console front end); null goes back to the scripts.
    void SetInput(TDialogInput* Input) { FInput = Input; }

    // What the modal loop does with each action; a front end may call these
    // on a running dialog directly.
    void Perform(THostDialog& Dialog, const TDialogAction& Action);
    void ProcessKey(THostDialog& Dialog, const KEY_EVENT_RECORD& Key);
    void ProcessClick(THostDialog& Dialog, intptr_t Item);
    void ProcessSelect(THostDialog& Dialog, intptr_t Item, intptr_t Pos);
    void ProcessResize(THostDialog& Dialog, SHORT Width, SHORT Height);

    // --- looking at dialogs -------------------------------------------------------
    THostDialog* Find(HANDLE Dialog);
    THostDialog* Last(); // the most recently created one, while it lives
    size_t Count() const { return FDialogs.size(); }
    // The dialogs whose DialogRun has not returned, the innermost last: each
    // is a window of the host's list meanwhile.
    const std::vector<HANDLE>& Running() const { return FRunning; }
    const std::vector<TDialogEvent>& Events() const { return FEvents; }
    void ClearEvents() { FEvents.clear(); }

    // --- used by the host ------------------------------------------------------------
    // Centres the centred dialogs again for the host's console size.
    void ConsoleResized();
    // At unload: every dialog still alive is a leak.
    void ReportLeaks();

    static const char* MessageName(intptr_t Msg);
    // What SendDlgMessage answers when it does not carry a message out (an
    // unknown or freed handle).
    static intptr_t RefusedReply(intptr_t Msg);

    // Whether an edit starts its first run "unchanged" (the first typed
    // character replaces the text). Kept in one place: it is to be checked
    // against the real host.
    static bool StartsUnchanged(const THostItem& Item);

private:
    // The services' bookkeeping, the modal loop and the procedures
    // (DialogEngine.cpp).
    THostDialog* Lookup(HANDLE Handle, const char* Service);
    void CheckThread(const char* Service);
    void Error(const std::wstring& Text);
    void Place(THostDialog& Dialog);
    void CreateObjects(THostDialog& Dialog);
    intptr_t Notify(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2);
    intptr_t DefaultReply(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2);

    // The messages (DialogMessages.cpp); those that need more than a few lines
    // have a function of their own.
    intptr_t Dispatch(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2);
    THostItem* ItemAt(THostDialog& Dialog, intptr_t Index, intptr_t Msg);
    intptr_t GetText(THostDialog& Dialog, intptr_t Index, void* Param2);
    intptr_t SetText(THostDialog& Dialog, intptr_t Index, const std::wstring& Text);
    intptr_t GetDlgItem(THostDialog& Dialog, intptr_t Index, void* Param2);
    intptr_t SetDlgItem(THostDialog& Dialog, intptr_t Index, const void* Param2);
    intptr_t SetCheck(THostDialog& Dialog, intptr_t Index, intptr_t State);

    // Lists (DialogLists.cpp).
    THostItem* ListAt(THostDialog& Dialog, intptr_t Index, intptr_t Msg);
    intptr_t ListMessage(THostDialog& Dialog, intptr_t Msg, intptr_t Index, void* Param2);
    void SetEntries(THostDialog& Dialog, intptr_t Index, const far3::FarList& List, const char* Service);
    intptr_t MoveList(THostDialog& Dialog, intptr_t Index, intptr_t NewPos, intptr_t TopPos);
    intptr_t SetListPos(THostDialog& Dialog, intptr_t Index, intptr_t NewPos, intptr_t TopPos);
    void ListKey(THostDialog& Dialog, intptr_t Index, WORD Vk);

    // Focus, closing, buttons and edits (DialogInput.cpp).
    void ChangeFocus(THostDialog& Dialog, intptr_t NewFocus);
    void StepFocus(THostDialog& Dialog, int Step);
    void FocusLeaves(THostDialog& Dialog, intptr_t Index);
    bool Close(THostDialog& Dialog, intptr_t ExitCode);
    void Press(THostDialog& Dialog, intptr_t Index);
    void PressEnter(THostDialog& Dialog, bool Ctrl);
    bool MouseInput(THostDialog& Dialog, intptr_t Index, SHORT Row);
    void EditKey(THostDialog& Dialog, intptr_t Index, const KEY_EVENT_RECORD& Key);
    void EditChanged(THostDialog& Dialog, intptr_t Index);
    // Whether a masked edit takes Char where its mask has MaskChar.
    static bool MaskTakes(wchar_t MaskChar, wchar_t Char);

    THostContext& FHost;
    std::map<HANDLE, std::unique_ptr<THostDialog>> FDialogs;
    std::vector<HANDLE> FRunning;
    uintptr_t FNextHandle = 0xD1A000;
    HANDLE FLast = nullptr;
    std::deque<TDialogScript> FScripts;
    TDialogInput* FInput = nullptr;
    std::vector<TDialogEvent> FEvents;
};
