// The console host's picture of the screen: characters with their colours,
// drawn here first and copied to the console in one call, so that a person
// never sees a half-drawn window and a test can read the same picture as
// text.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

class TScreen {
public:
    struct TSnapshot {
        SHORT Width = 0, Height = 0;
        std::vector<CHAR_INFO> Cells;
    };

    TScreen(SHORT Width, SHORT Height) { Resize(Width, Height); }

    // A new size clears the picture.
    void Resize(SHORT Width, SHORT Height);
    SHORT Width() const { return FWidth; }
    SHORT Height() const { return FHeight; }

    // Everything outside the screen is clipped.
    void Put(int X, int Y, wchar_t Char, WORD Attr);
    // Text from (X, Y), at most MaxWidth cells (-1: to the right edge);
    // returns the cells written.
    int Text(int X, int Y, std::wstring_view Text, WORD Attr, int MaxWidth = -1);
    void Fill(int X1, int Y1, int X2, int Y2, wchar_t Char, WORD Attr);
    // Darkens the cells right of and below a window, as a shadow.
    void Shadow(int X1, int Y1, int X2, int Y2);
    wchar_t CharAt(int X, int Y) const;
    WORD AttrAt(int X, int Y) const;

    void SetCursor(int X, int Y) { FCursorX = X, FCursorY = Y, FCursorVisible = true; }
    void HideCursor() { FCursorVisible = false; }
    bool CursorVisible() const { return FCursorVisible; }
    COORD Cursor() const { return COORD{static_cast<SHORT>(FCursorX), static_cast<SHORT>(FCursorY)}; }

    TSnapshot Save() const { return TSnapshot{FWidth, FHeight, FCells}; }
    // A snapshot of another size is refused: the caller repaints instead.
    bool Restore(const TSnapshot& Snapshot);

    // The characters only: one line per row, trailing blanks trimmed.
    std::wstring Dump() const;
    const std::vector<CHAR_INFO>& Cells() const { return FCells; }

private:
    CHAR_INFO* Cell(int X, int Y);
    const CHAR_INFO* Cell(int X, int Y) const { return const_cast<TScreen*>(this)->Cell(X, Y); }

    SHORT FWidth = 0, FHeight = 0;
    std::vector<CHAR_INFO> FCells;
    int FCursorX = 0, FCursorY = 0;
    bool FCursorVisible = false;
};
