#include "EditorView.h"

#include "Paint.h"
#include "ToolText.h"

#include <algorithm>

namespace {

constexpr DWORD CtrlKeys = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
constexpr DWORD AltKeys = LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;
const char Bom[] = "\xEF\xBB\xBF";

std::wstring Decode(const std::string& Bytes)
{
    if (Bytes.empty())
        return std::wstring();
    const int Size = static_cast<int>(Bytes.size());
    // Not UTF-8: the system's ANSI code page, as the host would guess.
    UINT CodePage = CP_UTF8;
    int Length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(), Size, nullptr, 0);
    if (Length == 0) {
        CodePage = CP_ACP;
        Length = ::MultiByteToWideChar(CP_ACP, 0, Bytes.data(), Size, nullptr, 0);
    }
    std::wstring Text(static_cast<size_t>(Length), L'\0');
    ::MultiByteToWideChar(CodePage, 0, Bytes.data(), Size, Text.data(), Length);
    return Text;
}

std::wstring SystemMessage(DWORD Code)
{
    wchar_t* Buffer = nullptr;
    const DWORD Length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
    std::wstring Text = Length ? std::wstring(Buffer, Length) : L"error " + std::to_wstring(Code);
    if (Buffer)
        ::LocalFree(Buffer);
    while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r' || Text.back() == L' '))
        Text.pop_back();
    return Text;
}

// The end of Text that fits Width, behind "...".
std::wstring KeepEnd(const std::wstring& Text, int Width)
{
    if (Width <= 0)
        return std::wstring();
    if (static_cast<int>(Text.size()) <= Width)
        return Text;
    if (Width <= 3)
        return Text.substr(Text.size() - static_cast<size_t>(Width));
    return L"..." + Text.substr(Text.size() - static_cast<size_t>(Width - 3));
}

} // namespace

bool TEditorView::Load(std::wstring& Error)
{
    std::string Bytes;
    if (!tooltext::ReadWholeFile(FEditor.FileName, Bytes)) {
        const DWORD Code = ::GetLastError();
        // As the host does: a new file starts empty and is created on saving.
        if (Code == ERROR_FILE_NOT_FOUND) {
            FEditor.SetText(std::wstring());
            return true;
        }
        Error = L"Cannot open " + FEditor.FileName + L": " + SystemMessage(Code);
        return false;
    }
    FBom = Bytes.rfind(Bom, 0) == 0;
    if (FBom)
        Bytes.erase(0, 3);
    FEditor.SetText(Decode(Bytes));
    FEditor.CodePage = CP_UTF8;
    return true;
}

bool TEditorView::Save(std::wstring& Error)
{
    std::string Bytes = (FBom ? std::string(Bom) : std::string()) + tooltext::Narrow(FEditor.Text());
    const HANDLE File = ::CreateFileW(FEditor.FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        Error = L"Cannot write " + FEditor.FileName + L": " + SystemMessage(::GetLastError());
        return false;
    }
    DWORD Done = 0;
    const bool Written = ::WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr) &&
                         Done == Bytes.size();
    const DWORD Code = ::GetLastError();
    ::CloseHandle(File);
    if (!Written) {
        Error = L"Cannot write " + FEditor.FileName + L": " + SystemMessage(Code);
        return false;
    }
    FEditor.Unsaved = false;
    FEditor.WrittenOnce = true;
    return true;
}

void TEditorView::Layout(SHORT Width, SHORT Height)
{
    FEditor.WindowSizeX = Width;
    FEditor.WindowSizeY = std::max(1, Height - 2);
}

const std::wstring& TEditorView::LineText(intptr_t Line) const
{
    return FEditor.Lines[static_cast<size_t>(Line)].Text;
}

intptr_t TEditorView::Column(intptr_t Line, intptr_t Pos) const
{
    const std::wstring& Text = LineText(Line);
    intptr_t Column = 0;
    for (intptr_t I = 0; I < Pos; ++I) {
        if (I < static_cast<intptr_t>(Text.size()) && Text[static_cast<size_t>(I)] == L'\t' && FEditor.TabSize > 0)
            Column += FEditor.TabSize - Column % FEditor.TabSize;
        else
            ++Column;
    }
    return Column;
}

