#include "plugin/uProjectTags.h"

#include "base/Handle.h"
#include "base/uMatch.h"
#include "base/uStrings.h"
#include "base/uSystem.h"
#include "bridge/uFarEditor.h"
#include "bridge/uFarProgress.h"
#include "bridge/uFarSynchro.h"
#include "dialogs/uFarListbox.h"
#include "plugin/uEditorTasks.h"
#include "plugin/uHelpTopics.h"
#include "plugin/uMakeTags.h"
#include "plugin/uMessages.h"
#include "plugin/uPlaceListUI.h"
#include "tags/uProjectIndex.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace {

// {7D3A1E65-B240-4F9C-8E27-5A0C6F1B3D98}
constexpr GUID ProjectTagsDialogGuid = {0x7d3a1e65, 0xb240, 0x4f9c, {0x8e, 0x27, 0x5a, 0x0c, 0x6f, 0x1b, 0x3d, 0x98}};

void Warn(const std::vector<std::wstring>& Lines)
{
    TFarModule::Message(far3::FMSG_WARNING, Lines, 1);
}

// A count as the user's locale writes numbers ("7,869,063").
std::wstring Grouped(size_t Count)
{
    const std::wstring Digits = std::to_wstring(Count);
    NUMBERFMTW Format{};
    wchar_t Separator[8] = L",", Decimal[8] = L".";
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Separator, 8);
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Decimal, 8);
    Format.Grouping = 3;
    Format.LeadingZero = 1;
    Format.lpThousandSep = Separator;
    Format.lpDecimalSep = Decimal;
    wchar_t Text[64];
    return ::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Digits.c_str(), &Format, Text, 64) > 0 ? std::wstring(Text)
                                                                                             : Digits;
}

// The name as the index keeps names: UTF-8, its ASCII letters upper-cased.
std::string IndexSpelling(const std::wstring& Text, const TTagsFile& File)
{
    std::string Bytes = File.Format().Encode(Text);
    for (char& C : Bytes)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    return Bytes;
}

// A large tags file's index, read on a thread of its own while the list
// already shows the file's first tags: the list opens at once, and only a
// filter waits for what is left of the reading. The file must outlive it.
class TIndexReading {
public:
    TIndexReading(const TTagsFile& File, std::uintptr_t Token)
        : FThread([this, &File, Token] {
              try {
                  FIndex = TProjectIndex::Of(File, &FStop);
              } catch (...) {
                  FFailure = std::current_exception();
              }
              FDone = true;
              // The list counts what it shows once the index is there.
              TFarSynchro::Post(Token);
          })
    {
    }
    ~TIndexReading()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
    }
    TIndexReading(const TIndexReading&) = delete;
    TIndexReading& operator=(const TIndexReading&) = delete;

    bool Done() const noexcept { return FDone; }
    // Waits for the end of the reading; what ended it passes out.
    std::shared_ptr<const TProjectIndex> Take()
    {
        if (FThread.joinable())
            FThread.join();
        if (FFailure)
            std::rethrow_exception(FFailure);
        return FIndex;
    }

private:
    std::atomic<bool> FStop = false;
    std::atomic<bool> FDone = false;
    std::shared_ptr<const TProjectIndex> FIndex;
    std::exception_ptr FFailure;
    // Last: it starts as the rest is ready.
    std::thread FThread;
};

class TProjectTagsDialog : public TPlaceListDialog, private TSynchroTarget {
public:
    // A tags file this large is read behind its list.
    static constexpr std::uint64_t ReadBehindBytes = 4u << 20;
    // How many rows the list holds at most: Far's list box is quick with a
    // few thousand; the title says how many match in all.
    static constexpr size_t MaxRows = 2000;
    // How many of the best matches join them from anywhere in the project.
    static constexpr size_t BestRows = 64;

    void SetSource(const TTagsFile* File, std::shared_ptr<const TProjectIndex> Index, std::uint32_t Excluded,
                   const TCtags* Local, std::wstring LocalFile)
    {
        FFile = File;
        FIndex = std::move(Index);
        FExcluded = Excluded;
        FLocal = Local;
        FLocalFile = std::move(LocalFile);
        if (FIndex)
            Count();
    }
    // Without an index: the first tags of the file are shown, and the index
    // is read behind them.
    void ReadBehind()
    {
        FPreview = TProjectIndex::FirstTags(*FFile, TProjectIndex::FileNumbers(*FFile, FLocalFile), MaxRows);
        FToken = TFarSynchro::Register(this);
        FReading = std::make_unique<TIndexReading>(*FFile, FToken);
    }
    ~TProjectTagsDialog() override
    {
        FReading.reset();
        TFarSynchro::Unregister(FToken);
    }
    void SetFuzzy(bool Value) noexcept { FFuzzy = Value; }

