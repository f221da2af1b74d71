// The simulated host's windows and its Editor service must do what the real
// host was measured to do (docs/far-editor-windows.md), or the bridge's tests
// of opening and switching editors prove nothing.
#include "FarHost.h"
#include "HostServices.h"
#include "ToolSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace far3;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using toolsupport::TScratchDir;

namespace {

intptr_t OpenEditor(const std::wstring& Name, EDITOR_FLAGS Mode = EF_OPENMODE_USEEXISTING, intptr_t Line = -1,
                    intptr_t Char = -1, uintptr_t CodePage = CP_DEFAULT)
{
    return host::Editor(Name.c_str(), nullptr, 0, 0, -1, -1, EF_NONMODAL | EF_IMMEDIATERETURN | Mode, Line, Char,
                        CodePage);
}

std::wstring Numbered(int Count)
{
    std::wstring Text;
    for (int I = 1; I <= Count; ++I)
        Text += L"line " + std::to_wstring(I) + L"\r\n";
    return Text;
}

using TCursor = std::tuple<intptr_t, intptr_t, intptr_t>;

TCursor Cursor(const TEditor& Editor)
{
    return {Editor.CurLine, Editor.CurPos, Editor.TopScreenLine};
}

void Write(const std::wstring& Path, const std::string& Bytes)
{
    ASSERT_TRUE(toolsupport::WriteBytes(Path, Bytes));
}

using TWindowRow = std::tuple<int, intptr_t, WINDOWINFO_FLAGS>;

TWindowRow Row(int Type, intptr_t Id, WINDOWINFO_FLAGS Flags)
{
    return {Type, Id, Flags};
}

// Type, Id and flags of every window, as ACTL_GETWINDOWINFO reports them.
std::vector<TWindowRow> Windows(TFarHost& Host)
{
    std::vector<TWindowRow> Result;
    const intptr_t Count = host::AdvControl(&Host.PluginGuid, ACTL_GETWINDOWCOUNT, 0, nullptr);
    for (intptr_t Pos = 0; Pos < Count; ++Pos) {
        WindowInfo Info{};
        Info.StructSize = sizeof(Info);
        Info.Pos = Pos;
        EXPECT_EQ(host::AdvControl(&Host.PluginGuid, ACTL_GETWINDOWINFO, 0, &Info), TRUE);
        Result.emplace_back(Info.Type, Info.Id, Info.Flags);
    }
    return Result;
}

} // namespace

TEST(SimulatedEditorWindows, FilesAreDecodedAsTheHostDecodesThem)
{
    TScratchDir Dir;
    const std::string Near(32760, 'x'), Far(32800, 'x');
    const UINT Ansi = ::GetACP();
    struct {
        const char* File;
        std::string Bytes;
        uintptr_t Asked;
        uintptr_t CodePage;
        std::wstring FirstLine;
    } Cases[] = {
        {"bom.txt", "\xEF\xBB\xBFh\xC3\xA9llo\r\ntwo", CP_DEFAULT, CP_UTF8, L"h\u00e9llo"},
        {"utf8.txt", "h\xC3\xA9llo\ntwo", CP_DEFAULT, CP_UTF8, L"h\u00e9llo"},
        {"le.txt", std::string("\xFF\xFEh\0i\0\r\0\n\0", 10), CP_DEFAULT, CP_UTF16LE, L"hi"},
        {"be.txt", std::string("\xFE\xFF\0h\0i\0\n", 8), CP_DEFAULT, CP_UTF16BE, L"hi"},
        {"ascii.txt", "plain\n", CP_DEFAULT, Ansi, L"plain"},
        // UTF-8 is looked for in the first 32,768 bytes only.
        {"near.txt", Near + "\n\xC3\xA9", CP_DEFAULT, CP_UTF8, std::wstring(32760, L'x')},
        {"far.txt", Far + "\n\xC3\xA9", CP_DEFAULT, Ansi, std::wstring(32800, L'x')},
        // Bytes that are not UTF-8 in a file opened as UTF-8.
        {"bad.txt", "caf\xE9\n!", CP_UTF8, CP_UTF8, L"caf\xDCE9"},
    };
    TFarHost Host;
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.File);
        const std::wstring Path = Dir / Widen(Case.File);
        Write(Path, Case.Bytes);
        ASSERT_EQ(OpenEditor(Path, EF_OPENMODE_USEEXISTING, -1, -1, Case.Asked), EEC_MODIFIED);
        const TEditor& Editor = Host.Editors().Current();
        EXPECT_EQ(Editor.FileName, Path);
        EXPECT_EQ(Editor.CodePage, Case.CodePage);
        EXPECT_EQ(Editor.Lines[0].Text, Case.FirstLine);
        ASSERT_EQ(Editor.Lines.size(), 2u);
        EXPECT_NE(Editor.Lines[0].Eol, L""); // as the file has it
    }
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

