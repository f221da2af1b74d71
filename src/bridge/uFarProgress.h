// A progress window: a host message box without buttons, redrawn in place
// as an operation advances. Regular redraws are throttled by time; the
// screen and the console title under the window are saved when it first
// shows and put back when it goes. Every window is in the redraw registry,
// so a message box with buttons can make them all redraw in full.
#pragma once

#include "bridge/uFarModule.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TFarProgress final : public TFarCommonModule, private TRedrawable {
public:
    // Milliseconds of a 32-bit counter that wraps, as GetTickCount counts.
    using TTickSource = std::function<DWORD()>;
    // Called when the user pressed Esc; clearing Abort lets the work go on.
    using TAbortEvent = std::function<void(TFarProgress& Sender, bool& Abort)>;

    explicit TFarProgress(TTickSource Ticks = nullptr);
    ~TFarProgress();
    TFarProgress(const TFarProgress&) = delete;
    TFarProgress& operator=(const TFarProgress&) = delete;

    // Lines[0] is the title. Draws when a redraw is due (see TimeToDraw);
    // Force makes it a full redraw now. With the Esc scan on, every call
    // looks at the console input, drawn or not, and raises EAbort when the
    // user pressed Esc; only that Esc is taken from the input.
    void Show(const std::vector<std::wstring>& Lines, bool Force = false);
    // Puts back the console title and the screen saved by the first Show.
    void Hide();
    // Whether Show would draw now; lets a caller skip building its lines.
    bool TimeToDraw() const;
    // The next Show draws in full, at once.
    void Invalidate() override;

    // A bar of exactly GetWidth characters: full blocks for the done part,
    // light shade for the rest; blank when Total is not positive.
    std::wstring ProgressBar(int64_t Position, int64_t Total) const;
    // Text padded to the window's width, or shortened as the host shortens
    // paths.
    std::wstring FitText(const std::wstring& Text) const;

    intptr_t GetWidth() const { return Width; }
    bool IsShown() const { return Shown; }
    DWORD GetInterval() const { return Interval; }
    void SetInterval(DWORD Value) { Interval = Value; }
    bool GetCheckEscape() const { return CheckEscape; }
    void SetCheckEscape(bool Value) { CheckEscape = Value; }
    void SetOnAbort(TAbortEvent Handler) { OnAbort = std::move(Handler); }
    void SetTickSource(TTickSource Ticks);
    // The window's clock now: what an operation that says how long it has
    // taken counts by, so that a test's clock is its clock too.
    DWORD GetTick() const { return Ticks(); }
    // The Esc scan of Show on its own, for work that does not draw as often
    // as it should look at the keyboard: EAbort when the user pressed Esc
    // (unless OnAbort lets the work go on).
    void ScanForEscape();

private:
    // The text width of the window's lines: the screen width minus the box
    // and its margins, never negative.
    static intptr_t ComputeWidth();
    void Draw(const std::vector<std::wstring>& Lines);

    std::wstring SavedTitle;
    HANDLE SavedScreen;
    DWORD Interval = 500;
    bool CheckEscape = false;
    TAbortEvent OnAbort;
    int64_t LastDrawTick = -1;
    // Set from whichever thread shows a box with buttons.
    std::atomic<bool> ForceRedraw{true};
    bool Shown = false;
    intptr_t Width = 0;
    TTickSource Ticks;
};