    void ApplyFilter(const std::wstring& Filter) override { Refill(Filter); }
    bool ItemMatches(intptr_t, const std::wstring&) override { return true; }
    void PrepareFilter() override {}

    void SearchEditKeyDown(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled) override
    {
        const DWORD State = ControlKeyState & KeyModifiers;
        if (!Handled && VirtualKey == VK_F3 && (State == 0 || State == SHIFT_PRESSED)) {
            ApplyPendingFilter();
            StepKind(State == 0 ? 1 : -1);
            Handled = true;
        }
        TPlaceListDialog::SearchEditKeyDown(Sender, VirtualKey, ControlKeyState, Handled);
    }

    void BuildControls() override
    {
        TPlaceListDialog::BuildControls();
        GetList()->OnKeyDown = [this](TControl& Sender, WORD Key, DWORD State, bool& Handled) {
            if (Key == VK_F3)
                SearchEditKeyDown(Sender, Key, State, Handled);
        };
    }

    void Placed() override { UpdateTitle(); }

protected:
    friend class TFarDialog;
    TProjectTagsDialog() : TPlaceListDialog(ProjectTagsDialogGuid) {}
    void AfterConstruction() override
    {
        TPlaceListDialog::AfterConstruction();
        SetShowNames(true);
        SetHelpTopic(HelpProjectTags);
    }

private:
    void Count()
    {
        // The edited file's tags once, its fresh ones.
        FTotal = FIndex->Find({"", false, FExcluded}).Count + (FLocal ? static_cast<size_t>(FLocal->Count()) : 0);
    }

    // The index read behind the list, waited for where it is not there yet.
    void AwaitIndex()
    {
        if (FIndex || !FReading)
            return;
        TFarProgress Progress;
        if (!FReading->Done())
            Progress.Show({GetMsg(MTitle), GetMsg(MReadingProjectTags), Progress.FitText(FFile->Path())}, false);
        const auto Hide = ScopeExit([&] { Progress.Hide(); });
        const auto Ended = ScopeExit([&] { FReading.reset(); });
        FIndex = FReading->Take();
        FExcluded = FIndex->FileNumber(*FFile, FLocalFile);
        FPreview.clear();
        Count();
    }

    void SynchroEvent() override
    {
        if (!FReading || !FReading->Done())
            return;
        // No dialog event carries a failure out from here: it ends the run
        // as one inside an event does.
        try {
            AwaitIndex();
        } catch (...) {
            CaptureFailure(std::current_exception());
            return;
        }
        // Until now every filter and kind waited for the index: the rows
        // shown are the file's first, the index's own, and only the count
        // was missing.
        FMatched = FTotal;
        UpdateTitle();
    }

    void StepKind(int Delta)
    {
        AwaitIndex();
        // Every kind of the project, read on the first press.
        if (FKinds.empty()) {
            std::vector<std::wstring> Kinds = FIndex->Kinds(*FFile).Names;
            for (int I = 0; FLocal && I < FLocal->Count(); ++I)
                Kinds.push_back(FLocal->GetItem(I)->Kind);
            std::sort(Kinds.begin(), Kinds.end());
            Kinds.erase(std::unique(Kinds.begin(), Kinds.end()), Kinds.end());
            std::erase(Kinds, std::wstring());
            FKinds = std::move(Kinds);
        }
        const int Choices = static_cast<int>(FKinds.size()) + 1;
        FKind = ((FKind + 1 + Delta) % Choices + Choices) % Choices - 1;
        Refill(GetSearchEdit() ? GetSearchEdit()->GetText() : std::wstring());
    }