TEST(SimulatedEditorWindows, ANewEditorPutsTheCursorWhereTheHostPutsIt)
{
    TScratchDir Dir;
    Write(Dir / L"a.c", tooltext::Narrow(Numbered(100)));
    // StartLine and StartChar from 1, the cursor (line, position, top line)
    // from 0: the line in the middle of the 23-line window, but never less
    // than a full window of text, and the position maybe past the line's end.
    const std::pair<std::pair<intptr_t, intptr_t>, TCursor> Cases[] = {
        {{50, 7}, {49, 6, 38}}, {{1, 1}, {0, 0, 0}},      {{0, 0}, {0, 0, 0}},
        {{-1, -1}, {0, 0, 0}},  {{95, 99}, {94, 98, 78}}, {{500, 1}, {100, 0, 78}},
    };
    TFarHost Host;
    for (const auto& [Start, Expected] : Cases) {
        ASSERT_EQ(OpenEditor(Dir / L"a.c", EF_OPENMODE_NEWIFOPEN, Start.first, Start.second), EEC_MODIFIED);
        EXPECT_EQ(Cursor(Host.Editors().Current()), Expected) << Start.first;
    }

    // Closed, the file comes back where it was left when no line is asked.
    TEditor& Last = Host.Editors().Current();
    std::tie(Last.CurLine, Last.CurPos, Last.TopScreenLine) = TCursor{40, 2, 30};
    Host.Editors().Close(Last.Id);
    ASSERT_EQ(OpenEditor(Dir / L"a.c", EF_OPENMODE_NEWIFOPEN), EEC_MODIFIED);
    EXPECT_EQ(Cursor(Host.Editors().Current()), TCursor(40, 2, 30));

    // A name that is not on disk, not even its folder: an empty editor, the
    // cursor at the start whatever was asked.
    ASSERT_EQ(OpenEditor(Dir / L"no\\such.c", EF_OPENMODE_USEEXISTING, 5, 3), EEC_MODIFIED);
    EXPECT_EQ(Host.Editors().Current().Text(), L"");
    EXPECT_EQ(Cursor(Host.Editors().Current()), TCursor(0, 0, 0));
    EXPECT_THAT(Host.Errors(), IsEmpty());
}

