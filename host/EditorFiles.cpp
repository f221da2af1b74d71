// The Editor service of the simulated host: the open modes, the host's own
// boxes for what it cannot open, the text decoded as the real host decodes
// it, and where the cursor lands (docs/far-editor-windows.md, sections 2 to
// 10).
#include "EditorModel.h"

#include "HostContext.h"

#include <algorithm>
#include <string_view>

namespace {

using namespace far3;

// The host looks for UTF-8 in this much of a file without a BOM.
constexpr size_t Utf8Sample = 32768;

// The length of the UTF-8 sequence at Bytes[Pos], or 0 when it is not a
// valid one (overlong forms, surrogates and values past U+10FFFF included).
// Sets Point to its value.
size_t Utf8Sequence(std::string_view Bytes, size_t Pos, char32_t& Point)
{
    const auto Byte = [&](size_t I) { return static_cast<unsigned char>(Bytes[Pos + I]); };
    const unsigned char Lead = Byte(0);
    size_t Length = 0;
    char32_t Min = 0;
    if (Lead < 0x80) {
        Point = Lead;
        return 1;
    }
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2, Min = 0x80, Point = Lead & 0x1F;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3, Min = 0x800, Point = Lead & 0x0F;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4, Min = 0x10000, Point = Lead & 0x07;
    } else {
        return 0;
    }
    if (Pos + Length > Bytes.size())
        return 0;
    for (size_t I = 1; I < Length; ++I) {
        if ((Byte(I) & 0xC0) != 0x80)
            return 0;
        Point = (Point << 6) | (Byte(I) & 0x3F);
    }
    if (Point < Min || Point > 0x10FFFF || (Point >= 0xD800 && Point <= 0xDFFF))
        return 0;
    return Length;
}

// UTF-8 as the host decodes it: a byte that starts no valid sequence
// becomes U+DC00 plus the byte.
std::wstring DecodeUtf8(std::string_view Bytes)
{
    std::wstring Text;
    Text.reserve(Bytes.size());
    for (size_t Pos = 0; Pos < Bytes.size();) {
        char32_t Point = 0;
        const size_t Length = Utf8Sequence(Bytes, Pos, Point);
        if (Length == 0) {
            Text.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(Bytes[Pos])));
            ++Pos;
            continue;
        }
        if (Point >= 0x10000) {
            Text.push_back(static_cast<wchar_t>(0xD800 + ((Point - 0x10000) >> 10)));
            Text.push_back(static_cast<wchar_t>(0xDC00 + ((Point - 0x10000) & 0x3FF)));
        } else {
            Text.push_back(static_cast<wchar_t>(Point));
        }
        Pos += Length;
    }
    return Text;
}

// Whether the start of a file without a BOM is taken for UTF-8: it holds a
// byte above ASCII, and every sequence is valid but one the sample's end cuts.
bool LooksUtf8(std::string_view Bytes)
{
    const bool Cut = Bytes.size() > Utf8Sample;
    const std::string_view Sample = Bytes.substr(0, Utf8Sample);
    bool Wide = false;
    for (size_t Pos = 0; Pos < Sample.size();) {
        char32_t Point = 0;
        const size_t Length = Utf8Sequence(Sample, Pos, Point);
        if (Length == 0)
            return Cut && Wide && Sample.size() - Pos < 4 && Utf8Sequence(Bytes, Pos, Point) != 0;
        Wide = Wide || Length > 1;
        Pos += Length;
    }
    return Wide;
}

std::wstring DecodeUtf16(std::string_view Bytes, bool BigEndian)
{
    std::wstring Text(Bytes.size() / 2, L'\0');
    for (size_t I = 0; I < Text.size(); ++I) {
        const auto A = static_cast<unsigned char>(Bytes[2 * I]), B = static_cast<unsigned char>(Bytes[2 * I + 1]);
        Text[I] = static_cast<wchar_t>(BigEndian ? (A << 8) | B : (B << 8) | A);
    }
    return Text;
}

