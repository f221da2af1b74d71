#include "plugin/uFunctionListUI.h"

#include "bridge/uFarEditor.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uHelpTopics.h"
#include "plugin/uMessages.h"
#include "base/uStrings.h"

#include <algorithm>
#include <unordered_set>
#include <numeric>
#include <utility>

namespace {

// One column of a row, as "%*.*s" (Right) or "%-*.*s" would make it: cut to
// Width and padded to it. A negative width neither cuts nor pads.
void AppendColumn(std::wstring& Row, std::wstring_view Text, int Width, bool Right)
{
    if (Width < 0) {
        Row.append(Text);
        return;
    }
    const size_t Size = static_cast<size_t>(Width);
    if (Text.size() > Size)
        Text = Text.substr(0, Size);
    if (Right)
        Row.append(Size - Text.size(), L' ');
    Row.append(Text);
    if (!Right)
        Row.append(Size - Text.size(), L' ');
}

// A scope cut from the left: its innermost part tells members apart
// ("...::Inner"), the outer ones do not.
void AppendScope(std::wstring& Row, std::wstring_view Scope, int Width)
{
    const size_t Size = static_cast<size_t>(std::max(Width, 0));
    if (Scope.size() <= Size || Size == 0) {
        AppendColumn(Row, Scope, Width, false);
        return;
    }
    Row += L'\u2026';
    Row.append(Scope.substr(Scope.size() - (Size - 1)));
}

} // namespace

void TFunctionListDialog::AfterConstruction()
{
    TSearchDialog::AfterConstruction();
    SetSearchLabel(GetMsg(MSearchLabel));
    SetHelpTopic(HelpFunctionList);
    UpdateTitle();
}

void TFunctionListDialog::SetTags(TCtags* Value)
{
    FTags = Value;
    FNames.reset();
    FKinds.clear();
    FKind = -1;
    // A file has tens of thousands of tags and a handful of kinds.
    const int Count = FTags ? FTags->Count() : 0;
    std::unordered_set<std::wstring_view> Seen;
    for (int I = 0; I < Count; ++I) {
        const std::wstring& Kind = FTags->GetItem(I)->Kind;
        if (Seen.insert(Kind).second)
            FKinds.push_back(Kind);
    }
    std::sort(FKinds.begin(), FKinds.end());
    MakeOrder();
    UpdateTitle();
}

void TFunctionListDialog::MakeOrder()
{
    const int Count = FTags ? FTags->Count() : 0;
    FOrder.resize(static_cast<size_t>(Count));
    std::iota(FOrder.begin(), FOrder.end(), 0);
    // The tags come by name; by line, tags of one line keep that order.
    if (FOrderKind == TListOrder::InFile)
        std::stable_sort(FOrder.begin(), FOrder.end(),
                         [&](int A, int B) { return FTags->GetItem(A)->Line < FTags->GetItem(B)->Line; });
    if (FOrderKind != TListOrder::ByMatch)
        return;
    // Best first, the nearest to the cursor first among matches alike;
    // rows that do not match go last, by name, hidden.
    FOrderedFor = GetSearchEdit() && IsActive() ? GetSearchEdit()->GetText() : GetSearchText();
    Pattern(FOrderedFor);
    std::vector<std::pair<std::uint32_t, std::uint64_t>> Keys(static_cast<size_t>(Count));
    for (int I = 0; I < Count; ++I)
        Keys[static_cast<size_t>(I)] = {RankOf(I).Key(), TieOf(I)};
    std::stable_sort(FOrder.begin(), FOrder.end(),
                     [&](int A, int B) { return Keys[static_cast<size_t>(A)] < Keys[static_cast<size_t>(B)]; });
}

const TMatchPattern& TFunctionListDialog::Pattern(const std::wstring& Filter)
{
    if (!FPatternReady || FPattern.Typed() != Filter || FPattern.IsFuzzy() != FFuzzy) {
        FPattern = TMatchPattern(Filter, FFuzzy);
        FPatternReady = true;
    }
    return FPattern;
}

