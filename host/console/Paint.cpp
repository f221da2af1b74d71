#include "Paint.h"

#include <algorithm>
#include <map>

using namespace far3;

namespace paint {

namespace {

struct TPalette {
    WORD Text, Box, Hot, Disabled;
    WORD Edit, EditUnchanged, EditDisabled;
    WORD Focused, FocusedHot;
    WORD ListCurrent;
};

constexpr TPalette NormalPalette{0x70, 0x7F, 0x7E, 0x78, 0x30, 0x31, 0x38, 0x30, 0x3E, 0x0F};
constexpr TPalette WarningPalette{0x4F, 0x4F, 0x4E, 0x48, 0x30, 0x31, 0x38, 0x70, 0x7E, 0x0F};

struct TFrameChars {
    wchar_t TopLeft, Top, TopRight, Side, BottomLeft, BottomRight;
};
constexpr TFrameChars DoubleFrame{L'\x2554', L'\x2550', L'\x2557', L'\x2551', L'\x255A', L'\x255D'};
constexpr TFrameChars SingleFrame{L'\x250C', L'\x2500', L'\x2510', L'\x2502', L'\x2514', L'\x2518'};

constexpr wchar_t HistoryArrow = L'\x2193';
constexpr wchar_t CutMark = L'\x00BB';
constexpr wchar_t CheckMark = L'\x221A';
constexpr wchar_t ScrollUp = L'\x25B2';
constexpr wchar_t ScrollDown = L'\x25BC';
constexpr wchar_t ScrollThumb = L'\x2588';
constexpr wchar_t ScrollTrack = L'\x2591';
constexpr wchar_t RadioMark = L'\x2022';

int Length(const std::wstring& Text)
{
    return static_cast<int>(Text.size());
}

// Draws Text with its hotkey highlighted; returns the cells written.
int HotText(TScreen& Screen, int X, int Y, const std::wstring& Text, WORD Attr, WORD HotAttr, bool ShowAmpersand,
            int MaxWidth = -1)
{
    int Written = 0;
    bool HotDone = ShowAmpersand;
    for (size_t I = 0; I < Text.size(); ++I) {
        if (MaxWidth >= 0 && Written >= MaxWidth)
            break;
        wchar_t Char = Text[I];
        WORD Colour = Attr;
        if (!ShowAmpersand && Char == L'&' && I + 1 < Text.size()) {
            Char = Text[++I];
            if (Char != L'&' && !HotDone) {
                Colour = HotAttr;
                HotDone = true;
            }
        }
        Screen.Put(X + Written, Y, Char < L' ' ? L' ' : Char, Colour);
        ++Written;
    }
    return Written;
}

void Frame(TScreen& Screen, int X1, int Y1, int X2, int Y2, const TFrameChars& C, WORD Attr, const std::wstring& Title,
           WORD TitleAttr)
{
    if (X2 <= X1 || Y2 <= Y1)
        return;
    Screen.Put(X1, Y1, C.TopLeft, Attr);
    Screen.Fill(X1 + 1, Y1, X2 - 1, Y1, C.Top, Attr);
    Screen.Put(X2, Y1, C.TopRight, Attr);
    for (int Y = Y1 + 1; Y < Y2; ++Y) {
        Screen.Put(X1, Y, C.Side, Attr);
        Screen.Put(X2, Y, C.Side, Attr);
    }
    Screen.Put(X1, Y2, C.BottomLeft, Attr);
    Screen.Fill(X1 + 1, Y2, X2 - 1, Y2, C.Top, Attr);
    Screen.Put(X2, Y2, C.BottomRight, Attr);
    if (Title.empty())
        return;
    // " Title " centred in the top line, cut to the frame.
    const int Room = X2 - X1 - 1;
    std::wstring Shown = L" " + Title + L" ";
    if (Length(Shown) > Room)
        Shown.resize(static_cast<size_t>(std::max(0, Room)));
    Screen.Text(X1 + 1 + (Room - Length(Shown)) / 2, Y1, Shown, TitleAttr);
}

// What a button-like item shows, its hotkey mark still in.
std::wstring ButtonText(const THostItem& Item)
{
    switch (Item.Type) {
    case DI_BUTTON:
        if (Item.Flags & DIF_NOBRACKETS)
            return Item.Data;
        return (Item.Flags & DIF_DEFAULTBUTTON) ? L"{ " + Item.Data + L" }" : L"[ " + Item.Data + L" ]";
    case DI_CHECKBOX: {
        const wchar_t Mark = Item.Selected == 2 ? L'?' : Item.Selected ? L'x' : L' ';
        return std::wstring(L"[") + Mark + L"] " + Item.Data;
    }
    case DI_RADIOBUTTON: return std::wstring(L"(") + (Item.Selected ? RadioMark : L' ') + L") " + Item.Data;
    default: return Item.Data;
    }
}

bool ShowsAmpersand(const THostItem& Item)
{
    return (Item.Flags & DIF_SHOWAMPERSAND) != 0;
}

int ShownWidth(const THostItem& Item)
{
    return Length(ShownText(ButtonText(Item), ShowsAmpersand(Item)));
}

// Items of a DIF_CENTERGROUP row are centred in the dialog as one group,
// one blank between them: where each of them starts.
std::map<size_t, int> CentreGroups(const THostDialog& Dialog)
{
    std::map<intptr_t, std::vector<size_t>> Rows;
    for (size_t I = 0; I < Dialog.Items.size(); ++I) {
        const THostItem& Item = Dialog.Items[I];
        if ((Item.Flags & DIF_CENTERGROUP) && !(Item.Flags & DIF_HIDDEN))
            Rows[Item.Y1].push_back(I);
    }
    std::map<size_t, int> Starts;
    for (const auto& [Row, Members] : Rows) {
        int Total = -1;
        for (size_t I : Members)
            Total += ShownWidth(Dialog.Items[I]) + 1;
        int X = (Dialog.Width - Total) / 2;
        for (size_t I : Members) {
            Starts[I] = X;
            X += ShownWidth(Dialog.Items[I]) + 1;
        }
    }
    return Starts;
}

// The frame a separator row crosses: the innermost box around that row.
const THostItem* BoxAround(const THostDialog& Dialog, intptr_t Row)
{
    const THostItem* Found = nullptr;
    for (const THostItem& Item : Dialog.Items)
        if ((Item.Type == DI_DOUBLEBOX || Item.Type == DI_SINGLEBOX) && !(Item.Flags & DIF_HIDDEN) && Item.Y1 < Row &&
            Row < Item.Y2)
            Found = &Item;
    return Found;
}

void Separator(TScreen& Screen, const THostDialog& Dialog, const THostItem& Item, const TPalette& P)
{
    const int Left = Dialog.Rect.Left, Top = Dialog.Rect.Top;
    const bool Double = (Item.Flags & DIF_SEPARATOR2) != 0;
    const THostItem* Box = BoxAround(Dialog, Item.Y1);
    int X1 = Left, X2 = Left + Dialog.Width - 1;
    wchar_t Start = Double ? L'\x2550' : L'\x2500', End = Start;
    if (Box) {
        X1 = Left + static_cast<int>(Box->X1);
        X2 = Left + static_cast<int>(Box->X2);
        const bool DoubleBox = Box->Type == DI_DOUBLEBOX;
        if (Double) {
            Start = DoubleBox ? L'\x2560' : L'\x255E';
            End = DoubleBox ? L'\x2563' : L'\x2561';
        } else {
            Start = DoubleBox ? L'\x255F' : L'\x251C';
            End = DoubleBox ? L'\x2562' : L'\x2524';
        }
    }
    const int Y = Top + static_cast<int>(Item.Y1);
    Screen.Fill(X1, Y, X2, Y, Double ? L'\x2550' : L'\x2500', P.Box);
    Screen.Put(X1, Y, Start, P.Box);
    Screen.Put(X2, Y, End, P.Box);
    const std::wstring Text = ShownText(Item.Data, ShowsAmpersand(Item));
    if (!Text.empty()) {
        const std::wstring Shown = L" " + Text + L" ";
        HotText(Screen, X1 + (X2 - X1 + 1 - Length(Shown)) / 2, Y, L" " + Item.Data + L" ", P.Text, P.Hot,
                ShowsAmpersand(Item), X2 - X1 - 1);
    }
}

void TextItem(TScreen& Screen, const THostDialog& Dialog, const THostItem& Item, const TPalette& P, WORD Attr)
{
    if (Item.Flags & (DIF_SEPARATOR | DIF_SEPARATOR2)) {
        Separator(Screen, Dialog, Item, P);
        return;
    }
    const int Left = Dialog.Rect.Left, Top = Dialog.Rect.Top;
    const int Shown = Length(ShownText(Item.Data, ShowsAmpersand(Item)));
    if (Item.Type == DI_VTEXT) {
        for (int I = 0; I < Length(Item.Data); ++I)
            Screen.Put(Left + static_cast<int>(Item.X1), Top + static_cast<int>(Item.Y1) + I,
                       Item.Data[static_cast<size_t>(I)], Attr);
        return;
    }
    // A text given its own width is cut (and centred) there; one without
    // runs to the dialog's edge (and is centred in the dialog).
    const bool OwnWidth = Item.X1 >= 0 && Item.X2 > Item.X1;
    int X1 = static_cast<int>(std::max<intptr_t>(Item.X1, 0));
    int Width = OwnWidth ? static_cast<int>(Item.X2 - Item.X1 + 1) : Dialog.Width - X1;
    if ((Item.Flags & DIF_CENTERTEXT) || Item.X1 < 0) {
        if (!OwnWidth) {
            X1 = 0;
            Width = Dialog.Width;
        }
        X1 += std::max(0, (Width - Shown) / 2);
    } else if ((Item.Flags & DIF_RIGHTTEXT) && OwnWidth) {
        X1 += std::max(0, Width - Shown);
    }
    HotText(Screen, Left + X1, Top + static_cast<int>(Item.Y1), Item.Data, Attr, P.Hot, ShowsAmpersand(Item),
            std::max(0, Width));
}

void EditItem(TScreen& Screen, const THostDialog& Dialog, const THostItem& Item, bool Focused, const TPalette& P)
{
    const int X1 = Dialog.Rect.Left + static_cast<int>(Item.X1);
    const int Y = Dialog.Rect.Top + static_cast<int>(Item.Y1);
    const int Width = static_cast<int>(Item.X2 - Item.X1 + 1);
    const bool Disabled = (Item.Flags & DIF_DISABLE) != 0;
    const WORD Attr = Disabled ? P.EditDisabled : (Focused && Item.Unchanged) ? P.EditUnchanged : P.Edit;
    THostItem Shown = Item;
    if (Item.Type == DI_PSWEDIT)
        Shown.Data.assign(Item.Data.size(), L'*');
    const int Cursor = static_cast<int>(std::clamp<intptr_t>(Item.CursorPos, 0, Length(Item.Data)));
    // Every field keeps its cursor in view, as Far's do.
    const std::wstring Text = ShownEditText(Shown);
    Screen.Fill(X1, Y, X1 + Width - 1, Y, L' ', Attr);
    Screen.Text(X1, Y, Text, Attr, Width);
    const int Start = std::max(0, Cursor - Width + 1);
    if (Item.Flags & DIF_HISTORY)
        Screen.Put(X1 + Width, Y, HistoryArrow, Disabled ? P.Disabled : P.Text);
    if (Focused)
        Screen.SetCursor(X1 + Cursor - Start, Y);
}

void ButtonItem(TScreen& Screen, const THostDialog& Dialog, const THostItem& Item, int X, bool Focused,
                const TPalette& P)
{
    const int Left = Dialog.Rect.Left + X;
    const int Y = Dialog.Rect.Top + static_cast<int>(Item.Y1);
    const bool Disabled = (Item.Flags & DIF_DISABLE) != 0;
    WORD Attr = Disabled ? P.Disabled : P.Text;
    WORD Hot = Disabled ? P.Disabled : P.Hot;
    if (Focused && Item.Type == DI_BUTTON) {
        Attr = P.Focused;
        Hot = P.FocusedHot;
    }
    HotText(Screen, Left, Y, ButtonText(Item), Attr, Hot, ShowsAmpersand(Item), Dialog.Width - X);
    if (Focused && Item.Type != DI_BUTTON)
        Screen.SetCursor(Left + 1, Y);
}

void ListItem(TScreen& Screen, const THostDialog& Dialog, const THostItem& Item, const TPalette& P)
{
    const int X1 = Dialog.Rect.Left + static_cast<int>(Item.X1), X2 = Dialog.Rect.Left + static_cast<int>(Item.X2);
    const int Y1 = Dialog.Rect.Top + static_cast<int>(Item.Y1), Y2 = Dialog.Rect.Top + static_cast<int>(Item.Y2);
    const bool Boxed = !(Item.Flags & DIF_LISTNOBOX);
    const bool Disabled = (Item.Flags & DIF_DISABLE) != 0;
    const bool ShowAmpersand = Item.List.ShowsAmpersand;
    const int Width = X2 - X1 + 1;
    const int Rows = std::max(1, Boxed ? Y2 - Y1 - 1 : Y2 - Y1 + 1);
    const int InnerX1 = Boxed ? X1 + 1 : X1, InnerX2 = Boxed ? X2 - 1 : X2;
    const int FirstRow = Boxed ? Y1 + 1 : Y1;
    Screen.Fill(X1, Y1, X2, Y2, L' ', P.Text);
    if (Boxed)
        Frame(Screen, X1, Y1, X2, Y2, SingleFrame, P.Text, Item.List.Title, P.Text);

    std::vector<intptr_t> Shown;
    for (size_t I = 0; I < Item.List.Entries.size(); ++I)
        if (!(Item.List.Entries[I].Flags & LIF_HIDDEN))
            Shown.push_back(static_cast<intptr_t>(I));
    const int Count = static_cast<int>(Shown.size());
    // The first row shows the first shown entry from TopPos on; a list
    // scrolled further than its entries need is filled from above.
    int Top = static_cast<int>(std::lower_bound(Shown.begin(), Shown.end(), Item.List.TopPos) - Shown.begin());
    Top = std::max(0, std::min(Top, Count - Rows));
    const int Current = static_cast<int>(std::find(Shown.begin(), Shown.end(), Item.List.CurPos) - Shown.begin());
    if (Current < Count) {
        if (Current < Top)
            Top = Current;
        else if (Current >= Top + Rows)
            Top = Current - Rows + 1;
    }

    // Two columns before the text; a cut text ends in a mark in the last
    // inner column.
    const int TextX = InnerX1 + 2;
    const int TextWidth = std::max(0, Width - 5);
    for (int R = 0; R < Rows && Top + R < Count; ++R) {
        const THostListEntry& Entry = Item.List.Entries[static_cast<size_t>(Shown[static_cast<size_t>(Top + R)])];
        const int Y = FirstRow + R;
        const bool IsCurrent = Top + R == Current;
        const bool Dim = Disabled || (Entry.Flags & (LIF_DISABLE | LIF_GRAYED));
        const WORD Attr = IsCurrent ? P.ListCurrent : Dim ? P.Disabled : P.Text;
        Screen.Fill(InnerX1, Y, InnerX2, Y, L' ', Attr);
        if (Entry.Flags & LIF_SEPARATOR) {
            Screen.Fill(InnerX1, Y, InnerX2, Y, L'\x2500', Attr);
            continue;
        }
        if (Entry.Flags & LIF_CHECKED)
            Screen.Put(InnerX1, Y, CheckMark, Attr);
        const std::wstring Text = ShownText(Entry.Text, ShowAmpersand);
        HotText(Screen, TextX, Y, Entry.Text, Attr, IsCurrent || Dim ? Attr : P.Hot, ShowAmpersand, TextWidth);
        if (Length(Text) > TextWidth)
            Screen.Put(InnerX2, Y, CutMark, Attr);
    }

    if (Boxed && Count > Rows && Rows >= 2) {
        Screen.Put(X2, FirstRow, ScrollUp, P.Text);
        Screen.Put(X2, FirstRow + Rows - 1, ScrollDown, P.Text);
        const int Track = Rows - 2;
        if (Track > 0) {
            const int Thumb = std::max(1, Track * Rows / Count);
            const int At = (Track - Thumb) * Top / std::max(1, Count - Rows);
            for (int I = 0; I < Track; ++I)
                Screen.Put(X2, FirstRow + 1 + I, I >= At && I < At + Thumb ? ScrollThumb : ScrollTrack, P.Text);
        }
    }
}

} // namespace

std::wstring ShownText(const std::wstring& Text, bool ShowAmpersand)
{
    if (ShowAmpersand)
        return Text;
    std::wstring Shown;
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == L'&' && I + 1 < Text.size())
            ++I;
        Shown.push_back(Text[I]);
    }
    return Shown;
}

