// Where the console host's input comes from: the console itself, or keys
// written on the command line (--keys) for tests and for a look without a
// terminal.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct TInputEvent {
    enum TKind {
        Key,    // KeyEvent was pressed
        Resize, // the console is now Width x Height
        Wait,   // nothing happens for Milliseconds (scripted)
        Screen  // print the screen as it is now (scripted)
    };
    TKind Kind = Key;
    KEY_EVENT_RECORD KeyEvent{};
    SHORT Width = 0, Height = 0;
    DWORD Milliseconds = 0;
};

class TInputSource {
public:
    virtual ~TInputSource() = default;
    // The next event, waiting at most Timeout milliseconds for it; false
    // when none came in time or the input has ended.
    virtual bool Read(TInputEvent& Event, DWORD Timeout) = 0;
    virtual bool Ended() const = 0;
};

// The syntax of --keys, for the usage text.
extern const wchar_t* const KeysSyntax;

// Keys written as text, e.g. "F11 Enter 'hull' Wait:500 Down Enter".
class TScriptInput : public TInputSource {
public:
    // False with Error set when Text does not follow the syntax.
    bool Parse(const std::wstring& Text, std::wstring& Error);
    bool Read(TInputEvent& Event, DWORD Timeout) override;
    bool Ended() const override { return FEvents.empty(); }

private:
    std::deque<TInputEvent> FEvents;
};

// The console's input buffer. Key releases and lone modifier keys are
// dropped, a key's repeat count becomes that many presses, and a change of
// the console's window size (reported or seen between two reads) becomes a
// Resize event.
class TConsoleInput : public TInputSource {
public:
    TConsoleInput(HANDLE Input, HANDLE Output);
    bool Read(TInputEvent& Event, DWORD Timeout) override;
    bool Ended() const override { return false; }
    // The window size of the console now.
    static bool WindowSize(HANDLE Output, SHORT& Width, SHORT& Height);

private:
    bool SizeChanged(TInputEvent& Event);

    HANDLE FInput, FOutput;
    SHORT FWidth = 0, FHeight = 0;
    std::deque<TInputEvent> FPending;
};
