#include "bridge/uFarEditor.h"

#include "base/uSystem.h"
#include "bridge/uFarWindows.h"

#include <algorithm>

namespace {

intptr_t EditorControl(intptr_t EditorId, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)
{
    const auto Service = TFarModule::StartupInfo().EditorControl;
    return Service ? Service(EditorId, Command, Param1, Param2) : 0;
}

} // namespace

bool TFarEditor::GetFileName(intptr_t EditorId, std::wstring& FileName)
{
    FileName.clear();
    const intptr_t Size = EditorControl(EditorId, far3::ECTL_GETFILENAME, 0, nullptr);
    if (Size <= 0)
        return false;
    TFarCharArray Buffer(static_cast<size_t>(Size), L'\0');
    const intptr_t Answer = EditorControl(EditorId, far3::ECTL_GETFILENAME, Size, Buffer.data());
    // A name that grew between the two calls was not copied at all; taking
    // Answer - 1 characters then would read past the buffer.
    if (Answer <= 0 || Answer > Size)
        return false;
    FileName.assign(Buffer.data(), static_cast<size_t>(Answer - 1));
    return true;
}

bool TFarEditor::GetInfo(intptr_t EditorId, far3::EditorInfo& Info)
{
    Info = far3::EditorInfo{};
    // The host accepts the record from the end of CodePage on; we read
    // nothing after it.
    Info.StructSize = far3::EditorInfoMinSize;
    if (EditorControl(EditorId, far3::ECTL_GETINFO, 0, &Info) != 0)
        return true;
    Info = far3::EditorInfo{};
    return false;
}

bool TFarEditor::GetStringInfo(intptr_t EditorId, intptr_t LineIndex, std::wstring& Text, std::wstring& Eol,
                               intptr_t& SelStart, intptr_t& SelLength, bool& SelToEnd)
{
    Text.clear();
    Eol.clear();
    SelStart = 0;
    SelLength = 0;
    SelToEnd = false;
    far3::EditorGetString Get{};
    Get.StructSize = sizeof(Get);
    Get.StringNumber = LineIndex;
    if (EditorControl(EditorId, far3::ECTL_GETSTRING, 0, &Get) == 0)
        return false;
    // The text points into the editor's own buffer and may hold NULs: copy
    // it by its length, now.
    Text = FromPointer(Get.StringText, Get.StringLength);
    Eol = FromPointer(Get.StringEOL);
    if (Get.SelStart == -1)
        return true;
    SelStart = Get.SelStart + 1;
    if (Get.SelEnd == -1) {
        SelLength = static_cast<intptr_t>(Text.size());
        SelToEnd = true;
    } else {
        SelLength = Get.SelEnd - Get.SelStart;
    }
    return true;
}

bool TFarEditor::GetString(intptr_t EditorId, intptr_t LineIndex, std::wstring& Text)
{
    std::wstring Eol;
    intptr_t SelStart, SelLength;
    bool SelToEnd;
    return GetStringInfo(EditorId, LineIndex, Text, Eol, SelStart, SelLength, SelToEnd);
}

bool TFarEditor::GetStringView(intptr_t EditorId, intptr_t LineIndex, std::wstring_view& Text)
{
    Text = std::wstring_view();
    far3::EditorGetString Get{};
    Get.StructSize = sizeof(Get);
    Get.StringNumber = LineIndex;
    if (EditorControl(EditorId, far3::ECTL_GETSTRING, 0, &Get) == 0)
        return false;
    if (Get.StringText && Get.StringLength > 0)
        Text = std::wstring_view(Get.StringText, static_cast<size_t>(Get.StringLength));
    return true;
}

bool TFarEditor::GetSelection(intptr_t EditorId, std::wstring& Text, intptr_t& BlockType)
{
    Text.clear();
    BlockType = far3::BTYPE_NONE;
    far3::EditorInfo Info;
    if (!GetInfo(EditorId, Info) || Info.BlockType == far3::BTYPE_NONE)
        return false;
    BlockType = Info.BlockType;
    bool Result = false;
    for (intptr_t Line = Info.BlockStartLine; Line < Info.TotalLines; ++Line) {
        std::wstring LineText, Eol;
        intptr_t SelStart, SelLength;
        bool SelToEnd;
        if (!GetStringInfo(EditorId, Line, LineText, Eol, SelStart, SelLength, SelToEnd))
            break;
        // The first line outside the block ends it.
        if (SelStart == 0 || (SelLength <= 0 && !SelToEnd))
            break;
        const size_t Start = std::min(static_cast<size_t>(SelStart - 1), LineText.size());
        Text.append(LineText, Start, static_cast<size_t>(std::max<intptr_t>(SelLength, 0)));
        if (SelToEnd || BlockType == far3::BTYPE_COLUMN)
            Text += Eol;
        Result = true;
    }
    return Result;
}

