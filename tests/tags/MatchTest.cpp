// The rank of a name against the typed filter: the order of the kinds of
// match, fuzzy matching, and the pick of the best of many names.
#include "base/uMatch.h"
#include "base/uStrings.h"
#include "dialogs/uSearchDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// Failures name the kind.
static void PrintTo(TMatchKind Kind, std::ostream* Out)
{
    static const char* const Names[] = {"ExactCase", "Exact",    "PrefixCase", "Prefix",
                                        "WordStart", "Anywhere", "Fuzzy",      "None"};
    *Out << Names[static_cast<int>(Kind)];
}

static void PrintTo(TMatchRank Rank, std::ostream* Out)
{
    PrintTo(Rank.Kind(), Out);
    *Out << " " << (Rank.Key() & 0xFFFFFF);
}

namespace {

TMatchRank RankOf(const std::wstring& Name, const std::wstring& Typed, bool Fuzzy = false)
{
    const TMatchPattern Pattern(Typed, Fuzzy);
    const std::wstring Upper = UpperCaseText(Name);
    const TMatchRank Rank = Pattern.Rank(Name, Upper);
    // The mask only spares work: it never changes the answer.
    EXPECT_EQ(Pattern.Rank(Name, Upper, MatchMask(Name, Upper)), Rank) << "name " << ::testing::PrintToString(Name);
    EXPECT_EQ(Rank.IsMatch(), Pattern.Matches(Upper, MatchMask(Name, Upper)));
    return Rank;
}

bool IsSeparator(wchar_t C)
{
    return C == L'_' || C == L':' || C == L'.' || C == L'-';
}

bool StartsWordAt(const std::wstring& Name, size_t I)
{
    return !IsSeparator(Name[I]) &&
           (I == 0 || IsSeparator(Name[I - 1]) || (::IsCharLowerW(Name[I - 1]) && ::IsCharUpperW(Name[I])));
}

// The kind of substring match, found by looking at every occurrence; the
// typed text's leading separators lead to the word after them.
TMatchKind SubstringKind(const std::wstring& Name, const std::wstring& Typed)
{
    const std::wstring Upper = UpperCaseText(Name);
    const std::wstring UpperTyped = UpperCaseText(Typed);
    if (Upper == UpperTyped)
        return Name == Typed ? TMatchKind::ExactCase : TMatchKind::Exact;
    if (Upper.rfind(UpperTyped, 0) == 0)
        return Name.rfind(Typed, 0) == 0 ? TMatchKind::PrefixCase : TMatchKind::Prefix;
    const size_t Lead = std::find_if_not(Typed.begin(), Typed.end(), IsSeparator) - Typed.begin();
    for (size_t Pos = Upper.find(UpperTyped); Pos != std::wstring::npos; Pos = Upper.find(UpperTyped, Pos + 1))
        if (Lead < Typed.size() && StartsWordAt(Name, Pos + Lead))
            return TMatchKind::WordStart;
    return Upper.find(UpperTyped) != std::wstring::npos ? TMatchKind::Anywhere : TMatchKind::None;
}

// The least fuzzy penalty over every alignment of the typed text in Name,
// found by trying them all.
std::optional<long> BestAlignment(const std::wstring& Name, const std::wstring& Upper, const std::wstring& UpperTyped,
                                  size_t J = 0, size_t From = 0, long Last = -1)
{
    if (J == UpperTyped.size())
        return 0;
    std::optional<long> Best;
    for (size_t I = From; I < Upper.size(); ++I) {
        const std::optional<long> Rest = Upper[I] == UpperTyped[J] ? BestAlignment(Name, Upper, UpperTyped, J + 1,
                                                                                   I + 1, static_cast<long>(I))
                                                                   : std::nullopt;
        if (!Rest)
            continue;
        const long Gap = J == 0 || static_cast<long>(I) == Last + 1 ? 0 : 3 + (static_cast<long>(I) - Last - 1);
        Best = std::min(Best.value_or(LONG_MAX), *Rest + Gap - (StartsWordAt(Name, I) ? 3 : 0));
    }
    return Best;
}

} // namespace

