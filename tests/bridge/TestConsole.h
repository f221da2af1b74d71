// A real console for tests that need one: console titles, and input records
// written into the console input buffer for ReadKey to find. Test programs
// run under wine with no terminal, where no usable console exists, so the
// test attaches to a pseudo console made for the purpose and gives it up
// again when done. A terminal's own console would not do: the terminal
// adds input events of its own. Run by hand from a terminal, a test
// program therefore loses the terminal once such a test has run; pipe its
// output (| cat) to see all of it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TTestConsole {
public:
    TTestConsole();
    ~TTestConsole();
    TTestConsole(const TTestConsole&) = delete;
    TTestConsole& operator=(const TTestConsole&) = delete;

    bool Ready() const { return FReady; }

    // Appends records to the console input buffer.
    bool Write(const std::vector<INPUT_RECORD>& Records);
    void Flush();
    DWORD PendingCount();
    // The pending records in order, left where they are: a key as its
    // virtual-key code with "+" (down) or "-" (up), a mouse event as "mouse",
    // separated by blanks.
    std::string Pending();

    static INPUT_RECORD Key(WORD VirtualKey, bool Down = true, wchar_t Char = 0);
    static INPUT_RECORD Mouse();

private:
    bool FReady = false;
    void* FPseudoConsole = nullptr;
    HANDLE FInput = INVALID_HANDLE_VALUE;
    // Kept open: at the end of its input the console would close.
    HANDLE FInputPipe = nullptr;
    HANDLE FSavedStd[3]{};
};