intptr_t TEditorView::PosAt(intptr_t Line, intptr_t WantedColumn) const
{
    const intptr_t Length = static_cast<intptr_t>(LineText(Line).size());
    intptr_t Pos = 0;
    while (Pos < Length && Column(Line, Pos + 1) <= WantedColumn)
        ++Pos;
    return Pos;
}

void TEditorView::ScrollToCursor()
{
    TEditor& E = FEditor;
    if (E.CurLine < E.TopScreenLine)
        E.TopScreenLine = E.CurLine;
    else if (E.CurLine >= E.TopScreenLine + E.WindowSizeY)
        E.TopScreenLine = E.CurLine - E.WindowSizeY + 1;
    const intptr_t Col = Column(E.CurLine, E.CurPos);
    if (Col < E.LeftPos)
        E.LeftPos = Col;
    else if (Col >= E.LeftPos + E.WindowSizeX)
        E.LeftPos = Col - E.WindowSizeX + 1;
}

// Shift extends the block from its other end when the cursor is at one of
// its ends, else starts one at the cursor; any other move drops the block,
// as the host's non-persistent blocks do.
void TEditorView::MoveTo(intptr_t Line, intptr_t Pos, bool Select, bool KeepColumn)
{
    TEditor& E = FEditor;
    Line = std::clamp<intptr_t>(Line, 0, LineCount() - 1);
    Pos = std::clamp<intptr_t>(Pos, 0, static_cast<intptr_t>(LineText(Line).size()));
    intptr_t AnchorLine = E.CurLine, AnchorPos = E.CurPos;
    const TEditorBlock& B = E.Block;
    if (B.Type == far3::BTYPE_STREAM) {
        if (E.CurLine == B.StartLine && E.CurPos == B.StartPos)
            AnchorLine = B.EndLine, AnchorPos = B.EndPos;
        else if (E.CurLine == B.EndLine && E.CurPos == B.EndPos)
            AnchorLine = B.StartLine, AnchorPos = B.StartPos;
    }
    E.CurLine = Line;
    E.CurPos = Pos;
    if (!KeepColumn)
        FWantColumn = Column(Line, Pos);
    if (!Select || (AnchorLine == Line && AnchorPos == Pos)) {
        E.Unselect();
    } else if (AnchorLine < Line || (AnchorLine == Line && AnchorPos < Pos)) {
        E.SelectStream(AnchorLine, AnchorPos, Line, Pos);
    } else {
        E.SelectStream(Line, Pos, AnchorLine, AnchorPos);
    }
    ScrollToCursor();
}

void TEditorView::Changed()
{
    FEditor.Unsaved = true;
    FEditor.Unselect();
    FWantColumn = Column(FEditor.CurLine, FEditor.CurPos);
    ScrollToCursor();
}

// New line breaks are the file's own: those of its first line.
std::wstring TEditorView::NewLineEnd() const
{
    for (const TEditorLine& Line : FEditor.Lines)
        if (!Line.Eol.empty())
            return Line.Eol;
    return L"\r\n";
}

void TEditorView::Insert(wchar_t Char)
{
    std::wstring& Text = FEditor.Lines[static_cast<size_t>(FEditor.CurLine)].Text;
    const size_t At = static_cast<size_t>(FEditor.CurPos);
    if (FEditor.Overtype && At < Text.size())
        Text[At] = Char;
    else
        Text.insert(At, 1, Char);
    ++FEditor.CurPos;
    Changed();
}

void TEditorView::SplitLine()
{
    auto& Lines = FEditor.Lines;
    TEditorLine& Line = Lines[static_cast<size_t>(FEditor.CurLine)];
    TEditorLine Tail{Line.Text.substr(static_cast<size_t>(FEditor.CurPos)), Line.Eol};
    Line.Text.resize(static_cast<size_t>(FEditor.CurPos));
    Line.Eol = NewLineEnd();
    Lines.insert(Lines.begin() + FEditor.CurLine + 1, std::move(Tail));
    ++FEditor.CurLine;
    FEditor.CurPos = 0;
    Changed();
}

