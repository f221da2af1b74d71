#include "plugin/uDefinition.h"

#include "base/Handle.h"
#include "base/uStrings.h"
#include "base/uSystem.h"
#include "bridge/uFarEditor.h"
#include "bridge/uFarWindows.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uMessages.h"
#include "plugin/uPlaceListUI.h"
#include "tags/uTagsFile.h"

#include <algorithm>

namespace {

void Warn(const std::vector<std::wstring>& Lines)
{
    TFarModule::Message(far3::FMSG_WARNING, Lines, 1);
}

// The name to look for: the selection when it lies within one line, else
// the word under the cursor; empty for none.
std::wstring NameToFind(TEditorTasks& Tasks)
{
    std::wstring Selected;
    intptr_t BlockType = far3::BTYPE_NONE;
    if (TFarEditor::GetSelection(far3::CURRENT_EDITOR, Selected, BlockType) && BlockType == far3::BTYPE_STREAM &&
        !(Selected = TrimText(Selected)).empty() && Selected.find_first_of(L"\r\n") == std::wstring::npos)
        return Selected;
    std::wstring Word;
    return Tasks.GetWordUnderCursor(Word) ? Word : std::wstring();
}

bool SameName(std::wstring_view A, std::wstring_view B, TTagCase Case)
{
    return Case == TTagCase::Sensitive ? A == B : UpperCaseText(A) == UpperCaseText(B);
}

// The definitions of Name: the edited file's fresh ones, then those of the
// tags file in the other files (its entries for the edited file may be
// stale, or missing for a new one).
std::vector<TPlaceRow> Candidates(const std::wstring& Name, TTagCase Case, TCtags& Local, const std::wstring& File,
                                  const TTagsFile* Project)
{
    std::vector<TPlaceRow> Rows;
    for (int I = 0; I < Local.Count(); ++I) {
        const TCtagsItem* Item = Local.GetItem(I);
        if (SameName(Item->Name, Name, Case))
            Rows.push_back({{File, Item->Line, std::nullopt, Item->Name}, Item->Kind, Item->Scope});
    }
    if (!Project)
        return Rows;
    std::vector<TPlaceRow> Others;
    for (TTagsFileEntry& Entry : Project->FindTags(Name, Case)) {
        if (TFarWindows::SameFile(Entry.File, File))
            continue;
        Others.push_back({{std::move(Entry.File), Entry.Line, std::move(Entry.Pattern), std::move(Entry.Name)},
                          std::move(Entry.Kind),
                          std::move(Entry.Scope)});
    }
    // By file, then by line: a reader finds a file's definitions together.
    std::stable_sort(Others.begin(), Others.end(), [](const TPlaceRow& A, const TPlaceRow& B) {
        const int Files = CompareTextLocale(A.Target.FileName, B.Target.FileName);
        return Files != 0 ? Files < 0 : A.Target.Line < B.Target.Line;
    });
    Rows.insert(Rows.end(), std::make_move_iterator(Others.begin()), std::make_move_iterator(Others.end()));
    return Rows;
}

} // namespace

bool GoToDefinition(TPlaceStack& Places)
{
    TEditorTasks Tasks;
    Tasks.SetEditorId(far3::CURRENT_EDITOR);
    const std::wstring Name = NameToFind(Tasks);
    if (Name.empty()) {
        Warn({GetMsg(MTitle), GetMsg(MNoNameToFind), GetMsg(MOk)});
        return false;
    }
    if (!Tasks.LoadTags())
        return false;
    const std::wstring& File = Tasks.GetEditorFileName();
    const std::wstring TagsPath = FindTagsFile(File, Tasks.GetOptions().GetTagsFiles());
    std::unique_ptr<TTagsFile> Project;
    if (!TagsPath.empty()) {
        try {
            Project = std::make_unique<TTagsFile>(TagsPath);
        } catch (const ETagsFileError& E) {
            Warn({GetMsg(MTitle), GetMsg(MTagsFileUnreadable), E.Message(), GetMsg(MOk)});
            return false;
        }
    }
    // Exactly that name; when nothing has it, without regard to case.
    std::vector<TPlaceRow> Rows = Candidates(Name, TTagCase::Sensitive, Tasks.GetCtags(), File, Project.get());
    if (Rows.empty())
        Rows = Candidates(Name, TTagCase::Blind, Tasks.GetCtags(), File, Project.get());
    const std::wstring Folder = Project ? Project->Folder() : ExtractFileDir(File);
    // Nothing of the tags file is needed any more, and while it is mapped
    // nobody can replace it.
    Project.reset();
    if (Rows.empty()) {
        if (TagsPath.empty())
            Warn({GetMsg(MTitle), Format(GetMsg(MNoDefinitionOf), {Name}), GetMsg(MNoTagsFileAbove),
                  ExtractFileDir(File), GetMsg(MHowToMakeTags), GetMsg(MOk)});
        else
            Warn({GetMsg(MTitle), Format(GetMsg(MNoDefinitionOf), {Name}), GetMsg(MTagsFileSearched), TagsPath,
                  GetMsg(MOk)});
        return false;
    }
    TFileLines Files;
    size_t Chosen = 0;
    if (Rows.size() > 1) {
        // The lines as the files stand now, which a pattern finds where the
        // text has moved since the tags were made.
        for (TPlaceRow& Row : Rows) {
            if (!Row.Target.Pattern)
                continue;
            if (const std::vector<std::wstring>* Lines = Files.Lines(Row.Target.FileName); Lines && !Lines->empty())
                Row.Target.Line = FindTagLine(Row.Target.Pattern, Row.Target.Line, *Lines);
        }
        auto Dialog = TFarDialog::Create<TPlaceListDialog>();
        Dialog->SetFiles(&Files);
        Dialog->SetTitle(Format(GetMsg(MDefinitionsTitle), {Name}));
        Dialog->SetRows(Rows, Folder);
        Dialog->SetItemIndex(0);
        if (!Dialog->Execute())
            return false;
        const std::int32_t Row = Dialog->GetItemIndex();
        if (Row < 0 || static_cast<size_t>(Row) >= Rows.size() ||
            !Dialog->GetList()->GetItems().GetItem(Row)->GetVisible())
            return false;
        Chosen = static_cast<size_t>(Row);
    }
    switch (JumpTo(Rows[Chosen].Target, Places, Files)) {
    case TJumpResult::Moved: return true;
    case TJumpResult::Missing:
        Warn({GetMsg(MTitle), GetMsg(MFileGone), Rows[Chosen].Target.FileName, GetMsg(MOk)});
        return false;
    case TJumpResult::Failed: return false;
    }
    return false;
}