bool TFarEditor::GetSelectedText(intptr_t EditorId, std::wstring& Text)
{
    intptr_t BlockType;
    return GetSelection(EditorId, Text, BlockType);
}

bool TFarEditor::SetPosition(intptr_t EditorId, intptr_t Line, intptr_t Pos, intptr_t TabPos, intptr_t TopScreenLine,
                             intptr_t LeftPos, intptr_t Overtype)
{
    far3::EditorSetPosition Position{};
    Position.StructSize = sizeof(Position);
    Position.CurLine = Line;
    Position.CurPos = Pos;
    Position.CurTabPos = TabPos;
    Position.TopScreenLine = TopScreenLine;
    Position.LeftPos = LeftPos;
    Position.Overtype = Overtype;
    return EditorControl(EditorId, far3::ECTL_SETPOSITION, 0, &Position) != 0;
}

bool TFarEditor::GoTo(intptr_t EditorId, intptr_t Line, intptr_t Pos)
{
    return SetPosition(EditorId, Line, Pos, -1, TopLineAbove(Line), -1, -1);
}

intptr_t TFarEditor::TopLineAbove(intptr_t Line)
{
    // The target becomes the sixth visible line, or as near to it as the top
    // of the text allows: left to the host, a line above the screen became
    // its top line, with nothing above it in sight.
    return Line < 5 ? 0 : Line - 5;
}

TEditorOpen TFarEditor::OpenAt(const std::wstring& FileName, intptr_t Line, intptr_t Pos, intptr_t TopScreenLine,
                               intptr_t& EditorId)
{
    EditorId = -1;
    TEditorOpen Result = TEditorOpen::Existing;
    intptr_t Id = -1;
    TFarWindow Window;
    if (TFarWindows::FindEditor(FileName, Window)) {
        if (!TFarWindows::ActivateEditor(Window.Id))
            return TEditorOpen::Failed;
        Id = Window.Id;
    } else {
        // For a name that is not on disk the host opens an empty editor and
        // calls it a success.
        if (!FileExists(ExpandFileName(FileName)))
            return TEditorOpen::Missing;
        const auto Editor = StartupInfo().Editor;
        if (!Editor)
            return TEditorOpen::Failed;
        // Use existing still, for an editor whose name the list spells
        // otherwise. The host places a new editor's cursor itself and
        // centres it; an existing editor keeps its own: the position below
        // settles both.
        const intptr_t Answer = Editor(FileName.c_str(), nullptr, 0, 0, -1, -1,
                                       far3::EF_NONMODAL | far3::EF_IMMEDIATERETURN | far3::EF_OPENMODE_USEEXISTING,
                                       Line + 1, Pos + 1, far3::CP_DEFAULT);
        // 0: the host has told the user why; 3: the user cancelled.
        if (Answer != far3::EEC_MODIFIED)
            return TEditorOpen::Failed;
        far3::EditorInfo Info;
        if (!GetInfo(far3::CURRENT_EDITOR, Info))
            return TEditorOpen::Failed;
        Id = Info.EditorID;
        Result = TEditorOpen::Opened;
    }
    // The host takes a top line only when it is not below the cursor line.
    const intptr_t Top = TopScreenLine > Line ? -1 : TopScreenLine;
    if (!SetPosition(Id, Line, Pos, -1, Top, -1, -1))
        return TEditorOpen::Failed;
    EditorControl(Id, far3::ECTL_REDRAW, 0, nullptr);
    EditorId = Id;
    return Result;
}

bool TFarEditor::GoToLine(intptr_t EditorId, intptr_t Line)
{
    return GoTo(EditorId, Line, -1);
}

bool TFarEditor::AddSessionBookmark(intptr_t EditorId)
{
    return EditorControl(EditorId, far3::ECTL_ADDSESSIONBOOKMARK, 0, nullptr) != 0;
}

bool TFarEditor::SubscribeChanges(intptr_t EditorId)
{
    far3::EditorSubscribeChangeEvent Subscribe{sizeof(Subscribe), TFarModule::PluginGuid()};
    return EditorControl(EditorId, far3::ECTL_SUBSCRIBECHANGEEVENT, 0, &Subscribe) != 0;
}

bool TFarEditor::HasUnsavedChanges(const far3::EditorInfo& Info)
{
    const bool Saved = (Info.CurState & far3::ECSTATE_SAVED) != 0;
    const bool Modified = (Info.CurState & far3::ECSTATE_MODIFIED) != 0;
    return !(Saved && !Modified);
}
