#include "Screen.h"

void TScreen::Resize(SHORT Width, SHORT Height)
{
    FWidth = Width > 0 ? Width : 1;
    FHeight = Height > 0 ? Height : 1;
    CHAR_INFO Blank{};
    Blank.Char.UnicodeChar = L' ';
    Blank.Attributes = 0x07;
    FCells.assign(static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight), Blank);
    FCursorVisible = false;
}

CHAR_INFO* TScreen::Cell(int X, int Y)
{
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        return nullptr;
    return &FCells[static_cast<size_t>(Y) * static_cast<size_t>(FWidth) + static_cast<size_t>(X)];
}

void TScreen::Put(int X, int Y, wchar_t Char, WORD Attr)
{
    if (CHAR_INFO* C = Cell(X, Y)) {
        C->Char.UnicodeChar = Char;
        C->Attributes = Attr;
    }
}

int TScreen::Text(int X, int Y, std::wstring_view Text, WORD Attr, int MaxWidth)
{
    int Written = 0;
    for (wchar_t Char : Text) {
        if (MaxWidth >= 0 && Written >= MaxWidth)
            break;
        // Control characters would move the terminal's cursor.
        Put(X + Written, Y, Char < L' ' ? L' ' : Char, Attr);
        ++Written;
    }
    return Written;
}

void TScreen::Fill(int X1, int Y1, int X2, int Y2, wchar_t Char, WORD Attr)
{
    for (int Y = Y1; Y <= Y2; ++Y)
        for (int X = X1; X <= X2; ++X)
            Put(X, Y, Char, Attr);
}

void TScreen::Shadow(int X1, int Y1, int X2, int Y2)
{
    const auto Darken = [this](int X, int Y) {
        if (CHAR_INFO* C = Cell(X, Y))
            C->Attributes = 0x08;
    };
    for (int Y = Y1 + 1; Y <= Y2 + 1; ++Y) {
        Darken(X2 + 1, Y);
        Darken(X2 + 2, Y);
    }
    for (int X = X1 + 2; X <= X2; ++X)
        Darken(X, Y2 + 1);
}

wchar_t TScreen::CharAt(int X, int Y) const
{
    const CHAR_INFO* C = Cell(X, Y);
    return C ? C->Char.UnicodeChar : L' ';
}

WORD TScreen::AttrAt(int X, int Y) const
{
    const CHAR_INFO* C = Cell(X, Y);
    return C ? C->Attributes : 0;
}

bool TScreen::Restore(const TSnapshot& Snapshot)
{
    if (Snapshot.Width != FWidth || Snapshot.Height != FHeight)
        return false;
    FCells = Snapshot.Cells;
    return true;
}

std::wstring TScreen::Dump() const
{
    std::wstring Result;
    for (int Y = 0; Y < FHeight; ++Y) {
        std::wstring Row;
        for (int X = 0; X < FWidth; ++X)
            Row.push_back(CharAt(X, Y));
        Row.erase(Row.find_last_not_of(L' ') + 1);
        Result += Row;
        Result += L'\n';
    }
    return Result;
}