    void Refill(const std::wstring& Filter)
    {
        if (!FIndex && FReading && Filter.empty() && FKind < 0) {
            ShowPreview();
            return;
        }
        AwaitIndex();
        // A reading that failed has closed the list with its failure.
        if (!FIndex)
            return;
        const std::wstring Kind = FKind >= 0 ? FKinds[static_cast<size_t>(FKind)] : std::wstring();
        const TMatchPattern Pattern(Filter, FFuzzy);
        std::vector<TPlaceRow> Rows;
        size_t Count = 0;
        // The edited file's fresh tags first: its entries of the tags file
        // may be stale.
        for (int I = 0; FLocal && I < FLocal->Count(); ++I) {
            const TCtagsItem* Item = FLocal->GetItem(I);
            if ((!Kind.empty() && Item->Kind != Kind) || !Pattern.Matches(UpperCaseText(Item->Name)))
                continue;
            ++Count;
            if (Rows.size() < MaxRows)
                Rows.push_back(LocalRow(*Item));
        }
        const size_t LocalRows = Rows.size();
        TProjectIndex::TQuery Query;
        if (!Kind.empty()) {
            const TProjectIndex::TKinds& All = FIndex->Kinds(*FFile);
            const auto Found = std::find(All.Names.begin(), All.Names.end(), Kind);
            Query.Kinds = &All.Of;
            Query.Kind = Found == All.Names.end() ? UINT16_MAX : static_cast<std::uint16_t>(Found - All.Names.begin());
        }
        const std::string Spelling = IndexSpelling(Filter, *FFile);
        Query.UpperText = Spelling;
        Query.Fuzzy = FFuzzy;
        Query.Excluded = FExcluded;
        Query.Cap = MaxRows - Rows.size();
        // The best matches join the first ones wherever they are in the
        // file: the one named as typed may come after thousands that merely
        // hold the text.
        Query.BestCount = Filter.empty() ? 0 : BestRows;
        TProjectIndex::TFound Found = FIndex->Find(Query);
        Count += Found.Count;
        std::vector<std::uint32_t> Tags = std::move(Found.First);
        Tags.insert(Tags.end(), Found.Best.begin(), Found.Best.end());
        std::sort(Tags.begin(), Tags.end());
        Tags.erase(std::unique(Tags.begin(), Tags.end()), Tags.end());
        for (const std::uint32_t I : Tags) {
            std::optional<TTagsFileEntry> Entry = FFile->ReadEntry(FIndex->Offset(I));
            if (!Entry)
                continue;
            // ASCII letters only were compared; the rest as the locale does.
            if (!Pattern.Matches(UpperCaseText(Entry->Name)))
                continue;
            Rows.push_back(EntryRow(std::move(*Entry)));
        }
        // The best match is current: among equals the edited file's, then
        // the one of the shortest path. Without a filter the first row.
        TBestMatch Best;
        for (size_t Row = 0; Row < Rows.size() && !Filter.empty(); ++Row) {
            const std::wstring& Name = Rows[Row].Target.Name;
            const std::uint64_t Tie = Row < LocalRows
                                          ? 0
                                          : std::uint64_t{1} << 32 |
                                                std::min<size_t>(Rows[Row].Target.FileName.size(), UINT32_MAX);
            Best.Offer(static_cast<std::intptr_t>(Row), Pattern.Rank(Name, UpperCaseText(Name)), Tie);
        }
        FMatched = Count;
        Show(std::move(Rows), Best.Index());
    }

    void Show(std::vector<TPlaceRow> Rows, std::intptr_t Current)
    {
        SetRows(std::move(Rows), FFile->Folder());
        UpdateTitle();
        BuildRows();
        if (IsActive()) {
            GetList()->SetItemIndex(GetRows().empty() ? -1 : std::max<std::intptr_t>(Current, 0));
            ItemSelected(GetList()->GetItemIndex());
        }
    }

    TPlaceRow LocalRow(const TCtagsItem& Item) const
    {
        return {{FLocalFile, Item.Line, std::nullopt, Item.Name}, Item.Kind, Item.Scope};
    }

    static TPlaceRow EntryRow(TTagsFileEntry&& Entry)
    {
        return {{std::move(Entry.File), Entry.Line, std::move(Entry.Pattern), std::move(Entry.Name)},
                std::move(Entry.Kind),
                std::move(Entry.Scope)};
    }

    // What an index without a filter would show: the edited file's tags,
    // then the file's first ones.
    void ShowPreview()
    {
        std::vector<TPlaceRow> Rows;
        for (int I = 0; FLocal && I < FLocal->Count() && Rows.size() < MaxRows; ++I)
            Rows.push_back(LocalRow(*FLocal->GetItem(I)));
        for (size_t I = 0; I < FPreview.size() && Rows.size() < MaxRows; ++I)
            if (std::optional<TTagsFileEntry> Entry = FFile->ReadEntry(FPreview[I]))
                Rows.push_back(EntryRow(std::move(*Entry)));
        FMatched = Rows.size();
        Show(std::move(Rows), 0);
    }