TEST(SimulatedEditorWindows, AFileAnEditorHasIsTreatedByTheOpenMode)
{
    TScratchDir Dir;
    Write(Dir / L"a.c", tooltext::Narrow(Numbered(100)));
    Write(Dir / L"b.c", "b\n");
    struct {
        const char* Name;
        EDITOR_FLAGS Mode;
        intptr_t Answer; // to the host's question
        intptr_t Result;
        size_t Editors;
        bool OldInFront; // the editor that had a.c, with its cursor
    } Cases[] = {
        {"use existing", EF_OPENMODE_USEEXISTING, -9, EEC_MODIFIED, 2, true},
        {"query: current", EF_OPENMODE_QUERY, 0, EEC_MODIFIED, 2, true},
        {"query: new instance", EF_OPENMODE_QUERY, 1, EEC_MODIFIED, 3, false},
        {"query: reload", EF_OPENMODE_QUERY, 2, EEC_MODIFIED, 2, false},
        {"query: cancel", EF_OPENMODE_QUERY, 3, EEC_LOADING_INTERRUPTED, 2, false},
        {"query: esc", EF_OPENMODE_QUERY, -1, EEC_LOADING_INTERRUPTED, 2, false},
        {"new if open", EF_OPENMODE_NEWIFOPEN, -9, EEC_MODIFIED, 3, false},
        {"break if open", EF_OPENMODE_BREAKIFOPEN, -9, EEC_MODIFIED, 2, false},
        {"reload if open", EF_OPENMODE_RELOADIFOPEN, -9, EEC_MODIFIED, 2, false},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TFarHost Host;
        ASSERT_EQ(OpenEditor(Dir / L"a.c", EF_OPENMODE_USEEXISTING, 50, 1), EEC_MODIFIED);
        const intptr_t Old = Host.Editors().Current().Id;
        ASSERT_EQ(OpenEditor(Dir / L"b.c"), EEC_MODIFIED);
        const intptr_t B = Host.Editors().Current().Id;
        if (Case.Answer != -9)
            Host.QueueMessageResult(Case.Answer);
        // Named otherwise than when it was opened: the host compares full
        // names without case.
        std::wstring Other = Dir.Path() + L"/x/../A.C";
        EXPECT_EQ(OpenEditor(Other, Case.Mode, 10, 1), Case.Result);
        EXPECT_EQ(Host.Editors().Count(), Case.Editors);
        const TEditor& Front = Host.Editors().Current();
        EXPECT_EQ(Front.Id == Old, Case.OldInFront);
        // The editor that had the file keeps its cursor; a new one takes
        // the line asked.
        if (Front.Id != B) {
            EXPECT_EQ(Front.CurLine, Case.OldInFront ? 49 : 9);
        }
        EXPECT_EQ(Host.Messages().size(), Case.Mode == EF_OPENMODE_QUERY ? 1u : 0u);
        // Every call took an id, whatever came of it.
        ASSERT_EQ(OpenEditor(Dir / L"new.c"), EEC_MODIFIED);
        EXPECT_EQ(Host.Editors().Current().Id, 3);
        EXPECT_THAT(Host.Errors(), IsEmpty());
    }

    // Of two editors of a file, the one nearest Pos 0 is taken.
    TFarHost Host;
    OpenEditor(Dir / L"a.c");
    const intptr_t First = Host.Editors().Current().Id;
    OpenEditor(Dir / L"a.c", EF_OPENMODE_NEWIFOPEN);
    OpenEditor(Dir / L"b.c");
    OpenEditor(Dir / L"a.c");
    EXPECT_EQ(Host.Editors().Current().Id, First);
}

TEST(SimulatedEditorWindows, WhatTheHostCannotOpenItSaysInABoxOfItsOwn)
{
    TScratchDir Dir;
    Write(Dir / L"held.c", "x");
    TFarHost Host;
    Host.Editors().Open(L"C:\\a.c", L"a");
    const size_t Windows = Host.Editors().Windows().size();

    EXPECT_EQ(OpenEditor(Dir.Path()), EEC_OPEN_ERROR);
    const HANDLE Held = ::CreateFileW((Dir / L"held.c").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Held, INVALID_HANDLE_VALUE);
    Host.QueueMessageResult(0); // Retry
    Host.QueueMessageResult(1); // Cancel
    EXPECT_EQ(OpenEditor(Dir / L"held.c"), EEC_OPEN_ERROR);
    ::CloseHandle(Held);
    EXPECT_THAT(Host.ButtonBoxTexts(),
                ElementsAre(ElementsAre(L"Editor", L"It is impossible to edit the folder", L"OK"), SizeIs(6),
                            SizeIs(6)));
    EXPECT_EQ(Host.ButtonBoxTexts()[1][1], L"Cannot open the file");
    EXPECT_EQ(Host.Editors().Windows().size(), Windows);
    EXPECT_THAT(Host.Errors(), IsEmpty());

    // What would wait for a person, or is not simulated, is the plugin's
    // fault here.
    EXPECT_EQ(host::Editor(L"C:\\a.c", nullptr, 0, 0, -1, -1, EF_NONMODAL, 1, 1, CP_DEFAULT), EEC_OPEN_ERROR);
    EXPECT_EQ(OpenEditor(L"C:\\a.c", EF_CREATENEW), EEC_OPEN_ERROR);
    EXPECT_EQ(host::Editor(L"C:\\a.c", nullptr, 0, 0, 40, 10, EF_NONMODAL | EF_IMMEDIATERETURN, 1, 1, CP_DEFAULT),
              EEC_OPEN_ERROR);
    EXPECT_THAT(Host.Errors(), SizeIs(3));
    EXPECT_EQ(Host.Editors().Windows().size(), Windows);
}

