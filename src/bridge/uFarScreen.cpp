#include "bridge/uFarScreen.h"

#include <algorithm>
#include <cwchar>
#include <vector>

SMALL_RECT TFarScreen::GetRect()
{
    SMALL_RECT Rect{};
    const GUID Guid = PluginGuid();
    const auto AdvControl = StartupInfo().AdvControl;
    if (AdvControl && AdvControl(&Guid, far3::ACTL_GETFARRECT, 0, &Rect) != 0)
        return Rect;
    return SMALL_RECT{0, 0, 79, 24};
}

intptr_t TFarScreen::Width()
{
    const SMALL_RECT Rect = GetRect();
    return Rect.Right - Rect.Left + 1;
}

intptr_t TFarScreen::Height()
{
    const SMALL_RECT Rect = GetRect();
    return Rect.Bottom - Rect.Top + 1;
}

void TFarScreen::RedrawAll()
{
    const GUID Guid = PluginGuid();
    if (const auto AdvControl = StartupInfo().AdvControl)
        AdvControl(&Guid, far3::ACTL_REDRAWALL, 0, nullptr);
}

HANDLE TFarScreen::SaveScreen()
{
    const auto Service = StartupInfo().SaveScreen;
    return Service ? Service(0, 0, -1, -1) : nullptr;
}

void TFarScreen::RestoreScreen(HANDLE& Handle)
{
    if (Handle == NoScreen)
        return;
    if (const auto Service = StartupInfo().RestoreScreen)
        Service(Handle);
    Handle = NoScreen;
}

std::wstring TFarScreen::GetConsoleTitle()
{
    // A console title may be far longer than a path, and a cut one would be
    // put back cut by a progress window. But one request of 64 KiB fails on
    // the older console server, which would blank the title instead: start
    // small, and grow only while the title fills the buffer.
    constexpr size_t FirstSize = 1024;
    constexpr size_t MaxSize = 24000;
    std::vector<wchar_t> Buffer;
    for (size_t Size = FirstSize;; Size = std::min(Size * 4, MaxSize)) {
        Buffer.assign(Size, L'\0');
        const DWORD Length = ::GetConsoleTitleW(Buffer.data(), static_cast<DWORD>(Size));
        if (Length == 0)
            return std::wstring();
        Buffer.back() = L'\0';
        const size_t Got = std::wcslen(Buffer.data());
        if (Got + 1 < Size || Size == MaxSize)
            return std::wstring(Buffer.data(), Got);
    }
}

void TFarScreen::SetConsoleTitle(const std::wstring& Title)
{
    ::SetConsoleTitleW(Title.c_str());
}

std::vector<INPUT_RECORD> TFarScreen::PeekInput()
{
    std::vector<INPUT_RECORD> Records;
    const HANDLE Input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD Pending = 0;
    if (Input == INVALID_HANDLE_VALUE || !Input || !::GetNumberOfConsoleInputEvents(Input, &Pending) || Pending == 0)
        return Records;
    Records.resize(Pending);
    DWORD Count = 0;
    if (!::PeekConsoleInputW(Input, Records.data(), Pending, &Count))
        Count = 0;
    Records.resize(Count);
    return Records;
}

void TFarScreen::RemoveInput(size_t Index)
{
    const HANDLE Input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD Pending = 0;
    if (Input == INVALID_HANDLE_VALUE || !Input || !::GetNumberOfConsoleInputEvents(Input, &Pending) ||
        Pending <= Index)
        return;
    std::vector<INPUT_RECORD> Records(Pending);
    DWORD Read = 0;
    if (!::ReadConsoleInputW(Input, Records.data(), Pending, &Read))
        return;
    Records.resize(Read);
    if (Index < Records.size())
        Records.erase(Records.begin() + static_cast<std::ptrdiff_t>(Index));
    DWORD Written = 0;
    if (!Records.empty())
        ::WriteConsoleInputW(Input, Records.data(), static_cast<DWORD>(Records.size()), &Written);
}

bool TFarScreen::ReadKey(KEY_EVENT_RECORD& KeyEvent, bool Wait)
{
    KeyEvent = KEY_EVENT_RECORD{};
    const HANDLE Input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (Input == INVALID_HANDLE_VALUE || !Input)
        return false;
    INPUT_RECORD Record{};
    DWORD Count = 0;
    if (!Wait && (!::PeekConsoleInputW(Input, &Record, 1, &Count) || Count == 0))
        return false;
    Count = 0;
    if (!::ReadConsoleInputW(Input, &Record, 1, &Count) || Count == 0)
        return false;
    if (Record.EventType != KEY_EVENT)
        return false;
    KeyEvent = Record.Event.KeyEvent;
    return true;
}