void TEditorView::DeleteBack()
{
    if (FEditor.CurPos > 0) {
        --FEditor.CurPos;
        DeleteForward();
    } else if (FEditor.CurLine > 0) {
        --FEditor.CurLine;
        FEditor.CurPos = static_cast<intptr_t>(LineText(FEditor.CurLine).size());
        DeleteForward();
    }
}

void TEditorView::DeleteForward()
{
    auto& Lines = FEditor.Lines;
    TEditorLine& Line = Lines[static_cast<size_t>(FEditor.CurLine)];
    if (FEditor.CurPos < static_cast<intptr_t>(Line.Text.size())) {
        Line.Text.erase(static_cast<size_t>(FEditor.CurPos), 1);
    } else if (FEditor.CurLine + 1 < LineCount()) {
        // The joined line keeps the line end of the second one.
        TEditorLine& Next = Lines[static_cast<size_t>(FEditor.CurLine + 1)];
        Line.Text += Next.Text;
        Line.Eol = Next.Eol;
        Lines.erase(Lines.begin() + FEditor.CurLine + 1);
    } else {
        return;
    }
    Changed();
}

bool TEditorView::Key(const KEY_EVENT_RECORD& Key)
{
    TEditor& E = FEditor;
    const DWORD State = Key.dwControlKeyState;
    const bool Shift = State & SHIFT_PRESSED, Ctrl = State & CtrlKeys, Alt = State & AltKeys;
    const intptr_t Page = std::max<intptr_t>(1, E.WindowSizeY - 1);
    if (!Alt) {
        switch (Key.wVirtualKeyCode) {
        case VK_UP:
            MoveTo(E.CurLine - 1, PosAt(std::max<intptr_t>(0, E.CurLine - 1), FWantColumn), Shift, true);
            return true;
        case VK_DOWN:
            MoveTo(E.CurLine + 1, PosAt(std::min(LineCount() - 1, E.CurLine + 1), FWantColumn), Shift, true);
            return true;
        case VK_LEFT:
            if (E.CurPos > 0)
                MoveTo(E.CurLine, E.CurPos - 1, Shift);
            else if (E.CurLine > 0)
                MoveTo(E.CurLine - 1, static_cast<intptr_t>(LineText(E.CurLine - 1).size()), Shift);
            return true;
        case VK_RIGHT:
            if (E.CurPos < static_cast<intptr_t>(LineText(E.CurLine).size()))
                MoveTo(E.CurLine, E.CurPos + 1, Shift);
            else if (E.CurLine + 1 < LineCount())
                MoveTo(E.CurLine + 1, 0, Shift);
            return true;
        case VK_HOME: MoveTo(Ctrl ? 0 : E.CurLine, 0, Shift); return true;
        case VK_END:
            if (Ctrl)
                MoveTo(LineCount() - 1, static_cast<intptr_t>(LineText(LineCount() - 1).size()), Shift);
            else
                MoveTo(E.CurLine, static_cast<intptr_t>(LineText(E.CurLine).size()), Shift);
            return true;
        case VK_PRIOR:
        case VK_NEXT: {
            // A page moves the text and the cursor alike.
            const intptr_t Step = Key.wVirtualKeyCode == VK_PRIOR ? -Page : Page;
            const intptr_t Line = std::clamp<intptr_t>(E.CurLine + Step, 0, LineCount() - 1);
            E.TopScreenLine = std::clamp<intptr_t>(E.TopScreenLine + Step, 0,
                                                   std::max<intptr_t>(0, LineCount() - E.WindowSizeY));
            MoveTo(Line, PosAt(Line, FWantColumn), Shift, true);
            return true;
        }
        default: break;
        }
    }
    if (Shift || Ctrl || Alt) {
        // Typed characters come with Shift, and with AltGr (Ctrl and Alt).
        const bool AltGr = Ctrl && Alt;
        if ((Ctrl || Alt) && !AltGr)
            return false;
    }
    switch (Key.wVirtualKeyCode) {
    case VK_RETURN: SplitLine(); return true;
    case VK_BACK: DeleteBack(); return true;
    case VK_DELETE: DeleteForward(); return true;
    case VK_INSERT: E.Overtype = !E.Overtype; return true;
    case VK_TAB: Insert(L'\t'); return true;
    default: break;
    }
    if (Key.uChar.UnicodeChar >= L' ') {
        Insert(Key.uChar.UnicodeChar);
        return true;
    }
    return false;
}