TMatchRank TFunctionListDialog::RankOf(int Tag)
{
    const std::wstring& Upper = UpperName(Tag);
    return FPattern.Rank(FTags->GetItem(Tag)->Name, Upper, FNames->Masks[static_cast<size_t>(Tag)]);
}

std::uint64_t TFunctionListDialog::TieOf(int Tag) const noexcept
{
    // As the list is first shown: the nearest tag at or above the cursor,
    // the later in name order on one line; below the cursor all alike, so
    // that the first row shown wins.
    const std::int32_t Line = FTags->GetItem(Tag)->Line;
    if (FCursorLine < 0 || Line - 1 > FCursorLine)
        return UINT64_MAX - 1;
    return static_cast<std::uint64_t>(FCursorLine - (Line - 1)) << 32 | (UINT32_MAX - static_cast<std::uint32_t>(Tag));
}

int TFunctionListDialog::TagOfRow(intptr_t Row) const noexcept
{
    return Row >= 0 && static_cast<size_t>(Row) < FOrder.size() ? FOrder[static_cast<size_t>(Row)] : -1;
}

intptr_t TFunctionListDialog::RowOfTag(int Tag) const noexcept
{
    // Asked once per list and per change of order: a search serves.
    const auto Found = std::find(FOrder.begin(), FOrder.end(), Tag);
    return Found == FOrder.end() ? -1 : static_cast<intptr_t>(Found - FOrder.begin());
}

void TFunctionListDialog::SetOrder(TListOrder Value)
{
    if (Value == FOrderKind)
        return;
    FOrderKind = Value;
    Refilter(true);
}

std::wstring TFunctionListDialog::GetKindFilter() const
{
    return FKind >= 0 ? FKinds[static_cast<size_t>(FKind)] : std::wstring();
}

void TFunctionListDialog::StepKind(int Delta)
{
    // All kinds, then each kind present, round and round.
    const int Choices = static_cast<int>(FKinds.size()) + 1;
    FKind = ((FKind + 1 + Delta) % Choices + Choices) % Choices - 1;
    Refilter(false);
}

void TFunctionListDialog::Refilter(bool Rebuild)
{
    const int Current = IsActive() && GetList() ? TagOfRow(GetList()->GetItemIndex()) : -1;
    if (Rebuild)
        MakeOrder();
    UpdateTitle();
    // Before the run the rows are built as the dialog is laid out.
    if (!IsActive() || !GetList())
        return;
    if (Rebuild)
        BuildRows();
    ApplyFilter(GetSearchEdit() ? GetSearchEdit()->GetText() : std::wstring());
    const intptr_t Row = RowOfTag(Current);
    if (Row >= 0 && GetList()->GetItems().GetItem(Row)->GetVisible())
        GetList()->SetItemIndex(Row);
}

void TFunctionListDialog::UpdateTitle()
{
    if (!GetList())
        return;
    // On a narrow list the title loses its parts from the front: the kind
    // chosen is what the user needs to see.
    const std::wstring Kind = FKind >= 0 ? FKinds[static_cast<size_t>(FKind)] : GetMsg(MAllKinds);
    const TMessageId OrderName = FOrderKind == TListOrder::InFile    ? MInFileOrder
                                 : FOrderKind == TListOrder::ByMatch ? MByMatch
                                                                     : MByName;
    const std::wstring Order = GetMsg(OrderName) + L", " + Kind;
    const std::wstring Full = GetMsg(MListTitle) + L": " + Order;
    const int Room = GetList()->GetWidth() - 6;
    const int Width = static_cast<int>(Full.size());
    GetList()->SetText(Room <= 0 || Width <= Room ? Full : static_cast<int>(Order.size()) <= Room ? Order : Kind);
}

void TFunctionListDialog::SearchEditKeyDown(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled)
{
    const DWORD State = ControlKeyState & KeyModifiers;
    if (!Handled && VirtualKey == VK_F2 && State == 0) {
        ApplyPendingFilter();
        SetOrder(FOrderKind == TListOrder::ByName   ? TListOrder::InFile
                 : FOrderKind == TListOrder::InFile ? TListOrder::ByMatch
                                                    : TListOrder::ByName);
        Handled = true;
    } else if (!Handled && VirtualKey == VK_F3 && (State == 0 || State == SHIFT_PRESSED)) {
        ApplyPendingFilter();
        StepKind(State == 0 ? 1 : -1);
        Handled = true;
    }
    TSearchDialog::SearchEditKeyDown(Sender, VirtualKey, ControlKeyState, Handled);
}