TEST(MatchRank, EachStepOfTheOrderCaseAsTypedFirst)
{
    struct TCase {
        const wchar_t* Name;
        const wchar_t* Typed;
        TMatchKind Kind;
    };
    const TCase Cases[] = {
        {L"area", L"area", TMatchKind::ExactCase},
        {L"Area", L"area", TMatchKind::Exact},
        {L"area_total", L"area", TMatchKind::PrefixCase},
        {L"AREA_total", L"area", TMatchKind::Prefix},
        {L"calc_area", L"area", TMatchKind::WordStart},
        {L"Geo::area", L"area", TMatchKind::WordStart},
        {L"shape.area", L"area", TMatchKind::WordStart},
        {L"shape-area", L"area", TMatchKind::WordStart},
        {L"getUserName", L"user", TMatchKind::WordStart},
        {L"subarea_area", L"area", TMatchKind::WordStart},
        {L"x__area", L"_area", TMatchKind::WordStart},
        {L"subarea", L"area", TMatchKind::Anywhere},
        {L"CALCAREA", L"area", TMatchKind::Anywhere},
        {L"a__b", L"__", TMatchKind::Anywhere},
        {L"volume", L"area", TMatchKind::None},
        // One letter, which the name's mask answers alone.
        {L"E", L"e", TMatchKind::Exact},
        {L"entry", L"e", TMatchKind::PrefixCase},
        {L"getEntry", L"e", TMatchKind::WordStart},
        {L"get", L"e", TMatchKind::Anywhere},
        // Upper-cased as the locale does it, and a case change there starts
        // a word too.
        {L"Функция", L"функция", TMatchKind::Exact},
        {L"функция", L"функция", TMatchKind::ExactCase},
        {L"Éclair_x", L"écl", TMatchKind::Prefix},
        {L"café_crème", L"CRÈME", TMatchKind::WordStart},
        {L"получитьИмя", L"имя", TMatchKind::WordStart},
        {L"получитьимя", L"имя", TMatchKind::Anywhere},
    };
    for (const TCase& Case : Cases)
        for (const bool Fuzzy : {false, true})
            EXPECT_EQ(RankOf(Case.Name, Case.Typed, Fuzzy).Kind(), Case.Kind)
                << ::testing::PrintToString(std::wstring(Case.Name)) << " for "
                << ::testing::PrintToString(std::wstring(Case.Typed)) << (Fuzzy ? ", fuzzy" : "");
    // Every name matches the empty filter, all alike.
    EXPECT_EQ(RankOf(L"area", L""), RankOf(L"x", L""));
    EXPECT_TRUE(RankOf(L"area", L"").IsMatch());
}

TEST(MatchRank, TheBestOfManyWithTheListsOwnTies)
{
    const std::vector<std::wstring> Names = {L"area_total", L"subarea", L"calc_area", L"Area", L"area", L"mid_area"};
    // Tie: what the list prefers among equal ranks, here the row nearest to
    // Near.
    const auto Pick = [&](const wchar_t* Typed, bool Fuzzy, std::intptr_t Near) {
        const TMatchPattern Pattern(Typed, Fuzzy);
        TBestMatch Best;
        for (size_t I = 0; I < Names.size(); ++I) {
            const auto Index = static_cast<std::intptr_t>(I);
            Best.Offer(Index, Pattern.Rank(Names[I], UpperCaseText(Names[I])),
                       static_cast<std::uint64_t>(Index < Near ? Near - Index : Index - Near));
        }
        return Best.Index();
    };
    EXPECT_EQ(Pick(L"area", false, 0), 4) << "the better rank, however far";
    EXPECT_EQ(Pick(L"AREA", false, 0), 3) << "Area and area tie without case";
    EXPECT_EQ(Pick(L"AREA", false, 5), 4);
    EXPECT_EQ(Pick(L"_area", false, 0), 2);
    EXPECT_EQ(Pick(L"_area", false, 5), 5);
    EXPECT_EQ(Pick(L"_area", false, 6), 5);
    EXPECT_EQ(Pick(L"zz", true, 0), -1) << "no match is never chosen";
}

