#include "bridge/uFarProgress.h"

#include "bridge/uFarScreen.h"

#include <algorithm>

namespace {

constexpr wchar_t FullBlock = L'\x2588';
constexpr wchar_t LightShade = L'\x2591';

} // namespace

TFarProgress::TFarProgress(TTickSource TickSource) : SavedScreen(TFarScreen::NoScreen)
{
    SetTickSource(std::move(TickSource));
    Width = ComputeWidth();
    RegisterRedrawable(this);
}

TFarProgress::~TFarProgress()
{
    // Runs while an EAbort or another failure unwinds: nothing may escape.
    try {
        Hide();
    } catch (...) {
    }
    UnregisterRedrawable(this);
}

void TFarProgress::SetTickSource(TTickSource TickSource)
{
    Ticks = TickSource ? std::move(TickSource) : TTickSource(&::GetTickCount);
}

intptr_t TFarProgress::ComputeWidth()
{
    const SMALL_RECT Rect = TFarScreen::GetRect();
    return std::max<intptr_t>(0, (Rect.Right - Rect.Left) - 13);
}

void TFarProgress::Show(const std::vector<std::wstring>& Lines, bool Force)
{
    if (!Shown) {
        SavedTitle = TFarScreen::GetConsoleTitle();
        SavedScreen = TFarScreen::SaveScreen();
        Width = ComputeWidth();
        LastDrawTick = -1;
        ForceRedraw = true;
        Shown = true;
    }
    if (Force)
        ForceRedraw = true;
    if (TimeToDraw())
        Draw(Lines);
    // The scan does not wait for a redraw: Esc must end a wait that has
    // nothing new to draw.
    if (CheckEscape)
        ScanForEscape();
}

void TFarProgress::Draw(const std::vector<std::wstring>& Lines)
{
    // Keeping the background avoids flicker; a full redraw paints it anew.
    far3::FARMESSAGEFLAGS Flags = far3::FMSG_LEFTALIGN | far3::FMSG_KEEPBACKGROUND;
    if (ForceRedraw) {
        Flags = far3::FMSG_LEFTALIGN;
        ForceRedraw = false;
    }
    // Lines of equal width keep the box from changing size between redraws;
    // the title is centred by the host and is never padded.
    const size_t Target = static_cast<size_t>(Width);
    std::vector<std::wstring> Fitted;
    Fitted.reserve(Lines.size());
    for (size_t I = 0; I < Lines.size(); ++I) {
        std::wstring Line = Lines[I];
        if (Line.size() > Target)
            Line.resize(Target);
        else if (I > 0)
            Line.append(Target - Line.size(), L' ');
        Fitted.push_back(std::move(Line));
    }
    LastDrawTick = Ticks();
    Message(Flags, Fitted, 0);
}

void TFarProgress::ScanForEscape()
{
    // What the user types ahead while waiting (a name to filter by, Enter),
    // before the Esc or after it, belongs to whatever comes next: only the
    // Esc is taken from the input.
    const std::vector<INPUT_RECORD> Pending = TFarScreen::PeekInput();
    for (size_t I = 0; I < Pending.size(); ++I) {
        const INPUT_RECORD& Record = Pending[I];
        if (Record.EventType != KEY_EVENT || !Record.Event.KeyEvent.bKeyDown ||
            Record.Event.KeyEvent.wVirtualKeyCode != VK_ESCAPE)
            continue;
        TFarScreen::RemoveInput(I);
        bool Abort = true;
        ForceRedraw = true;
        if (OnAbort)
            OnAbort(*this, Abort);
        if (Abort)
            ::Abort();
        return;
    }
}

void TFarProgress::Hide()
{
    if (!Shown)
        return;
    TFarScreen::SetConsoleTitle(SavedTitle);
    TFarScreen::RestoreScreen(SavedScreen);
    Shown = false;
}

bool TFarProgress::TimeToDraw() const
{
    if (LastDrawTick < 0 || ForceRedraw)
        return true;
    int64_t Now = Ticks();
    if (Now < LastDrawTick)
        Now += int64_t(1) << 32; // the 32-bit counter wrapped
    return Now >= LastDrawTick + Interval;
}

void TFarProgress::Invalidate()
{
    ForceRedraw = true;
}

std::wstring TFarProgress::ProgressBar(int64_t Position, int64_t Total) const
{
    const size_t Target = static_cast<size_t>(Width);
    if (Total <= 0)
        return std::wstring(Target, L' ');
    int64_t Filled;
    if (Position <= 0)
        Filled = 0;
    else if (Position >= Total)
        Filled = Width;
    else // 128-bit, so a huge position cannot overflow the product
        Filled = static_cast<int64_t>(static_cast<__int128>(Position) * Width / Total);
    return std::wstring(static_cast<size_t>(Filled), FullBlock) + std::wstring(Target - Filled, LightShade);
}

std::wstring TFarProgress::FitText(const std::wstring& Text) const
{
    return FitString(Text, Width, L' ');
}
