#include "plugin/uPlaceListUI.h"

#include "plugin/uHelpTopics.h"
#include "plugin/uMessages.h"
#include "bridge/uFarEditor.h"
#include "bridge/uFarWindows.h"
#include "dialogs/uFarListbox.h"

#include <algorithm>

void TPlaceListDialog::AfterConstruction()
{
    TContextListDialog::AfterConstruction();
    SetSearchLabel(GetMsg(MSearchLabel));
    SetHelpTopic(HelpDefinitions);
}

void TPlaceListDialog::SetRows(std::vector<TPlaceRow> Rows, std::wstring Folder)
{
    FRows = std::move(Rows);
    FFolder = std::move(Folder);
    if (!FFolder.empty() && FFolder.back() != L'\\')
        FFolder += L'\\';
}

void TPlaceListDialog::SetTitle(const std::wstring& Title)
{
    GetList()->SetText(Title);
}

std::wstring TPlaceListDialog::Shown(const std::wstring& FileName) const
{
    if (!FFolder.empty() && FileName.size() > FFolder.size() &&
        TFarWindows::SameFile(FileName.substr(0, FFolder.size() - 1), FFolder.substr(0, FFolder.size() - 1)))
        return FileName.substr(FFolder.size());
    return FileName;
}

namespace {

// Text cut from the left to Width, its end kept ("…\\src\\main.c"), or
// padded to it.
std::wstring FromTheLeft(std::wstring Text, int Width)
{
    const size_t Size = static_cast<size_t>(std::max(Width, 0));
    if (Text.size() > Size && Size > 0)
        Text = L"\u2026" + Text.substr(Text.size() - (Size - 1));
    Text.resize(Size, L' ');
    return Text;
}

std::wstring Padded(std::wstring Text, int Width, bool Right = false)
{
    const size_t Size = static_cast<size_t>(std::max(Width, 0));
    if (Text.size() > Size)
        Text.resize(Size);
    if (Right)
        Text.insert(0, Size - Text.size(), L' ');
    else
        Text.resize(Size, L' ');
    return Text;
}

} // namespace

void TPlaceListDialog::BuildRows()
{
    TListbox* List = GetList();
    if (!List)
        return;
    // What the host's list shows of a row: its width less the two borders,
    // the two columns in front of the text and the column that marks a cut
    // row.
    const int RowWidth = List->GetWidth() - 5;
    size_t FileLength = 0, KindLength = 0, ScopeLength = 0, NameLength = 0;
    std::int32_t MaxLine = 1;
    for (const TPlaceRow& Row : FRows) {
        FileLength = std::max(FileLength, Shown(Row.Target.FileName).size());
        KindLength = std::max(KindLength, Row.Kind.size());
        ScopeLength = std::max(ScopeLength, Row.Scope.size());
        NameLength = std::max(NameLength, Row.Target.Name.size());
        MaxLine = std::max(MaxLine, Row.Target.Line);
    }
    const int LineWidth = static_cast<int>(std::to_wstring(MaxLine).size());
    const int KindWidth = static_cast<int>(std::min<size_t>(KindLength, 10));
    const bool Scoped = ScopeLength > 0;
    const int Separators = (FShowNames ? 4 : 2) + (Scoped ? 1 : 0);
    int Available = std::max(0, RowWidth - LineWidth - KindWidth - Separators);
    // The name comes first where rows have many, then the file; the scope
    // gets what is left.
    int NameWidth = 0;
    if (FShowNames) {
        NameWidth = std::min(static_cast<int>(NameLength),
                             std::max(Available / 3, Available - static_cast<int>(FileLength + ScopeLength)));
        Available -= NameWidth;
    }
    const int FileWidth = std::min(static_cast<int>(FileLength),
                                   Scoped ? std::max(Available * 2 / 3, Available - static_cast<int>(ScopeLength))
                                          : Available);
    const int ScopeWidth = Scoped ? std::max(0, Available - FileWidth) : 0;
    TListboxItems& Items = List->GetItems();
    TListUpdate Update(Items);
    Items.Clear();
    Items.Reserve(static_cast<intptr_t>(FRows.size()));
    std::wstring Text;
    for (const TPlaceRow& Row : FRows) {
        // The file and the scope are cut from the left: their ends tell
        // rows apart.
        const std::wstring File = FromTheLeft(Shown(Row.Target.FileName), FileWidth);
        const std::wstring Line = Padded(std::to_wstring(Row.Target.Line), LineWidth, true);
        const std::wstring Kind = Padded(Row.Kind, KindWidth);
        const std::wstring Scope = FromTheLeft(Row.Scope, ScopeWidth);
        if (FShowNames)
            Text = Padded(Row.Target.Name, NameWidth) + (Scoped ? L'|' + Scope : std::wstring()) + L'|' + Kind + L'|' +
                   File + L'|' + Line;
        else
            Text = File + L'|' + Line + L'|' + Kind + (Scoped ? L'|' + Scope : std::wstring());
        Items.AddItem(Text);
    }
    Update.Finish();
}

void TPlaceListDialog::ItemSelected(intptr_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= FRows.size() || !FFiles) {
        ClearContext();
        return;
    }
    const TJumpTarget& Target = FRows[static_cast<size_t>(Index)].Target;
    const std::vector<std::wstring>* Lines = FFiles->Lines(Target.FileName);
    if (!Lines) {
        ClearContext();
        return;
    }
    const std::int32_t Line = Lines->empty() ? 1 : FindTagLine(Target.Pattern, Target.Line, *Lines);
    far3::EditorInfo Info{};
    const intptr_t TabSize = TFarEditor::GetInfo(far3::CURRENT_EDITOR, Info) ? Info.TabSize : 8;
    ShowContext(
        [Lines](intptr_t At, std::wstring& Text) {
            if (At >= static_cast<intptr_t>(Lines->size()))
                return false;
            Text = (*Lines)[static_cast<size_t>(At)];
            return true;
        },
        Line - 1, Target.Name, TabSize);
}