TEST(SimulatedEditorWindows, TheWindowListIsReadAndSwitchedAsTheHostDoes)
{
    TFarHost Host;
    const GUID* Me = &Host.PluginGuid;
    TEditor& A = Host.Editors().Open(L"C:\\src\\a.c", L"a");
    TEditor& B = Host.Editors().Open(L"C:\\src\\b.c", L"b");
    A.Unsaved = true;
    EXPECT_THAT(Windows(Host),
                ElementsAre(Row(WTYPE_DESKTOP, 0, 0), Row(WTYPE_PANELS, 0, 0), Row(WTYPE_EDITOR, A.Id, WIF_MODIFIED),
                            Row(WTYPE_EDITOR, B.Id, WIF_CURRENT)));

    // The name: its size first, then as much as the buffer holds.
    WindowInfo Info{};
    Info.StructSize = sizeof(Info);
    Info.Pos = -1;
    ASSERT_EQ(host::AdvControl(Me, ACTL_GETWINDOWINFO, 0, &Info), TRUE);
    EXPECT_EQ(Info.Pos, 3);
    EXPECT_EQ(Info.NameSize, 11);
    EXPECT_EQ(Info.TypeNameSize, 5);
    wchar_t Name[12];
    Info.Name = Name;
    Info.NameSize = 5;
    ASSERT_EQ(host::AdvControl(Me, ACTL_GETWINDOWINFO, 0, &Info), TRUE);
    EXPECT_STREQ(Name, L"C:\\s");
    EXPECT_EQ(Info.NameSize, 5);

    // Switching is at once and moves the window to the end; the current
    // editor is the topmost one even while the panels are in front.
    EXPECT_EQ(host::AdvControl(Me, ACTL_SETCURRENTWINDOW, 2, nullptr), TRUE);
    EXPECT_EQ(Host.Editors().Current().Id, A.Id);
    EXPECT_EQ(host::AdvControl(Me, ACTL_SETCURRENTWINDOW, 1, nullptr), TRUE);
    EXPECT_EQ(host::AdvControl(Me, ACTL_COMMIT, 0, nullptr), TRUE);
    WindowType Type{sizeof(Type), WTYPE_UNKNOWN};
    ASSERT_EQ(host::AdvControl(Me, ACTL_GETWINDOWTYPE, 0, &Type), TRUE);
    EXPECT_EQ(Type.Type, WTYPE_PANELS);
    EXPECT_EQ(Host.Editors().Current().Id, A.Id);
    EXPECT_THAT(Windows(Host), ElementsAre(Row(WTYPE_DESKTOP, 0, 0), Row(WTYPE_EDITOR, B.Id, 0),
                                           Row(WTYPE_EDITOR, A.Id, WIF_MODIFIED), Row(WTYPE_PANELS, 0, WIF_CURRENT)));

    // A running dialog is a window, modal and current, named by its box.
    far3::FarDialogItem Box{};
    Box.Type = DI_DOUBLEBOX;
    Box.X2 = 20;
    Box.Y2 = 4;
    Box.Data = L"Find";
    const HANDLE Dialog = host::DialogInit(Me, nullptr, -1, -1, 22, 6, nullptr, &Box, 1, 0, 0, nullptr, nullptr);
    Host.QueueDialogScript(TDialogScript()
                               .Check([&](THostDialog&) {
                                   EXPECT_EQ(std::get<1>(Windows(Host).back()), reinterpret_cast<intptr_t>(Dialog));
                                   EXPECT_EQ(std::get<2>(Windows(Host).back()), WIF_MODAL | WIF_CURRENT);
                                   EXPECT_EQ(host::AdvControl(Me, ACTL_GETWINDOWTYPE, 0, &Type), TRUE);
                                   EXPECT_EQ(Type.Type, WTYPE_DIALOG);
                                   EXPECT_EQ(Host.WindowList().back().Name, L"Find");
                               })
                               .Esc());
    host::DialogRun(Dialog);
    host::DialogFree(Dialog);
    EXPECT_THAT(Windows(Host), SizeIs(4));
    EXPECT_THAT(Host.Errors(), IsEmpty());

    // What the real host refuses is refused and recorded.
    Info.StructSize = 71;
    EXPECT_EQ(host::AdvControl(Me, ACTL_GETWINDOWINFO, 0, &Info), FALSE);
    Info.StructSize = sizeof(Info);
    Info.Pos = 4;
    EXPECT_EQ(host::AdvControl(Me, ACTL_GETWINDOWINFO, 0, &Info), FALSE);
    EXPECT_EQ(host::AdvControl(Me, ACTL_SETCURRENTWINDOW, -1, nullptr), FALSE);
    Type.StructSize = 15;
    EXPECT_EQ(host::AdvControl(Me, ACTL_GETWINDOWTYPE, 0, &Type), FALSE);
    EXPECT_THAT(Host.Errors(), SizeIs(4));
}