wchar_t HotKey(const std::wstring& Text)
{
    for (size_t I = 0; I + 1 < Text.size(); ++I) {
        if (Text[I] != L'&')
            continue;
        wchar_t Key = Text[I + 1];
        if (Key != L'&') {
            ::CharUpperBuffW(&Key, 1);
            return Key;
        }
        ++I;
    }
    return 0;
}

void Dialog(TScreen& Screen, const THostDialog& Dialog)
{
    const TPalette& P = (Dialog.Flags & FDLG_WARNING) ? WarningPalette : NormalPalette;
    const int X1 = Dialog.Rect.Left, Y1 = Dialog.Rect.Top;
    const int X2 = X1 + Dialog.Width - 1, Y2 = Y1 + Dialog.Height - 1;
    if (!(Dialog.Flags & FDLG_NODRAWSHADOW))
        Screen.Shadow(X1, Y1, X2, Y2);
    Screen.Fill(X1, Y1, X2, Y2, L' ', P.Text);
    Screen.HideCursor();
    const std::map<size_t, int> Groups = CentreGroups(Dialog);
    for (size_t I = 0; I < Dialog.Items.size(); ++I) {
        const THostItem& Item = Dialog.Items[I];
        if (Item.Flags & DIF_HIDDEN)
            continue;
        const bool Focused = static_cast<intptr_t>(I) == Dialog.Focus;
        const WORD Attr = (Item.Flags & DIF_DISABLE) ? P.Disabled : P.Text;
        switch (Item.Type) {
        case DI_DOUBLEBOX:
        case DI_SINGLEBOX:
            Frame(Screen, X1 + static_cast<int>(Item.X1), Y1 + static_cast<int>(Item.Y1),
                  X1 + static_cast<int>(Item.X2), Y1 + static_cast<int>(Item.Y2),
                  Item.Type == DI_DOUBLEBOX ? DoubleFrame : SingleFrame, P.Box,
                  ShownText(Item.Data, ShowsAmpersand(Item)), P.Text);
            break;
        case DI_TEXT:
        case DI_VTEXT:
            if (Groups.count(I)) {
                HotText(Screen, X1 + Groups.at(I), Y1 + static_cast<int>(Item.Y1), Item.Data, Attr, P.Hot,
                        ShowsAmpersand(Item));
            } else {
                TextItem(Screen, Dialog, Item, P, Attr);
            }
            break;
        case DI_EDIT:
        case DI_FIXEDIT:
        case DI_PSWEDIT: EditItem(Screen, Dialog, Item, Focused, P); break;
        case DI_BUTTON:
        case DI_CHECKBOX:
        case DI_RADIOBUTTON: {
            const auto Group = Groups.find(I);
            ButtonItem(Screen, Dialog, Item, Group != Groups.end() ? Group->second : static_cast<int>(Item.X1), Focused,
                       P);
            break;
        }
        case DI_LISTBOX: ListItem(Screen, Dialog, Item, P); break;
        default: break;
        }
    }
}

