#include "Input.h"

#include <cwctype>

const wchar_t* const KeysSyntax =
    L"KEYS is a list of keys and pauses, separated by blanks:\n"
    L"  F1..F12 Enter Esc Tab Space Back Del Ins Up Down Left Right PgUp PgDn Home End\n"
    L"      a key; a single letter or digit is that key\n"
    L"  S-KEY C-KEY M-KEY    the key with Shift, Ctrl or Alt held (combinable: M-S-F9)\n"
    L"  'text' or \"text\"     the text typed character by character\n"
    L"  Wait:N               a pause of N milliseconds (pending plugin events are delivered)\n"
    L"  Size:WxH             the console changes size\n"
    L"  Screen               print the screen as it is at that point, then a line with a form feed\n";

namespace {

struct TNamedKey {
    const wchar_t* Name;
    WORD Vk;
    wchar_t Char;
};

const TNamedKey NamedKeys[] = {
    {L"Enter", VK_RETURN, L'\r'}, {L"Esc", VK_ESCAPE, 0x1B}, {L"Tab", VK_TAB, L'\t'}, {L"Space", VK_SPACE, L' '},
    {L"Back", VK_BACK, L'\b'},    {L"Del", VK_DELETE, 0},    {L"Ins", VK_INSERT, 0},  {L"Up", VK_UP, 0},
    {L"Down", VK_DOWN, 0},        {L"Left", VK_LEFT, 0},     {L"Right", VK_RIGHT, 0}, {L"PgUp", VK_PRIOR, 0},
    {L"PgDn", VK_NEXT, 0},        {L"Home", VK_HOME, 0},     {L"End", VK_END, 0},
};

TInputEvent KeyEvent(WORD Vk, wchar_t Char, DWORD State)
{
    TInputEvent Event;
    Event.Kind = TInputEvent::Key;
    Event.KeyEvent.bKeyDown = TRUE;
    Event.KeyEvent.wRepeatCount = 1;
    Event.KeyEvent.wVirtualKeyCode = Vk;
    Event.KeyEvent.wVirtualScanCode = static_cast<WORD>(::MapVirtualKeyW(Vk, MAPVK_VK_TO_VSC));
    Event.KeyEvent.uChar.UnicodeChar = Char;
    Event.KeyEvent.dwControlKeyState = State;
    return Event;
}

// A character typed as the keyboard layout makes it: its key, with Shift
// when the layout needs it; a character the layout has no key for comes
// with no key, as an input method delivers it.
TInputEvent CharEvent(wchar_t Char)
{
    const SHORT Scan = ::VkKeyScanW(Char);
    if (Scan == -1)
        return KeyEvent(0, Char, 0);
    return KeyEvent(static_cast<WORD>(Scan & 0xFF), Char, (Scan & 0x100) ? SHIFT_PRESSED : 0);
}

bool ParseNumber(const std::wstring& Text, DWORD& Value)
{
    if (Text.empty() || Text.size() > 9)
        return false;
    Value = 0;
    for (wchar_t C : Text) {
        if (C < L'0' || C > L'9')
            return false;
        Value = Value * 10 + static_cast<DWORD>(C - L'0');
    }
    return true;
}

bool ParseKey(std::wstring Word, TInputEvent& Event)
{
    DWORD State = 0;
    while (Word.size() > 2 && Word[1] == L'-') {
        switch (Word[0]) {
        case L'S': State |= SHIFT_PRESSED; break;
        case L'C': State |= LEFT_CTRL_PRESSED; break;
        case L'M':
        case L'A': State |= LEFT_ALT_PRESSED; break;
        default: return false;
        }
        Word.erase(0, 2);
    }
    const bool Plain = !(State & (LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED));
    for (const TNamedKey& Key : NamedKeys) {
        if (Word == Key.Name) {
            const bool Typed = Key.Vk == VK_RETURN || Key.Vk == VK_ESCAPE || Key.Vk == VK_TAB || Key.Vk == VK_BACK ||
                               Key.Vk == VK_SPACE;
            Event = KeyEvent(Key.Vk, Typed && (Plain || Key.Vk != VK_SPACE) ? Key.Char : 0, State);
            return true;
        }
    }
    if (Word.size() >= 2 && Word.size() <= 3 && Word[0] == L'F') {
        DWORD Number = 0;
        if (!ParseNumber(Word.substr(1), Number) || Number < 1 || Number > 12)
            return false;
        Event = KeyEvent(static_cast<WORD>(VK_F1 + Number - 1), 0, State);
        return true;
    }
    if (Word.size() == 1 && std::iswalnum(Word[0]) && Word[0] < 0x80) {
        const wchar_t Upper = static_cast<wchar_t>(std::towupper(Word[0]));
        wchar_t Char = 0;
        if (Plain)
            Char = (State & SHIFT_PRESSED) || (Upper >= L'0' && Upper <= L'9') ? Upper : std::towlower(Upper);
        Event = KeyEvent(static_cast<WORD>(Upper), Char, State);
        return true;
    }
    return false;
}

// Wine's console, reading a terminal's Home and End (ESC [ H, ESC O F and
// the like), reports the key's virtual code as the scan code and the other
// way round. Such a pair is recognisable: the "scan code" is a navigation
// key whose own scan code is the "virtual key" code.
void SwapMixedUpCodes(KEY_EVENT_RECORD& Key)
{
    const WORD Vk = Key.wVirtualScanCode;
    if (Vk < VK_PRIOR || Vk > VK_DOWN || Key.wVirtualKeyCode != ::MapVirtualKeyW(Vk, MAPVK_VK_TO_VSC))
        return;
    Key.wVirtualScanCode = Key.wVirtualKeyCode;
    Key.wVirtualKeyCode = Vk;
}

} // namespace