namespace {

// What a plugin hears of the editors: each event with its editor, and for
// a save the name in the record, the name the editor still gives, and the
// bytes on disk at that moment.
std::vector<std::wstring> GEvents;

void WINAPI EventsGlobalInfo(GlobalInfo* Info)
{
    Info->Title = Info->Description = Info->Author = L"events test";
    Info->Guid = GUID{0x1E7E0000, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
}

intptr_t WINAPI EventsEditorEvent(const ProcessEditorEventInfo* Info)
{
    static const wchar_t* const Names[] = {L"READ", L"SAVE", L"REDRAW",   L"CLOSE",
                                           L"?",    L"?",    L"GOTFOCUS", L"KILLFOCUS"};
    std::wstring Text = std::wstring(Names[Info->Event]) + L" " + std::to_wstring(Info->EditorID);
    if (Info->Event == EE_SAVE) {
        const auto* Save = static_cast<const EditorSaveFile*>(Info->Param);
        wchar_t Name[MAX_PATH] = L"";
        host::EditorControl(Info->EditorID, ECTL_GETFILENAME, MAX_PATH, Name);
        Text += L" " + std::wstring(Save->FileName) + L" (" + Name + L") " +
                Widen(toolsupport::ReadFileBytes(Save->FileName)) + L"|" + Save->FileEOL;
    }
    GEvents.push_back(Text);
    return 0;
}

} // namespace

// Measured in the real host (docs/far-editor-events.md): focus before
// reading, EE_SAVE before the bytes are written, the focus before closing.
TEST(SimulatedEditorWindows, EditorEventsComeInTheHostsOrder)
{
    TScratchDir Dir;
    const std::wstring A = Dir / L"a.c", B = Dir / L"b.c";
    Write(A, "old\r\n");
    TFarHost Host;
    TPluginExports Exports;
    Exports.GetGlobalInfoW = &EventsGlobalInfo;
    Exports.ProcessEditorEventW = &EventsEditorEvent;
    ASSERT_TRUE(Host.LoadStatic(Exports, L"events.dll"));
    GEvents.clear();
    ASSERT_EQ(OpenEditor(A), EEC_MODIFIED);
    TEditor& Editor = Host.Editors().Current();
    Host.Editors().Open(B, L"b");
    Host.Editors().SetCurrent(Editor.Id);
    Editor.SetText(L"new\r\n");
    ASSERT_TRUE(Host.Editors().Save(Editor.Id));
    ASSERT_TRUE(Host.Editors().Save(Editor.Id, Dir / L"c.c"));
    Host.Editors().Close(Editor.Id);
    EXPECT_THAT(GEvents, ElementsAre(L"GOTFOCUS 0", L"READ 0", L"KILLFOCUS 0", L"GOTFOCUS 1", L"READ 1", L"KILLFOCUS 1",
                                     L"GOTFOCUS 0", L"SAVE 0 " + A + L" (" + A + L") old\r\n|\r\n", L"REDRAW 0",
                                     L"SAVE 0 " + Dir / L"c.c" + L" (" + A + L") |\r\n", L"REDRAW 0", L"KILLFOCUS 0",
                                     L"CLOSE 0", L"GOTFOCUS 1"));
    EXPECT_EQ(toolsupport::ReadFileBytes(A), "new\r\n");
    EXPECT_EQ(toolsupport::ReadFileBytes(Dir / L"c.c"), "new\r\n");
    EXPECT_EQ(Host.Editors().Find(1)->FileName, B);
    EXPECT_THAT(Host.Errors(), IsEmpty());
    EXPECT_TRUE(Host.Unload());
}