void TFunctionListDialog::BuildControls()
{
    TContextListDialog::BuildControls();
    // The order and kind keys work wherever the focus is; the list keeps
    // its own movement keys.
    GetList()->OnKeyDown = [this](TControl& Sender, WORD Key, DWORD State, bool& Handled) {
        if (Key == VK_F2 || Key == VK_F3)
            SearchEditKeyDown(Sender, Key, State, Handled);
    };
}

void TFunctionListDialog::Placed()
{
    // The title is cut to the list's width, known only now.
    UpdateTitle();
}

void TFunctionListDialog::BuildRows()
{
    TListbox* List = GetList();
    if (!List)
        return;
    if (FOrder.size() != static_cast<size_t>(FTags ? FTags->Count() : 0))
        MakeOrder();
    // What the host's list shows of a row: its width less the two borders,
    // the two columns in front of the text and the column that marks a cut
    // row. A row one wider loses its last character behind that mark.
    const int RowWidth = List->GetWidth() - 5;
    std::int32_t MaxLine = 100;
    size_t NameLength = 0;
    size_t ScopeLength = 0;
    size_t KindLength = 8;
    const int Count = FTags ? FTags->Count() : 0;
    for (int I = 0; I < Count; ++I) {
        const TCtagsItem* Tag = FTags->GetItem(I);
        MaxLine = std::max(MaxLine, Tag->Line);
        NameLength = std::max(NameLength, Tag->Name.size());
        ScopeLength = std::max(ScopeLength, Tag->Scope.size());
        KindLength = std::max(KindLength, Tag->Kind.size());
    }
    const int LineWidth = static_cast<int>(std::to_wstring(MaxLine).size());
    int KindWidth = static_cast<int>(KindLength);
    const bool Scoped = ScopeLength > 0;
    const int Separators = Scoped ? 3 : 2;
    const int Available = std::max(0, RowWidth - LineWidth - Separators);
    // Where not everything fits, the name comes first: the kind gets ten
    // columns at most, and on a narrow list no more than a quarter.
    if (static_cast<int>(NameLength + ScopeLength) + KindWidth > Available)
        KindWidth = std::min({KindWidth, 10, Available / 4});
    // Name and scope share what is left; the name comes first, but the
    // scope keeps a third of it at least, or same-named members would
    // look alike again (where there is room for both to be read). On a
    // wide list the scope stays next to the name and the room left over
    // goes after the kind.
    constexpr int RoomForBoth = 12;
    const int Shared = std::max(0, Available - KindWidth);
    int ScopeWidth = 0;
    int NameWidth = Shared;
    if (Scoped) {
        const int Least = Shared >= RoomForBoth ? Shared / 3 : 0;
        ScopeWidth = std::min(static_cast<int>(ScopeLength), std::max(Least, Shared - static_cast<int>(NameLength)));
        NameWidth = std::min(static_cast<int>(NameLength), Shared - ScopeWidth);
        KindWidth += Shared - ScopeWidth - NameWidth;
        // No room for the scope: its separator's column is free too.
        if (ScopeWidth == 0)
            ++(NameWidth < static_cast<int>(NameLength) ? NameWidth : KindWidth);
    }

    TListboxItems& Items = List->GetItems();
    TListUpdate Update(Items);
    Items.Clear();
    Items.Reserve(Count);
    // Each row is "%*.*s|%-*.*s|%-*.*s" of line, name and kind (the scope
    // after the name), made directly: a long list is built while the user
    // waits for it.
    std::wstring Row;
    for (const int Index : FOrder) {
        const TCtagsItem* Tag = FTags->GetItem(Index);
        Row.clear();
        AppendColumn(Row, std::to_wstring(Tag->Line), LineWidth, true);
        Row += L'|';
        AppendColumn(Row, Tag->Name, NameWidth, false);
        Row += L'|';
        // A scope column the name has taken all the room of goes with its
        // separator.
        if (Scoped && ScopeWidth > 0) {
            AppendScope(Row, Tag->Scope, ScopeWidth);
            Row += L'|';
        }
        AppendColumn(Row, Tag->Kind, KindWidth, false);
        Items.AddItem(Row);
    }
    Update.Finish();
}

