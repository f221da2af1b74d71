// The function list: one row per tag in aligned columns (line, name, the
// scope where any tag has one, kind), filtered by tag name and, if chosen,
// by kind as the user types, by name, in file order or best match first,
// with the source at the current row shown in three read-only lines under
// the list. After each change of the filter the best match is the current
// row. Rows and tags are told apart: the list's rows follow the order
// shown, the tags keep theirs.
#pragma once

#include "base/uMatch.h"
#include "tags/uCtags.h"
#include "plugin/uContextListUI.h"

#include <cstdint>
#include <string>
#include <memory>
#include <vector>

// {6C2D4B8E-93A1-4F0B-9E27-5D8A1C3F7B64}
inline constexpr GUID FunctionListDialogGuid = {
    0x6c2d4b8e, 0x93a1, 0x4f0b, {0x9e, 0x27, 0x5d, 0x8a, 0x1c, 0x3f, 0x7b, 0x64}};

enum class TListOrder : std::uint8_t { ByName, InFile, ByMatch };

class TFunctionListDialog : public TContextListDialog {
public:
    TCtags* GetTags() const noexcept { return FTags; }
    // The tags must stay as they are while the dialog exists.
    void SetTags(TCtags* Value);
    // The tag a row shows, or -1 for no row; the row of a tag.
    int TagOfRow(intptr_t Row) const noexcept;
    intptr_t RowOfTag(int Tag) const noexcept;

    // Name order, file order (by line) or the best match first (then name
    // order); switching it keeps the current tag current and the filter as
    // it is.
    TListOrder GetOrder() const noexcept { return FOrderKind; }
    void SetOrder(TListOrder Value);
    // Whether names holding the typed characters in order with gaps match.
    void SetFuzzy(bool Value) noexcept { FFuzzy = Value; }
    // The editor's cursor line (from 0): among matches alike the tag
    // nearest above it is the best.
    void SetCursorLine(intptr_t Value) noexcept { FCursorLine = Value; }
    // The kind the rows are limited to; empty for all kinds.
    std::wstring GetKindFilter() const;
    // Steps through all kinds and each kind present, Delta at a time.
    void StepKind(int Delta);
    // The kinds present, in order.
    const std::vector<std::wstring>& GetKinds() const noexcept { return FKinds; }
    intptr_t GetEditorId() const noexcept { return FEditorId; }
    void SetEditorId(intptr_t Value) noexcept { FEditorId = Value; }

    // Whether any tag's name matches Filter.
    bool HasMatch(const std::wstring& Filter);

    void BuildControls() override;
    void Placed() override;
    void SearchEditKeyDown(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled) override;
    void ApplyFilter(const std::wstring& Filter) override;
    bool ItemMatches(intptr_t Index, const std::wstring& Filter) override;
    void ItemSelected(intptr_t Index) override;
    void PrepareFilter() override;

    void BuildRows() override;

protected:
    friend class TFarDialog;
    TFunctionListDialog() : TContextListDialog(FunctionListDialogGuid) {}
    void AfterConstruction() override;

private:
    const std::wstring& UpperName(int Tag);
    void PrepareNames();
    // The typed text readied for matching, once per change.
    const TMatchPattern& Pattern(const std::wstring& Filter);
    TMatchRank RankOf(int Tag);
    std::uint64_t TieOf(int Tag) const noexcept;
    void MakeOrder();
    void UpdateTitle();
    // Shows the rows again as the order and the kind now say, keeping the
    // current tag where it is still shown.
    void Refilter(bool Rebuild);

    TCtags* FTags = nullptr;
    TListOrder FOrderKind = TListOrder::ByName;
    bool FFuzzy = false;
    intptr_t FCursorLine = -1;
    TMatchPattern FPattern;
    bool FPatternReady = false;
    // The filter the rows were put in order of match for.
    std::wstring FOrderedFor;
    TBestMatch FBest;
    std::vector<int> FOrder; // the tag of each row
    std::vector<std::wstring> FKinds;
    int FKind = -1; // into FKinds; -1 for all kinds
    intptr_t FEditorId = -1;
    // The names in capitals and their masks, made when a filter first
    // needs them.
    struct TNames {
        std::vector<std::wstring> Upper;
        std::vector<TMatchMask> Masks;
    };
    std::shared_ptr<const TNames> FNames;
};