void Message(TScreen& Screen, const TMessageBox& Box, int Focus)
{
    const TPalette& P = (Box.Flags & FMSG_WARNING) ? WarningPalette : NormalPalette;
    std::vector<std::wstring> Buttons;
    int ButtonsWidth = -1;
    for (size_t I = 0; I < Box.Buttons.size(); ++I) {
        Buttons.push_back(I == 0 ? L"{ " + Box.Buttons[I] + L" }" : L"[ " + Box.Buttons[I] + L" ]");
        ButtonsWidth += Length(ShownText(Buttons.back())) + 1;
    }
    // A line of \x01 (\x02) alone is a single (double) separator.
    const auto IsSeparator = [](const std::wstring& Line) {
        return !Line.empty() && (Line[0] == L'\x01' || Line[0] == L'\x02');
    };
    int Inner = std::max(Length(Box.Title) + 2, ButtonsWidth);
    for (const std::wstring& Line : Box.Lines)
        if (!IsSeparator(Line))
            Inner = std::max(Inner, Length(Line));
    Inner = std::max(1, std::min(Inner, Screen.Width() - 10));
    const int ButtonRows = Buttons.empty() ? 0 : 2;
    const int MaxLines = std::max(0, Screen.Height() - 4 - ButtonRows);
    const int LineCount = std::min(static_cast<int>(Box.Lines.size()), MaxLines);
    const int Width = Inner + 10, Height = LineCount + ButtonRows + 4;
    const int X1 = std::max(0, (Screen.Width() - Width) / 2), Y1 = std::max(0, (Screen.Height() - Height) / 2);
    const int X2 = X1 + Width - 1, Y2 = Y1 + Height - 1;

    Screen.Shadow(X1, Y1, X2, Y2);
    Screen.Fill(X1, Y1, X2, Y2, L' ', P.Text);
    Screen.HideCursor();
    Frame(Screen, X1 + 3, Y1 + 1, X2 - 3, Y2 - 1, DoubleFrame, P.Box, Box.Title, P.Text);
    const auto SeparatorRow = [&](int Y, bool Double) {
        Screen.Fill(X1 + 4, Y, X2 - 4, Y, Double ? L'\x2550' : L'\x2500', P.Box);
        Screen.Put(X1 + 3, Y, Double ? L'\x2560' : L'\x255F', P.Box);
        Screen.Put(X2 - 3, Y, Double ? L'\x2563' : L'\x2562', P.Box);
    };
    for (int I = 0; I < LineCount; ++I) {
        const std::wstring& Line = Box.Lines[static_cast<size_t>(I)];
        const int Y = Y1 + 2 + I;
        if (IsSeparator(Line)) {
            SeparatorRow(Y, Line[0] == L'\x02');
            continue;
        }
        const int Shown = std::min(Length(Line), Inner);
        const int X = (Box.Flags & FMSG_LEFTALIGN) ? X1 + 5 : X1 + 5 + (Inner - Shown) / 2;
        Screen.Text(X, Y, Line, P.Text, Inner);
    }
    if (Buttons.empty())
        return;
    SeparatorRow(Y2 - 3, false);
    int X = X1 + 5 + std::max(0, (Inner - ButtonsWidth) / 2);
    for (size_t I = 0; I < Buttons.size(); ++I) {
        const bool Focused = static_cast<int>(I) == Focus;
        X += HotText(Screen, X, Y2 - 2, Buttons[I], Focused ? P.Focused : P.Text, Focused ? P.FocusedHot : P.Hot, false,
                     std::max(0, X2 - 4 - X)) +
             1;
    }
}

