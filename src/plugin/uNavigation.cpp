#include "plugin/uNavigation.h"

#include "base/uStrings.h"
#include "base/uSystem.h"
#include "bridge/uFarEditor.h"
#include "bridge/uFarWindows.h"
#include "plugin/uEditorTasks.h"

#include <utility>

void TPlaceStack::Push(TPlace Place)
{
    if (FPlaces.size() == Capacity)
        FPlaces.pop_front();
    FPlaces.push_back(std::move(Place));
}

std::optional<TPlace> TPlaceStack::Pop()
{
    if (FPlaces.empty())
        return std::nullopt;
    TPlace Place = std::move(FPlaces.back());
    FPlaces.pop_back();
    return Place;
}

bool CurrentPlace(TPlace& Place)
{
    far3::EditorInfo Info{};
    if (!TFarEditor::GetInfo(far3::CURRENT_EDITOR, Info) ||
        !TFarEditor::GetFileName(far3::CURRENT_EDITOR, Place.FileName))
        return false;
    Place.Line = Info.CurLine;
    Place.Pos = Info.CurPos;
    Place.TopLine = Info.TopScreenLine;
    return true;
}

namespace {

std::optional<std::vector<std::wstring>> EditorLines(intptr_t EditorId)
{
    far3::EditorInfo Info{};
    if (!TFarEditor::GetInfo(EditorId, Info))
        return std::nullopt;
    std::vector<std::wstring> Lines;
    Lines.reserve(static_cast<size_t>(std::max<intptr_t>(Info.TotalLines, 0)));
    std::wstring Text;
    for (intptr_t I = 0; I < Info.TotalLines; ++I) {
        if (!TFarEditor::GetString(EditorId, I, Text))
            return std::nullopt;
        Lines.push_back(Text);
    }
    return Lines;
}

std::optional<std::vector<std::wstring>> DiskLines(const std::wstring& FileName)
{
    std::string Bytes;
    if (!ReadWholeFile(FileName, Bytes))
        return std::nullopt;
    // Source text is UTF-8 far more often than not, mark or no mark; what
    // is not valid UTF-8 is read as DecodeText reads it.
    if (!Bytes.starts_with("\xEF\xBB\xBF") && !Bytes.starts_with("\xFF\xFE") && !Bytes.starts_with("\xFE\xFF") &&
        IsValidUtf8(Bytes))
        return SplitTextLines(CodePageToWide(CP_UTF8, Bytes));
    return SplitTextLines(DecodeText(Bytes));
}

} // namespace

const std::vector<std::wstring>* TFileLines::Lines(const std::wstring& FileName)
{
    auto Found = FFiles.find(FileName);
    if (Found == FFiles.end()) {
        TFarWindow Window;
        Found = FFiles
                    .emplace(FileName,
                             TFarWindows::FindEditor(FileName, Window) ? EditorLines(Window.Id) : DiskLines(FileName))
                    .first;
    }
    return Found->second ? &*Found->second : nullptr;
}

TJumpResult JumpTo(const TJumpTarget& Target, TPlaceStack& Places, TFileLines& Files)
{
    TFarWindow Window;
    const bool Open = TFarWindows::FindEditor(Target.FileName, Window);
    if (!Open && !FileExists(Target.FileName))
        return TJumpResult::Missing;
    // The line the tag stands on now: the text may have changed since the
    // tags were made.
    const std::vector<std::wstring>* Lines = Files.Lines(Target.FileName);
    std::int32_t Line = std::max<std::int32_t>(Target.Line, 1);
    if (Lines && !Lines->empty())
        Line = FindTagLine(Target.Pattern, Target.Line, *Lines);
    const intptr_t Index = Line - 1;
    const intptr_t Column = Lines && Index < static_cast<intptr_t>(Lines->size())
                                ? NameColumn((*Lines)[static_cast<size_t>(Index)], Target.Name)
                                : 0;
    TPlace From;
    const bool Known = CurrentPlace(From);
    intptr_t EditorId = -1;
    const TEditorOpen Outcome = TFarEditor::OpenAt(Target.FileName, Index, Column, TFarEditor::TopLineAbove(Index),
                                                   EditorId);
    if (Outcome == TEditorOpen::Missing)
        return TJumpResult::Missing;
    if (Outcome == TEditorOpen::Failed)
        return TJumpResult::Failed;
    // A jump that does not move leaves nothing to go back to.
    if (Known && !(TFarWindows::SameFile(From.FileName, Target.FileName) && From.Line == Index && From.Pos == Column))
        Places.Push(std::move(From));
    return TJumpResult::Moved;
}

bool GoBack(TPlaceStack& Places)
{
    while (std::optional<TPlace> Place = Places.Pop()) {
        intptr_t EditorId = -1;
        const TEditorOpen Outcome = TFarEditor::OpenAt(Place->FileName, Place->Line, Place->Pos, Place->TopLine,
                                                       EditorId);
        // A file that has gone is skipped; one the host refused to open
        // stops the way back there.
        if (Outcome == TEditorOpen::Missing)
            continue;
        return Outcome != TEditorOpen::Failed;
    }
    return false;
}