bool TScriptInput::Parse(const std::wstring& Text, std::wstring& Error)
{
    FEvents.clear();
    size_t Pos = 0;
    while (Pos < Text.size()) {
        const wchar_t C = Text[Pos];
        if (std::iswspace(C)) {
            ++Pos;
            continue;
        }
        if (C == L'\'' || C == L'"') {
            const size_t End = Text.find(C, Pos + 1);
            if (End == std::wstring::npos) {
                Error = L"unterminated text: " + Text.substr(Pos);
                return false;
            }
            for (size_t I = Pos + 1; I < End; ++I)
                FEvents.push_back(CharEvent(Text[I]));
            Pos = End + 1;
            continue;
        }
        size_t End = Pos;
        while (End < Text.size() && !std::iswspace(Text[End]))
            ++End;
        const std::wstring Word = Text.substr(Pos, End - Pos);
        Pos = End;
        TInputEvent Event;
        if (Word.rfind(L"Wait:", 0) == 0) {
            Event.Kind = TInputEvent::Wait;
            if (!ParseNumber(Word.substr(5), Event.Milliseconds)) {
                Error = L"Wait needs milliseconds: " + Word;
                return false;
            }
        } else if (Word.rfind(L"Size:", 0) == 0) {
            const size_t By = Word.find(L'x', 5);
            DWORD Width = 0, Height = 0;
            if (By == std::wstring::npos || !ParseNumber(Word.substr(5, By - 5), Width) ||
                !ParseNumber(Word.substr(By + 1), Height) || Width < 20 || Height < 10 || Width > 1000 ||
                Height > 1000) {
                Error = L"Size needs WIDTHxHEIGHT (at least 20x10): " + Word;
                return false;
            }
            Event.Kind = TInputEvent::Resize;
            Event.Width = static_cast<SHORT>(Width);
            Event.Height = static_cast<SHORT>(Height);
        } else if (Word == L"Screen") {
            Event.Kind = TInputEvent::Screen;
        } else if (!ParseKey(Word, Event)) {
            Error = L"unknown key: " + Word;
            return false;
        }
        FEvents.push_back(Event);
    }
    return true;
}

bool TScriptInput::Read(TInputEvent& Event, DWORD)
{
    if (FEvents.empty())
        return false;
    Event = FEvents.front();
    FEvents.pop_front();
    return true;
}

TConsoleInput::TConsoleInput(HANDLE Input, HANDLE Output) : FInput(Input), FOutput(Output)
{
    WindowSize(FOutput, FWidth, FHeight);
}

bool TConsoleInput::WindowSize(HANDLE Output, SHORT& Width, SHORT& Height)
{
    CONSOLE_SCREEN_BUFFER_INFO Info{};
    if (!::GetConsoleScreenBufferInfo(Output, &Info))
        return false;
    Width = static_cast<SHORT>(Info.srWindow.Right - Info.srWindow.Left + 1);
    Height = static_cast<SHORT>(Info.srWindow.Bottom - Info.srWindow.Top + 1);
    return Width > 0 && Height > 0;
}

bool TConsoleInput::SizeChanged(TInputEvent& Event)
{
    SHORT Width = 0, Height = 0;
    if (!WindowSize(FOutput, Width, Height) || (Width == FWidth && Height == FHeight))
        return false;
    FWidth = Width;
    FHeight = Height;
    Event = TInputEvent{};
    Event.Kind = TInputEvent::Resize;
    Event.Width = Width;
    Event.Height = Height;
    return true;
}

bool TConsoleInput::Read(TInputEvent& Event, DWORD Timeout)
{
    if (FPending.empty() && SizeChanged(Event))
        return true;
    if (FPending.empty() && ::WaitForSingleObject(FInput, Timeout) == WAIT_OBJECT_0) {
        DWORD Count = 0;
        INPUT_RECORD Records[32];
        if (::GetNumberOfConsoleInputEvents(FInput, &Count) && Count > 0 &&
            ::ReadConsoleInputW(FInput, Records, 32, &Count)) {
            for (DWORD I = 0; I < Count; ++I) {
                const INPUT_RECORD& Record = Records[I];
                if (Record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
                    TInputEvent Resize;
                    if (SizeChanged(Resize))
                        FPending.push_back(Resize);
                    continue;
                }
                if (Record.EventType != KEY_EVENT || !Record.Event.KeyEvent.bKeyDown)
                    continue;
                const WORD Vk = Record.Event.KeyEvent.wVirtualKeyCode;
                if (Vk == VK_SHIFT || Vk == VK_CONTROL || Vk == VK_MENU || Vk == VK_CAPITAL || Vk == VK_NUMLOCK ||
                    Vk == VK_SCROLL || Vk == VK_LWIN || Vk == VK_RWIN)
                    continue;
                TInputEvent Key;
                Key.KeyEvent = Record.Event.KeyEvent;
                Key.KeyEvent.wRepeatCount = 1;
                SwapMixedUpCodes(Key.KeyEvent);
                for (WORD N = 0; N < std::max<WORD>(1, Record.Event.KeyEvent.wRepeatCount); ++N)
                    FPending.push_back(Key);
            }
        }
    }
    if (FPending.empty())
        return false;
    Event = FPending.front();
    FPending.pop_front();
    return true;
}