const std::wstring& TFunctionListDialog::UpperName(int Tag)
{
    // Tags do not change while the dialog exists: each name is upper-cased
    // once, not once per keystroke.
    if (!FNames || FNames->Upper.size() != static_cast<size_t>(FTags->Count()))
        PrepareNames();
    return FNames->Upper.at(static_cast<size_t>(Tag));
}

void TFunctionListDialog::PrepareFilter()
{
    // The names are upper-cased when a filter first needs them: most lists
    // open without one, and the user waits for the list to show.
}

void TFunctionListDialog::PrepareNames()
{
    // The last list's names serve the next list of the same remembered
    // tags, which the word under the cursor is tested against before it
    // shows. Only the last are kept.
    static std::weak_ptr<const std::vector<TCtagsItem>> LastItems;
    static std::shared_ptr<const TNames> LastNames;
    const std::shared_ptr<const std::vector<TCtagsItem>> Items = FTags->ShareItems();
    if (LastNames && LastItems.lock() == Items) {
        FNames = LastNames;
        return;
    }
    LastNames.reset();
    auto Names = std::make_shared<TNames>();
    Names->Upper.reserve(Items->size());
    Names->Masks.reserve(Items->size());
    for (const TCtagsItem& Item : *Items) {
        Names->Upper.push_back(UpperCaseText(Item.Name));
        Names->Masks.push_back(MatchMask(Item.Name, Names->Upper.back()));
    }
    FNames = Names;
    LastItems = Items;
    LastNames = std::move(Names);
}

void TFunctionListDialog::ApplyFilter(const std::wstring& Filter)
{
    Pattern(Filter);
    if (FOrderKind == TListOrder::ByMatch && IsActive() && Filter != FOrderedFor) {
        MakeOrder();
        BuildRows();
    }
    // Each row shown is offered as it is tested; the best becomes current,
    // also when the rows are in order of match (it is then the first).
    FBest = TBestMatch();
    TSearchDialog::ApplyFilter(Filter);
    if (GetList() && FBest.Index() >= 0)
        GetList()->SetItemIndex(FBest.Index());
}

bool TFunctionListDialog::ItemMatches(intptr_t Index, const std::wstring& Filter)
{
    const int Tag = TagOfRow(Index);
    if (!FTags || Tag < 0 || Tag >= FTags->Count())
        return false;
    if (FKind >= 0 && FTags->GetItem(Tag)->Kind != FKinds[static_cast<size_t>(FKind)])
        return false;
    const TMatchRank Rank = Pattern(Filter).IsEmpty() ? TMatchRank(TMatchKind::Anywhere, 0) : RankOf(Tag);
    if (!Rank.IsMatch())
        return false;
    FBest.Offer(Index, Rank, TieOf(Tag));
    return true;
}

bool TFunctionListDialog::HasMatch(const std::wstring& Filter)
{
    for (size_t Row = 0; Row < FOrder.size(); ++Row)
        if (ItemMatches(static_cast<intptr_t>(Row), Filter))
            return true;
    return false;
}

void TFunctionListDialog::ItemSelected(intptr_t Index)
{
    // Without a current row, or past the end of the file, the lines are
    // empty: never the text of a row shown before.
    far3::EditorInfo Info{};
    const int Tag = TagOfRow(Index);
    if (Tag < 0 || !FTags || Tag >= FTags->Count() || !TFarEditor::GetInfo(FEditorId, Info)) {
        ClearContext();
        return;
    }
    const TCtagsItem* Item = FTags->GetItem(Tag);
    ShowContext(
        [&](intptr_t Line, std::wstring& Text) {
            return Line < Info.TotalLines && TFarEditor::GetString(FEditorId, Line, Text);
        },
        Item->Line - 1, Item->Name, Info.TabSize);
}