    void UpdateTitle()
    {
        if (!GetList() || (!FIndex && !FReading))
            return;
        if (!FIndex) {
            SetTitle(Format(GetMsg(MProjectTagsCounting), {Grouped(FMatched)}));
            return;
        }
        std::wstring Title = Format(GetMsg(MProjectTagsTitle), {Grouped(FMatched), Grouped(FTotal)});
        if (FKind >= 0)
            Title += L", " + FKinds[static_cast<size_t>(FKind)];
        SetTitle(Title);
    }

    const TTagsFile* FFile = nullptr;
    std::shared_ptr<const TProjectIndex> FIndex;
    std::unique_ptr<TIndexReading> FReading;
    std::uintptr_t FToken = 0;
    std::vector<std::uint64_t> FPreview;
    std::uint32_t FExcluded = TProjectIndex::NoFile;
    const TCtags* FLocal = nullptr;
    std::wstring FLocalFile;
    std::vector<std::wstring> FKinds;
    int FKind = -1;
    size_t FMatched = 0;
    size_t FTotal = 0;
    bool FFuzzy = false;
};

} // namespace

bool ShowProjectTags(TPlaceStack& Places)
{
    TEditorTasks Tasks;
    Tasks.SetEditorId(far3::CURRENT_EDITOR);
    std::wstring EditorFile;
    if (!TFarEditor::GetFileName(far3::CURRENT_EDITOR, EditorFile)) {
        Warn({GetMsg(MTitle), GetMsg(MCannotReadEditor), GetMsg(MOk)});
        return false;
    }
    std::wstring TagsPath = FindTagsFile(EditorFile, Tasks.GetOptions().GetTagsFiles());
    if (TagsPath.empty()) {
        // Nothing to list yet: the way to a tags file is one key away.
        const intptr_t Answer = TFarModule::Message(0,
                                                    {GetMsg(MTitle), GetMsg(MNoTagsFileAbove),
                                                     ExtractFileDir(EditorFile), GetMsg(MMakeTagsNow), GetMsg(MCancel)},
                                                    2);
        // Made: the list of what was made follows at once.
        if (Answer != 0 || !MakeProjectTags(std::wstring(), &TagsPath))
            return false;
    }
    if (!Tasks.LoadTags())
        return false;
    std::unique_ptr<TTagsFile> File;
    std::shared_ptr<const TProjectIndex> Index;
    try {
        File = std::make_unique<TTagsFile>(TagsPath);
        // Read once a process for each version of the file; a large one
        // behind its list.
        Index = TProjectIndex::Known(*File);
        if (!Index && File->Size() < TProjectTagsDialog::ReadBehindBytes) {
            TFarProgress Progress;
            Progress.Show({GetMsg(MTitle), GetMsg(MReadingProjectTags), Progress.FitText(TagsPath)}, false);
            const auto Hide = ScopeExit([&] { Progress.Hide(); });
            Index = TProjectIndex::Of(*File);
        }
    } catch (const ETagsFileError& E) {
        Warn({GetMsg(MTitle), GetMsg(MTagsFileUnreadable), E.Message(), GetMsg(MOk)});
        return false;
    }
    TFileLines Files;
    auto Dialog = TFarDialog::Create<TProjectTagsDialog>();
    Dialog->SetFiles(&Files);
    Dialog->SetSource(File.get(), Index,
                      Index ? Index->FileNumber(*File, Tasks.GetEditorFileName()) : TProjectIndex::NoFile,
                      &Tasks.GetCtags(), Tasks.GetEditorFileName());
    if (!Index)
        Dialog->ReadBehind();
    TOptions& Options = Tasks.GetOptions();
    if (Options.GetFunctionSearchDelayEnabled() && Options.GetFunctionSearchDelay() > 0)
        Dialog->SetSearchDelay(static_cast<std::uint32_t>(Options.GetFunctionSearchDelay()));
    Dialog->SetFuzzy(Options.GetFunctionListFuzzy());
    Dialog->SetItemIndex(0);
    if (!Dialog->Execute())
        return false;
    const std::int32_t Row = Dialog->GetItemIndex();
    if (Row < 0 || static_cast<size_t>(Row) >= Dialog->GetRows().size())
        return false;
    const TJumpTarget Target = Dialog->GetRows()[static_cast<size_t>(Row)].Target;
    Dialog.reset();
    // The tags file goes before the jump: nobody can replace it while it is
    // mapped.
    File.reset();
    switch (JumpTo(Target, Places, Files)) {
    case TJumpResult::Moved: return true;
    case TJumpResult::Missing: Warn({GetMsg(MTitle), GetMsg(MFileGone), Target.FileName, GetMsg(MOk)}); return false;
    case TJumpResult::Failed: return false;
    }
    return false;
}
