// The host's screen (size, save and restore, redraw) and the console's title
// and raw key input. Class-level operations only; failures fall back to
// defaults rather than raise.
#pragma once

#include "bridge/uFarModule.h"

#include <string>
#include <vector>

class TFarScreen : public TFarCommonModule {
public:
    TFarScreen() = delete;

    // What SaveScreen's handle variable holds once nothing is saved.
    static inline const HANDLE NoScreen = INVALID_HANDLE_VALUE;

    // The host's screen rectangle, inclusive; 80 x 25 when the host does not
    // say.
    static SMALL_RECT GetRect();
    static intptr_t Width();
    static intptr_t Height();
    static void RedrawAll();

    // Saves the whole screen; hand the handle to RestoreScreen exactly once.
    static HANDLE SaveScreen();
    // Restores and frees the saved screen, then sets Handle to NoScreen, so a
    // second call with the same variable does nothing.
    static void RestoreScreen(HANDLE& Handle);

    // The empty string when the title cannot be read.
    static std::wstring GetConsoleTitle();
    static void SetConsoleTitle(const std::wstring& Title);

    // Reads one record of the console input. With Wait false it returns at
    // once when nothing is pending. True only for a key event; any other
    // record is consumed all the same.
    static bool ReadKey(KEY_EVENT_RECORD& KeyEvent, bool Wait);
    // The records waiting in the console input, left where they are.
    static std::vector<INPUT_RECORD> PeekInput();
    // Removes the record at Index of those PeekInput returned and keeps
    // the others, before it and after it, in their order. The console can
    // only append, so the records are read and the others written back: a
    // record that arrives in between comes before them.
    static void RemoveInput(size_t Index);
};
