// One filter change of a search dialog over 100,000 rows: the framework's
// own work from the typed text to the list message, against an empty pass
// over the same rows; building and sending that list message to a running
// dialog; and whole filter changes in a running dialog, the worst one (from
// every row shown to only the last) against a pass that shows them all.
// Then the filter with ranking (every name ranked, the best one picked)
// against the plain substring pass over the same names: 100,000 names of
// functions, substring and fuzzy, and 8,000,000 names of a large project.
#include "BenchUtil.h"
#include "BenchPlugin.h"

#include "base/uMatch.h"
#include "base/uStrings.h"
#include "dialogs/uFarDialog.h"
#include "plugin/uPlugin.h"
#include "dialogs/uSearchDialog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

using namespace bench;

namespace {

constexpr int Rows = 100000;

// {5D0B7E2A-1C4F-4A83-B6E9-7F2D3C8A9E15}
constexpr GUID BenchDialogGuid = {0x5d0b7e2a, 0x1c4f, 0x4a83, {0xb6, 0xe9, 0x7f, 0x2d, 0x3c, 0x8a, 0x9e, 0x15}};

class TBenchDialog : public TSearchDialog {
public:
    TBenchDialog() : TSearchDialog(BenchDialogGuid) {}
};

// Rows as the function list writes them: line, name and kind in columns.
std::wstring Row(int Index)
{
    static const wchar_t* const Verbs[] = {L"Get", L"set", L"Parse", L"read", L"Write", L"load", L"Init", L"free"};
    static const wchar_t* const Nouns[] = {L"Item", L"buffer", L"Line", L"tag", L"Name", L"value", L"Node", L"list"};
    const unsigned Mix = static_cast<unsigned>(Index) * 2654435761u;
    std::wstring Name = std::wstring(Verbs[Mix % 8]) + Nouns[(Mix >> 8) % 8] + std::to_wstring(Index);
    Name.resize(40, L' ');
    wchar_t Line[16];
    std::swprintf(Line, 16, L"%6d", Index * 7 + 1);
    return std::wstring(Line) + L"|" + Name + L"|function";
}

int RunDialog()
{
    TBenchPlugin Plugin;
    if (!Plugin.Started())
        return 1;
    TFarHost& Host = Plugin.Host();
    {
        auto Dialog = TFarDialog::Create<TBenchDialog>();
        TListboxItems& Items = Dialog->GetList()->GetItems();
        const double Building = Best(1, [&] {
            Items.Reserve(Rows);
            for (int I = 0; I < Rows; ++I)
                Items.AddItem(Row(I));
        });

        // What the dialog readies once as it starts: every row upper-cased.
        const double Prepare = Best(1, [&] { Dialog->PrepareFilter(); });
        // Not yet running: a filter pass is the framework's work alone (the
        // closing of the bracket only points the item at the list).
        unsigned Sink = 0;
        const double Empty = Best(7, [&] {
            for (intptr_t I = 0; I < Items.Count(); ++I)
                Sink += static_cast<unsigned>(Items.GetItem(I)->GetFlags() >> 16);
        });
        std::printf("search dialog, %d rows (made in %.1f ms; readied for filtering as the dialog starts in "
                    "%.1f ms)\n",
                    Rows, Building * 1000, Prepare * 1000);
        for (const wchar_t* Filter : {L"item", L"parseline12", L"zz", L""}) {
            const double Pass = Best(7, [&] { Dialog->ApplyFilter(Filter); });
            std::printf("  filter \"%ls\": %.2f ms, an empty pass over the rows %.2f ms, the framework's own "
                        "work %.2f ms (target <= 10)\n",
                        Filter, Pass * 1000, Empty * 1000, (Pass - Empty) * 1000);
        }

        // Running: the whole list handed to the host in one message; then
        // a filter that leaves only the last row, each time from all rows
        // shown (the host gets the shown rows alone, so this is the cheap
        // end; it was the dear one while the host got every row).
        double Sync = 0;
        double ToLast = 1e30;
        double ToAll = 1e30;
        Host.QueueDialogScript(TDialogScript()
                                   .Check([&](THostDialog&) {
                                       Sync = Best(5, [&] { Dialog->GetList()->SyncItems(); });
                                       for (int I = 0; I < 5; ++I) {
                                           ToLast = std::min(ToLast, Best(1, [&] { Dialog->ApplyFilter(L"99999"); }));
                                           ToAll = std::min(ToAll, Best(1, [&] { Dialog->ApplyFilter(L""); }));
                                       }
                                   })
                                   .Esc());
        TFarDialog::TButton* Button;
        Dialog->Run(Button);
        std::printf("  building and sending the list message for %d rows: %.2f ms (target <= 30)%s\n", Rows,
                    Sync * 1000, Sink == 1 ? " " : "");
        std::printf("  running, a filter that leaves only the last row: %.2f ms; back to all %d rows: %.2f ms; "
                    "ratio %.2f (target: at most 1)\n",
                    ToLast * 1000, Rows, ToAll * 1000, ToLast / ToAll);
    }
    return 0;
}

// Names as a long list would keep them: one text for all, upper-cased once,
// with where each name starts and its mask.
class TNames {
public:
    void Add(std::wstring_view Name)
    {
        FStarts.push_back(FText.size());
        FText += Name;
    }
    void Prepare()
    {
        FStarts.push_back(FText.size());
        FUpper = UpperCaseText(FText);
        FMasks.resize(Count());
        for (size_t I = 0; I < Count(); ++I)
            FMasks[I] = MatchMask(Name(I), Upper(I));
    }
    size_t Count() const { return FStarts.size() - 1; }
    std::wstring_view Name(size_t I) const { return View(FText, I); }
    std::wstring_view Upper(size_t I) const { return View(FUpper, I); }
    TMatchMask Mask(size_t I) const { return FMasks[I]; }

private:
    std::wstring_view View(const std::wstring& Text, size_t I) const
    {
        return std::wstring_view(Text).substr(FStarts[I], FStarts[I + 1] - FStarts[I]);
    }