TEST(MatchPattern, RandomNamesAgainstTheSubstringTestEveryOccurrenceAndEveryAlignment)
{
    // A small alphabet makes every kind of match common. Without fuzzy
    // matching a name matches exactly when the filters' substring test says
    // so.
    const std::wstring Alphabet = L"aAbBcC_:.-яЯ1";
    std::mt19937 Random(25);
    const auto Text = [&](size_t Max) {
        std::wstring Result(Random() % (Max + 1), L' ');
        for (wchar_t& C : Result)
            C = Alphabet[Random() % Alphabet.size()];
        return Result;
    };
    for (int Round = 0; Round < 4000; ++Round) {
        const std::wstring Name = Text(10);
        const std::wstring Typed = Text(4);
        const std::wstring Upper = UpperCaseText(Name);
        const std::wstring UpperTyped = UpperCaseText(Typed);
        const bool Contains = ContainsUpperText(Upper, UpperTyped);
        const std::optional<long> Best = BestAlignment(Name, Upper, UpperTyped);
        SCOPED_TRACE(::testing::PrintToString(Name) + " for " + ::testing::PrintToString(Typed));
        const TMatchRank Plain = RankOf(Name, Typed);
        EXPECT_EQ(TMatchPattern(Typed, false).Matches(Upper), Contains);
        EXPECT_EQ(Plain.Kind(), Typed.empty() ? TMatchKind::Anywhere : SubstringKind(Name, Typed));
        EXPECT_EQ(Plain.IsMatch(), Contains);
        const TMatchRank Fuzzy = RankOf(Name, Typed, true);
        EXPECT_EQ(TMatchPattern(Typed, true).Matches(Upper), Best.has_value());
        if (Contains)
            EXPECT_EQ(Fuzzy, Plain);
        else if (Best)
            EXPECT_EQ(Fuzzy, TMatchRank(TMatchKind::Fuzzy, static_cast<std::uint32_t>(*Best + 3 * Typed.size())));
        else
            EXPECT_FALSE(Fuzzy.IsMatch());
    }
}

TEST(MatchRank, FuzzyBelowSubstringsByFewerShorterGapsAndWordStarts)
{
    struct TCase {
        const wchar_t* Typed;
        const wchar_t* Better;
        const wchar_t* Worse;
    };
    const TCase Cases[] = {
        {L"abc", L"xabcx", L"abxc"},              // any substring before any fuzzy match
        {L"abcd", L"abxxcd", L"axbxcd"},          // fewer gaps
        {L"abc", L"abxc", L"abxxxc"},             // shorter gaps
        {L"fb", L"foo_bar", L"fooxbar"},          // on a word start
        {L"gtusr", L"getUserRecord", L"gatusrx"}, // the initials of words
        {L"GTUSR", L"getUserRecord", L"gatusrx"}, // without case
        {L"пим", L"получитьИмя", L"пxxxxxxим"},
    };
    for (const TCase& Case : Cases) {
        const TMatchRank Better = RankOf(Case.Better, Case.Typed, true);
        const TMatchRank Worse = RankOf(Case.Worse, Case.Typed, true);
        EXPECT_EQ(Worse.Kind(), TMatchKind::Fuzzy) << ::testing::PrintToString(std::wstring(Case.Worse));
        EXPECT_LT(Better, Worse) << ::testing::PrintToString(std::wstring(Case.Better)) << " against "
                                 << ::testing::PrintToString(std::wstring(Case.Worse));
    }
    EXPECT_FALSE(RankOf(L"getUserRecord", L"gtusr", false).IsMatch());
    // A typed text too long to score still matches, below the substrings.
    const std::wstring Long(TMatchPattern::MaxFuzzyLength + 6, L'a');
    std::wstring Spread;
    for (const wchar_t C : Long)
        Spread += std::wstring(1, C) + L"_";
    EXPECT_EQ(RankOf(Spread, Long, true).Kind(), TMatchKind::Fuzzy);
    EXPECT_FALSE(RankOf(Spread.substr(2), Long, true).IsMatch());
}