std::wstring DecodeCodePage(std::string_view Bytes, UINT CodePage)
{
    if (Bytes.empty())
        return {};
    const int Size = ::MultiByteToWideChar(CodePage, 0, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
    std::wstring Text(static_cast<size_t>(std::max(Size, 0)), L'\0');
    ::MultiByteToWideChar(CodePage, 0, Bytes.data(), static_cast<int>(Bytes.size()), Text.data(), Size);
    return Text;
}

bool StartsWith(std::string_view Bytes, std::string_view Prefix)
{
    return Bytes.substr(0, Prefix.size()) == Prefix;
}

// A file's text as the host reads it, and the code page it then reports.
std::wstring DecodeFile(std::string_view Bytes, uintptr_t& CodePage)
{
    static constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF", Utf16LeBom = "\xFF\xFE", Utf16BeBom = "\xFE\xFF";
    if (CodePage == CP_DEFAULT) {
        if (StartsWith(Bytes, Utf8Bom))
            CodePage = CP_UTF8;
        else if (StartsWith(Bytes, Utf16LeBom))
            CodePage = CP_UTF16LE;
        else if (StartsWith(Bytes, Utf16BeBom))
            CodePage = CP_UTF16BE;
        else
            CodePage = LooksUtf8(Bytes) ? CP_UTF8 : ::GetACP();
    }
    switch (CodePage) {
    case CP_UTF8: return DecodeUtf8(Bytes.substr(StartsWith(Bytes, Utf8Bom) ? Utf8Bom.size() : 0));
    case CP_UTF16LE: return DecodeUtf16(Bytes.substr(StartsWith(Bytes, Utf16LeBom) ? 2 : 0), false);
    case CP_UTF16BE: return DecodeUtf16(Bytes.substr(StartsWith(Bytes, Utf16BeBom) ? 2 : 0), true);
    default: return DecodeCodePage(Bytes, static_cast<UINT>(CodePage));
    }
}

std::wstring FullPathName(const std::wstring& Name)
{
    const DWORD Size = ::GetFullPathNameW(Name.c_str(), 0, nullptr, nullptr);
    if (Size == 0)
        return Name;
    std::wstring Full(Size, L'\0');
    const DWORD Length = ::GetFullPathNameW(Name.c_str(), Size, Full.data(), nullptr);
    Full.resize(Length < Size ? Length : 0);
    return Full.empty() ? Name : Full;
}

// The text as the host writes it in CodePage: UTF-16 with its byte-order
// mark, UTF-8 without one, any other code page through the system.
std::string EncodeFile(const std::wstring& Text, uintptr_t CodePage)
{
    if (CodePage == CP_UTF16LE || CodePage == CP_UTF16BE) {
        std::string Bytes = CodePage == CP_UTF16LE ? "\xFF\xFE" : "\xFE\xFF";
        for (const wchar_t C : Text) {
            const char Low = static_cast<char>(C & 0xFF), High = static_cast<char>((C >> 8) & 0xFF);
            Bytes += CodePage == CP_UTF16LE ? Low : High;
            Bytes += CodePage == CP_UTF16LE ? High : Low;
        }
        return Bytes;
    }
    const UINT Page = static_cast<UINT>(CodePage);
    const int Size = ::WideCharToMultiByte(Page, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string Bytes(static_cast<size_t>(std::max(Size, 0)), '\0');
    ::WideCharToMultiByte(Page, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(), Size, nullptr, nullptr);
    return Bytes;
}

std::wstring SystemErrorText(DWORD Code)
{
    wchar_t* Buffer = nullptr;
    const DWORD Length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
    std::wstring Text = Length ? std::wstring(Buffer, Length) : std::wstring();
    ::LocalFree(Buffer);
    while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r' || Text.back() == L' '))
        Text.pop_back();
    wchar_t Number[16];
    swprintf(Number, 16, L"0x%08lX", Code);
    return std::wstring(Number) + L" - " + Text;
}

// The buttons of the host's question about a file an editor already has.
enum TAlreadyOpen : intptr_t { AnswerCurrent = 0, AnswerNewInstance = 1, AnswerReload = 2 };

// A file that is held by another does not open however often the user
// retries; the simulated host gives up where a person would have.
constexpr int RetryLimit = 100;

} // namespace

std::wstring HostNameKey(const std::wstring& FullName)
{
    std::wstring Key = FullName;
    if (!Key.empty())
        ::CharUpperBuffW(Key.data(), static_cast<DWORD>(Key.size()));
    return Key;
}

TEditor* TEditorModel::FindByName(const std::wstring& FullName)
{
    // Of two editors of the file the host takes the one nearest Pos 0.
    const std::wstring Key = HostNameKey(FullName);
    for (const THostWindow& Window : FWindows) {
        if (Window.Type != WTYPE_EDITOR)
            continue;
        TEditor* Editor = Find(Window.EditorId);
        if (Editor && HostNameKey(FullPathName(Editor->FileName)) == Key)
            return Editor;
    }
    return nullptr;
}

intptr_t TEditorModel::OpenFile(const wchar_t* FileName, EDITOR_FLAGS Flags, intptr_t StartLine, intptr_t StartChar,
                                uintptr_t CodePage)
{
    if (!FileName || !*FileName) {
        FHost.Error(L"Editor: no file name");
        return EEC_OPEN_ERROR;
    }
    const EDITOR_FLAGS Simulated = EF_NONMODAL | EF_IMMEDIATERETURN | EF_OPENMODE_MASK;
    if (Flags & ~Simulated) {
        FHost.Error(L"Editor: flags " + std::to_wstring(Flags & ~Simulated) + L" are not simulated");
        return EEC_OPEN_ERROR;
    }
    if ((Flags & (EF_NONMODAL | EF_IMMEDIATERETURN)) != (EF_NONMODAL | EF_IMMEDIATERETURN)) {
        FHost.Error(L"Editor: without EF_NONMODAL | EF_IMMEDIATERETURN the call waits until a person closes the "
                    L"editor");
        return EEC_OPEN_ERROR;
    }
    const EDITOR_FLAGS Mode = Flags & EF_OPENMODE_MASK;
    if (Mode > EF_OPENMODE_RELOADIFOPEN) {
        FHost.Error(L"Editor: unknown open mode " + std::to_wstring(Mode));
        return EEC_OPEN_ERROR;
    }
    // Every call takes an id, whatever comes of it.
    const intptr_t Id = FNextId++;
    const std::wstring FullName = FullPathName(FileName);
    TEditor* Existing = FindByName(FullName);
    if (Existing) {
        intptr_t Answer = AnswerNewInstance;
        if (Mode == EF_OPENMODE_QUERY) {
            Answer = FHost.HostBox(0,
                                   {L"Editor", FullName, L"already loaded. How to open this file?", L"Current",
                                    L"New instance", L"Reload", L"Cancel"},
                                   4);
            if (Answer < AnswerCurrent || Answer > AnswerReload)
                return EEC_LOADING_INTERRUPTED;
        } else if (Mode == EF_OPENMODE_USEEXISTING) {
            Answer = AnswerCurrent;
        } else if (Mode == EF_OPENMODE_BREAKIFOPEN) {
            return EEC_MODIFIED; // and nothing happens
        } else if (Mode == EF_OPENMODE_RELOADIFOPEN) {
            Answer = AnswerReload;
        }
        if (Answer == AnswerCurrent) {
            // The editor keeps its cursor: StartLine and StartChar are not used.
            SetCurrent(Existing->Id);
            return EEC_MODIFIED;
        }
        if (Answer == AnswerReload && !Reload(*Existing))
            return EEC_OPEN_ERROR;
    }
    // The old editor loses the focus, the new one gets it, then says it
    // has read its file (docs/far-editor-windows.md, section 5).
    const intptr_t Before = CurrentEditorWindow();
    const size_t Editors = FEditors.size();
    const intptr_t Result = OpenNew(Id, FullName, StartLine, StartChar, CodePage);
    if (FEditors.size() > Editors) {
        FocusMoved(Before);
        Event(EE_READ, Id);
    }
    return Result;
}

bool TEditorModel::Save(intptr_t Id, const std::wstring& SaveAs)
{
    TEditor* Editor = Find(Id);
    if (!Editor) {
        FHost.Error(L"Save: no editor " + std::to_wstring(Id));
        return false;
    }
    const std::wstring Name = SaveAs.empty() ? Editor->FileName : FullPathName(SaveAs);
    const std::wstring Eol = !Editor->Lines.empty() && !Editor->Lines[0].Eol.empty() ? Editor->Lines[0].Eol : L"\r\n";
    // Before a byte is written, and ECTL_GETFILENAME still gives the old
    // name on a save under another (docs/far-editor-events.md).
    EditorSaveFile Info{sizeof(Info), Name.c_str(), Eol.c_str(), Editor->CodePage};
    Event(EE_SAVE, Id, &Info);
    if (!(Editor = Find(Id)))
        return false;
    const std::string Bytes = EncodeFile(Editor->Text(), Editor->CodePage);
    HANDLE File = ::CreateFileW(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return false;
    DWORD Written = 0;
    const bool Done = ::WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) &&
                      Written == Bytes.size();
    ::CloseHandle(File);
    if (!Done)
        return false;
    Editor->FileName = Name;
    Editor->Unsaved = false;
    Editor->WrittenOnce = true;
    Event(EE_REDRAW, Id);
    return true;
}

bool TEditorModel::Reload(TEditor& Editor)
{
    if (Editor.Unsaved) {
        FHost.Error(L"Editor: reloading an editor with unsaved changes is not simulated");
        return false;
    }
    Close(Editor.Id);
    return true;
}

intptr_t TEditorModel::OpenNew(intptr_t Id, const std::wstring& FullName, intptr_t StartLine, intptr_t StartChar,
                               uintptr_t CodePage)
{
    std::string Bytes;
    bool Exists = false;
    for (int Attempt = 0;; ++Attempt) {
        const DWORD Attributes = ::GetFileAttributesW(FullName.c_str());
        if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            FHost.HostBox(FMSG_WARNING, {L"Editor", L"It is impossible to edit the folder", L"OK"}, 1);
            return EEC_OPEN_ERROR;
        }
        HANDLE File = ::CreateFileW(FullName.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (File != INVALID_HANDLE_VALUE) {
            char Buffer[65536];
            DWORD Done = 0;
            while (::ReadFile(File, Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
                Bytes.append(Buffer, Done);
            ::CloseHandle(File);
            Exists = true;
            break;
        }
        const DWORD Code = ::GetLastError();
        // A name that is not there (its folder neither) is a new file.
        if (Code == ERROR_FILE_NOT_FOUND || Code == ERROR_PATH_NOT_FOUND)
            break;
        const intptr_t Answer = FHost.HostBox(
            FMSG_WARNING, {L"Editor", L"Cannot open the file", FullName, SystemErrorText(Code), L"Retry", L"Cancel"},
            2);
        if (Answer != 0)
            return EEC_OPEN_ERROR;
        if (Attempt + 1 == RetryLimit) {
            FHost.Error(L"Editor: " + FullName + L" stayed unreadable through " + std::to_wstring(RetryLimit) +
                        L" retries");
            return EEC_OPEN_ERROR;
        }
    }

    TEditor& Editor = Add(Id, FullName);
    if (!Exists) {
        // An empty editor whatever position was asked; the file is made
        // when the user saves.
        Editor.SetText(L"");
        Editor.CodePage = ::GetACP();
        return EEC_MODIFIED;
    }
    Editor.CodePage = CodePage;
    Editor.SetText(DecodeFile(Bytes, Editor.CodePage));
    const intptr_t LastLine = static_cast<intptr_t>(Editor.Lines.size()) - 1;
    const auto Saved = FSavedPositions.find(HostNameKey(FullName));
    if (StartLine == -1 && Saved != FSavedPositions.end()) {
        Editor.CurLine = std::min(Saved->second.Line, LastLine);
        Editor.CurPos = Saved->second.Pos;
        Editor.TopScreenLine = std::min(Saved->second.TopScreenLine, Editor.CurLine);
        Editor.LeftPos = Saved->second.LeftPos;
        return EEC_MODIFIED;
    }
    // Both count from 1; the position is a character index that may lie
    // past the end of the line.
    Editor.CurLine = StartLine >= 1 ? std::min(StartLine - 1, LastLine) : 0;
    Editor.CurPos = StartChar >= 1 ? StartChar - 1 : 0;
    // The cursor line in the middle of the window, and never less than a
    // full window of text.
    const intptr_t Top = std::min(Editor.CurLine - Editor.WindowSizeY / 2, LastLine + 1 - Editor.WindowSizeY);
    Editor.TopScreenLine = std::max<intptr_t>(Top, 0);
    return EEC_MODIFIED;
}