    std::wstring FText;
    std::wstring FUpper;
    std::vector<size_t> FStarts;
    std::vector<TMatchMask> FMasks;
};

const wchar_t* const Verbs[] = {L"get",    L"set",     L"read",     L"write",  L"create", L"delete",
                                L"update", L"release", L"register", L"enable", L"reset",  L"select",
                                L"handle", L"free",    L"init",     L"alloc"};
const wchar_t* const Nouns[] = {L"device", L"queue", L"table",  L"entry",  L"header", L"offset",   L"length",
                                L"state",  L"timer", L"page",   L"inode",  L"buffer", L"resource", L"channel",
                                L"sector", L"event", L"socket", L"vector", L"memory", L"frame",    L"packet",
                                L"cache",  L"list",  L"node",   L"lock",   L"irq",    L"dma",      L"pci",
                                L"mem",    L"map",   L"task",   L"file"};

std::wstring Capital(const wchar_t* Word)
{
    std::wstring Result = Word;
    Result[0] = static_cast<wchar_t>(Result[0] - L'a' + L'A');
    return Result;
}

// Function names, camel-case and with underscores, numbered so that a
// filter can leave only the last.
std::wstring FunctionName(unsigned Index)
{
    const unsigned Mix = Index * 2654435761u;
    const wchar_t* Verb = Verbs[Mix % 16];
    const wchar_t* First = Nouns[(Mix >> 4) % 32];
    const wchar_t* Second = Nouns[(Mix >> 9) % 32];
    if (Index % 2 == 0)
        return Verb + Capital(First) + Capital(Second) + std::to_wstring(Index);
    return std::wstring(Verb) + L"_" + First + L"_" + Second + L"_" + std::to_wstring(Index);
}

// A kernel's names: functions, configuration symbols and structure fields.
std::wstring ProjectName(unsigned Index)
{
    const unsigned Mix = Index * 2654435761u;
    switch (Index % 3) {
    case 0:
        return std::wstring(L"__") + Verbs[Mix % 16] + L"_" + Nouns[(Mix >> 4) % 32] + L"_" + std::to_wstring(Index);
    case 1: return L"CONFIG_" + UpperCaseText(Nouns[(Mix >> 9) % 32]) + L"_" + UpperCaseText(Nouns[(Mix >> 14) % 32]);
    default: return std::wstring(Nouns[(Mix >> 19) % 32]) + L"_" + Nouns[(Mix >> 24) % 32];
    }
}

std::vector<std::uint8_t> Shown;

// Today's filter: the substring test on every name.
void PlainPass(const TNames& Names, const wchar_t* Filter)
{
    const std::wstring UpperFilter = UpperCaseText(Filter);
    for (size_t I = 0; I < Names.Count(); ++I)
        Shown[I] = ContainsUpperText(Names.Upper(I), UpperFilter);
}

// The filter with ranking: every name ranked, shown when it matches, and
// the best match picked, ties going to the name nearest the middle (as the
// function list prefers the tag nearest the cursor).
template <bool UseMasks>
std::intptr_t RankedPass(const TNames& Names, const wchar_t* Filter, bool Fuzzy)
{
    const TMatchPattern Pattern(Filter, Fuzzy);
    const auto Middle = static_cast<std::intptr_t>(Names.Count() / 2);
    TBestMatch Best;
    for (size_t I = 0; I < Names.Count(); ++I) {
        const TMatchRank Rank = UseMasks ? Pattern.Rank(Names.Name(I), Names.Upper(I), Names.Mask(I))
                                         : Pattern.Rank(Names.Name(I), Names.Upper(I));
        Shown[I] = Rank.IsMatch();
        const auto Index = static_cast<std::intptr_t>(I);
        Best.Offer(Index, Rank, static_cast<std::uint64_t>(Index < Middle ? Middle - Index : Index - Middle));
    }
    return Best.Index();
}

// Medians of runs taken in turn: the plain pass, the ranking with the
// names' masks (as the lists keep them, one per name) and without.
void CompareRanking(const TNames& Names, const wchar_t* Filter, bool Fuzzy, int Runs, double Target)
{
    std::vector<double> Plain;
    std::vector<double> Ranked;
    std::vector<double> Unmasked;
    std::intptr_t Picked = -1;
    for (int Run = 0; Run < Runs; ++Run) {
        Plain.push_back(Best(1, [&] { PlainPass(Names, Filter); }));
        Unmasked.push_back(Best(1, [&] { RankedPass<false>(Names, Filter, Fuzzy); }));
        Ranked.push_back(Best(1, [&] { Picked = RankedPass<true>(Names, Filter, Fuzzy); }));
    }
    size_t Matching = 0;
    for (const std::uint8_t Flag : Shown)
        Matching += Flag;
    const double Base = Median(Plain);
    std::printf("  %s \"%ls\", %.1f%% shown, best %ls: plain %.2f ms, ranked %.2f ms, ratio %.2f (target <= %.1f); "
                "without masks %.2f ms\n",
                Fuzzy ? "fuzzy" : "substring", Filter, 100.0 * static_cast<double>(Matching) / Names.Count(),
                Picked < 0 ? L"none" : std::wstring(Names.Name(static_cast<size_t>(Picked))).c_str(), Base * 1000,
                Median(Ranked) * 1000, Median(Ranked) / Base, Target, Median(Unmasked) * 1000);
}

int RunRanking()
{
    {
        TNames Names;
        for (unsigned I = 0; I < 100000; ++I)
            Names.Add(FunctionName(I));
        Names.Prepare();
        Shown.assign(Names.Count(), 0);
        std::printf("ranking 100,000 function names (%ls, %ls, ...) against the plain substring pass\n",
                    std::wstring(Names.Name(0)).c_str(), std::wstring(Names.Name(1)).c_str());
        // Substrings: only the last name; nearly every name; one in twelve,
        // most names holding its first letter more than once. Fuzzy: only
        // the last name; nothing, though most names hold both characters;
        // nearly all; and most, none of them as a substring.
        for (const wchar_t* Filter : {L"99999", L"e", L"ee"})
            CompareRanking(Names, Filter, false, 15, 1.5);
        for (const wchar_t* Filter : {L"99999", L"9e", L"ee", L"eee"})
            CompareRanking(Names, Filter, true, 15, 3);
    }
    TNames Names;
    const double Making = Best(1, [&] {
        for (unsigned I = 0; I < 8000000; ++I)
            Names.Add(ProjectName(I));
        Names.Prepare();
    });
    Shown.assign(Names.Count(), 0);
    std::printf("ranking 8,000,000 project names (%ls, %ls, %ls, ...; made in %.1f s) against a plain substring "
                "scan\n",
                std::wstring(Names.Name(0)).c_str(), std::wstring(Names.Name(1)).c_str(),
                std::wstring(Names.Name(2)).c_str(), Making);
    // The last name only; nothing, though most names hold the character;
    // nearly all; most, a few as a substring; a third, none as one.
    for (const wchar_t* Filter : {L"7999998", L"aaa", L"_e", L"e_e", L"eee"})
        CompareRanking(Names, Filter, true, 5, 3);
    return 0;
}

int Run()
{
    const int Result = RunDialog();
    return Result != 0 ? Result : RunRanking();
}

} // namespace

int main()
{
    return RunBench("filter", Run);
}
