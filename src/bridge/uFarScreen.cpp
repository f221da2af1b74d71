#include "uFarScreen.h"

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
    // A console title may be far longer than a path; a short buffer would
    // cut the title that a progress window later puts back.
    std::vector<wchar_t> Buffer(32768, L'\0');
    const DWORD Length = ::GetConsoleTitleW(Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0)
        return std::wstring();
    return std::wstring(Buffer.data());
}

void TFarScreen::SetConsoleTitle(const std::wstring& Title)
{
    ::SetConsoleTitleW(Title.c_str());
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