void TEditorView::Draw(TScreen& Screen) const
{
    const TEditor& E = FEditor;
    const int Width = Screen.Width(), Height = Screen.Height();

    // Status line: the file, the modified mark, the cursor's line and column.
    const intptr_t Col = Column(E.CurLine, E.CurPos);
    const std::wstring Right = std::wstring(E.Unsaved ? L"*" : L" ") + L"  Ln " + std::to_wstring(E.CurLine + 1) +
                               L"/" + std::to_wstring(LineCount()) + L"  Col " + std::to_wstring(Col + 1) + L" ";
    Screen.Fill(0, 0, Width - 1, 0, L' ', paint::colour::EditorStatus);
    Screen.Text(0, 0, KeepEnd(E.FileName, Width - static_cast<int>(Right.size()) - 2), paint::colour::EditorStatus);
    Screen.Text(std::max(0, Width - static_cast<int>(Right.size())), 0, Right, paint::colour::EditorStatus);

    // The text, tabs expanded, the block highlighted (through the line
    // break: one cell past the text).
    for (int Row = 0; Row < Height - 2; ++Row) {
        const int Y = Row + 1;
        Screen.Fill(0, Y, Width - 1, Y, L' ', paint::colour::EditorText);
        const intptr_t Line = E.TopScreenLine + Row;
        if (Line >= LineCount())
            continue;
        intptr_t SelStart = -1, SelEnd = 0;
        E.LineSelection(Line, SelStart, SelEnd);
        const std::wstring& Text = LineText(Line);
        const size_t Through = SelEnd < 0 ? Text.size() + 1 : static_cast<size_t>(SelEnd);
        intptr_t Column = 0;
        for (size_t I = 0; I <= Text.size(); ++I) {
            const bool Selected = SelStart >= 0 && static_cast<intptr_t>(I) >= SelStart && I < Through;
            const WORD Attr = Selected ? paint::colour::EditorSelected : paint::colour::EditorText;
            if (I == Text.size()) {
                if (Selected)
                    Screen.Put(static_cast<int>(Column - E.LeftPos), Y, L' ', Attr);
                break;
            }
            const wchar_t C = Text[I];
            const intptr_t Cells = C == L'\t' && E.TabSize > 0 ? E.TabSize - Column % E.TabSize : 1;
            for (intptr_t K = 0; K < Cells; ++K, ++Column)
                if (Column >= E.LeftPos)
                    Screen.Put(static_cast<int>(Column - E.LeftPos), Y, C == L'\t' ? L' ' : C, Attr);
        }
    }

    // Key bar: the keys this host serves.
    static const wchar_t* const Labels[12] = {L"", L"Save", L"",       L"",     L"",       L"",
                                              L"", L"",     L"Config", L"Quit", L"Plugin", L""};
    const int Y = Height - 1;
    Screen.Fill(0, Y, Width - 1, Y, L' ', paint::colour::KeyBarNumber);
    for (int I = 0; I < 12; ++I) {
        const int X = I * Width / 12, Next = (I + 1) * Width / 12;
        const std::wstring Number = std::to_wstring(I + 1);
        const int Written = Screen.Text(X, Y, Number, paint::colour::KeyBarNumber, Next - X);
        Screen.Fill(X + Written, Y, Next - 1, Y, L' ', paint::colour::KeyBarLabel);
        Screen.Text(X + Written, Y, Labels[I], paint::colour::KeyBarLabel, Next - X - Written);
    }

    const intptr_t CursorRow = E.CurLine - E.TopScreenLine;
    if (CursorRow >= 0 && CursorRow < Height - 2 && Col >= E.LeftPos && Col - E.LeftPos < Width)
        Screen.SetCursor(static_cast<int>(Col - E.LeftPos), static_cast<int>(CursorRow + 1));
    else
        Screen.HideCursor();
}