void Menu(TScreen& Screen, const std::wstring& Title, const std::vector<std::wstring>& Items, int Current)
{
    int Inner = Length(Title) + 4;
    for (const std::wstring& Item : Items)
        Inner = std::max(Inner, Length(ShownText(Item)) + 2);
    Inner = std::max(1, std::min(Inner, Screen.Width() - 4));
    const int Rows = std::max(1, std::min(static_cast<int>(Items.size()), Screen.Height() - 4));
    const int Width = Inner + 2, Height = Rows + 2;
    const int X1 = std::max(0, (Screen.Width() - Width) / 2), Y1 = std::max(0, (Screen.Height() - Height) / 2);
    const int X2 = X1 + Width - 1, Y2 = Y1 + Height - 1;
    Screen.Shadow(X1, Y1, X2, Y2);
    Screen.Fill(X1, Y1, X2, Y2, L' ', colour::MenuText);
    Screen.HideCursor();
    Frame(Screen, X1, Y1, X2, Y2, DoubleFrame, colour::MenuText, Title, colour::MenuText);
    const int Top = std::max(0, std::min(Current - Rows + 1, static_cast<int>(Items.size()) - Rows));
    for (int R = 0; R < Rows && Top + R < static_cast<int>(Items.size()); ++R) {
        const bool IsCurrent = Top + R == Current;
        const WORD Attr = IsCurrent ? colour::MenuCurrent : colour::MenuText;
        Screen.Fill(X1 + 1, Y1 + 1 + R, X2 - 1, Y1 + 1 + R, L' ', Attr);
        HotText(Screen, X1 + 2, Y1 + 1 + R, Items[static_cast<size_t>(Top + R)], Attr,
                IsCurrent ? Attr : colour::MenuHot, false, Inner - 2);
    }
}

} // namespace paint
