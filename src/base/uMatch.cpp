#include "base/uMatch.h"

#include "base/uStrings.h"

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {

// '-', '.', ':' and '_' as bits from '-' on.
constexpr std::uint64_t SeparatorBits = 1ull << 0 | 1ull << 1 | 1ull << (L':' - L'-') | 1ull << (L'_' - L'-');

bool IsSeparator(wchar_t C) noexcept
{
    const unsigned Offset = static_cast<unsigned>(C) - L'-';
    return Offset < 64 && (SeparatorBits >> Offset & 1) != 0;
}

bool IsUpperLetter(wchar_t C) noexcept
{
    if (C < 0x80)
        return C >= L'A' && C <= L'Z';
    return ::IsCharUpperW(C) != FALSE;
}

// Whether a word of Name starts at Pos: at its first character, after a
// separator, or at an upper-case letter after a lower-case one. A letter is
// lower-case when upper-casing changes it, which asks the system nothing
// more. Separators start none.
inline bool StartsWord(const wchar_t* Name, const wchar_t* UpperName, size_t Pos) noexcept
{
    const wchar_t C = Name[Pos];
    if (IsSeparator(C))
        return false;
    if (Pos == 0)
        return true;
    const wchar_t Before = Name[Pos - 1];
    return IsSeparator(Before) || (Before != UpperName[Pos - 1] && IsUpperLetter(C));
}

// The weights of the fuzzy penalty (uMatch.h says why these).
constexpr std::int64_t GapOpen = 3;
constexpr std::int64_t GapUnit = 1;
constexpr std::int64_t WordStartBonus = 3;
// A penalty no alignment reaches. Gaps priced from it stay far above
// Reached, so the scoring below needs no test for it.
constexpr std::int64_t Unreached = INT64_MAX / 4;
constexpr std::int64_t Reached = Unreached / 2;

// The bit of a character in the low half of a mask.
unsigned MaskBit(wchar_t C) noexcept
{
    if (C >= L'A' && C <= L'Z')
        return static_cast<unsigned>(C - L'A');
    if (C >= L'0' && C <= L'9')
        return 26 + static_cast<unsigned>(C - L'0') % 3;
    return 29 + static_cast<unsigned>(C) % 3;
}

} // namespace

TMatchMask MatchMask(std::wstring_view Name, std::wstring_view UpperName) noexcept
{
    TMatchMask Mask = 0;
    for (size_t I = 0; I < UpperName.size(); ++I) {
        const TMatchMask Bit = TMatchMask{1} << MaskBit(UpperName[I]);
        Mask |= Bit;
        if (I > 0 && StartsWord(Name.data(), UpperName.data(), I))
            Mask |= Bit << 32;
    }
    return Mask;
}

TMatchPattern::TMatchPattern(std::wstring_view Typed, bool Fuzzy)
    : FTyped(Typed), FUpper(UpperCaseText(Typed)), FFuzzy(Fuzzy)
{
    for (const wchar_t C : FUpper)
        FMask |= TMatchMask{1} << MaskBit(C);
    for (size_t J = 0; J < FUpper.size() && J < MaxFuzzyLength; ++J)
        if (FUpper[J] < 0x80)
            FRows[FUpper[J]] |= std::uint64_t{1} << J;
    if (!FUpper.empty())
        FFirstMask = TMatchMask{1} << (MaskBit(FUpper[0]) + 32);
    FLetter = FUpper.size() == 1 && FUpper[0] >= L'A' && FUpper[0] <= L'Z';
    while (FLeadingSeparators < FTyped.size() && IsSeparator(FTyped[FLeadingSeparators]))
        ++FLeadingSeparators;
}

bool TMatchPattern::MatchesAt(const wchar_t* UpperData, size_t Size) const noexcept
{
    const std::wstring_view UpperName(UpperData, Size);
    if (!FFuzzy)
        return UpperName.find(FUpper) != std::wstring_view::npos;
    size_t Pos = 0;
    for (const wchar_t C : FUpper) {
        Pos = UpperName.find(C, Pos);
        if (Pos == std::wstring_view::npos)
            return false;
        ++Pos;
    }
    return true;
}

TMatchRank TMatchPattern::RankAt(const wchar_t* Name, const wchar_t* UpperData, size_t Size,
                                 TMatchMask NameMask) const noexcept
{
    const size_t Length = FUpper.size();
    if (Length == 0)
        return {TMatchKind::Anywhere, 0};
    const std::wstring_view UpperName(UpperData, Size);
    // One character in order is one character anywhere.
    if (FFuzzy && Length > 1) {
        if (Length <= MaxFuzzyLength)
            return RankFuzzy(Name, UpperData, Size, NameMask);
        if (!MatchesAt(UpperData, Size))
            return {};
        const size_t Pos = UpperName.find(FUpper);
        return Pos == std::wstring_view::npos ? TMatchRank(TMatchKind::Fuzzy, 0)
                                              : RankSubstring(Name, UpperData, Size, Pos, NameMask);
    }
    // One letter, the first key of every search, matches most names, and
    // the test it replaces stops at the first occurrence: its rank comes
    // from where that is and from the mask, chosen without branching on
    // either, which the processor could not guess from name to name.
    if (Length == 1 && FLetter && NameMask != NoMask) {
        const size_t Pos = UpperName.find(FUpper[0]);
        if (Pos == std::wstring_view::npos)
            return {};
        static_assert(static_cast<int>(TMatchKind::Exact) == static_cast<int>(TMatchKind::ExactCase) + 1 &&
                      static_cast<int>(TMatchKind::Prefix) == static_cast<int>(TMatchKind::PrefixCase) + 1);
        const int AtStart = static_cast<int>(Size == 1 ? TMatchKind::ExactCase : TMatchKind::PrefixCase) +
                            (Name[0] == FTyped[0] ? 0 : 1);
        const TMatchKind Inside = (NameMask & FFirstMask) != 0 ? TMatchKind::WordStart : TMatchKind::Anywhere;
        return {Pos == 0 ? static_cast<TMatchKind>(AtStart) : Inside, 0};
    }
    const size_t Pos = UpperName.find(FUpper);
    if (Pos == std::wstring_view::npos)
        return {};
    // What most names of a short filter come to, without another call.
    if (Pos > 0 && FLeadingSeparators == 0 && (NameMask & FFirstMask) == 0)
        return {TMatchKind::Anywhere, 0};
    return RankSubstring(Name, UpperData, Size, Pos, NameMask);
}

TMatchRank TMatchPattern::RankSubstring(const wchar_t* NameData, const wchar_t* UpperData, size_t Size, size_t Pos,
                                        TMatchMask NameMask) const noexcept
{
    const size_t Length = FUpper.size();
    if (Pos == 0) {
        const bool AsTyped = std::wstring_view(NameData, Length) == FTyped;
        if (Size == Length)
            return {AsTyped ? TMatchKind::ExactCase : TMatchKind::Exact, 0};
        return {AsTyped ? TMatchKind::PrefixCase : TMatchKind::Prefix, 0};
    }
    // Typed separators lead to the word after them wherever they occur.
    if (FLeadingSeparators > 0)
        return {FLeadingSeparators < Length ? TMatchKind::WordStart : TMatchKind::Anywhere, 0};
    // A one-letter filter occurs in most names, and most of them start no
    // word with it: the mask says so without looking for every occurrence.
    if ((NameMask & FFirstMask) == 0)
        return {TMatchKind::Anywhere, 0};
    return {StartsAWord(NameData, UpperData, Size, Pos) ? TMatchKind::WordStart : TMatchKind::Anywhere, 0};
}

// The first occurrence may be inside a word and a later one start one (area
// in subarea_area).
bool TMatchPattern::StartsAWord(const wchar_t* Name, const wchar_t* UpperData, size_t Size, size_t Pos) const noexcept
{
    const std::wstring_view UpperName(UpperData, Size);
    const size_t Length = FUpper.size();
    for (; Pos + Length <= Size; ++Pos)
        if (UpperData[Pos] == FUpper[0] && StartsWord(Name, UpperData, Pos) &&
            UpperName.compare(Pos, Length, FUpper) == 0)
            return true;
    return false;
}

std::uint64_t TMatchPattern::RowsOf(wchar_t C) const noexcept
{
    if (C < 0x80)
        return FRows[C];
    if ((FMask >> MaskBit(C) & 1) == 0)
        return 0;
    std::uint64_t Rows = 0;
    for (size_t J = 0; J < FUpper.size(); ++J)
        if (FUpper[J] == C)
            Rows |= std::uint64_t{1} << J;
    return Rows;
}

// The least penalty of the alignments of the typed characters in the name,
// or the substring rank when one of them has no gap. One pass from the
// leftmost place of the first typed character to the rightmost of the last,
// in which a character costs a table look-up unless it is a typed one, and
// a typed one the typed characters it is.
TMatchRank TMatchPattern::RankFuzzy(const wchar_t* NameData, const wchar_t* UpperData, size_t Size,
                                    TMatchMask NameMask) const noexcept
{
    const std::wstring_view UpperName(UpperData, Size);
    const size_t Length = FUpper.size();
    // The leftmost alignment: none, and nothing matches; no gap in it, and
    // it is the first occurrence.
    const size_t First = UpperName.find(FUpper[0]);
    size_t Pos = First;
    for (size_t J = 1; J < Length && Pos != std::wstring_view::npos; ++J)
        Pos = UpperName.find(FUpper[J], Pos + 1);
    if (Pos == std::wstring_view::npos)
        return {};
    if (Pos - First == Length - 1)
        return RankSubstring(NameData, UpperData, Size, First, NameMask);
    const size_t Last = UpperName.rfind(FUpper[Length - 1]);

    // Per typed character J: Here, the least penalty of the characters up
    // to J with J at the position End - 1 (End 0: not yet placed); Behind,
    // the least (penalty - GapUnit * position) over the places of J before
    // that, from which a gap to a later position is priced; RunEnd - 1, the
    // last position at which the characters up to J ended without a gap.
    // A character is moved on only where it falls, and what it held is
    // read as of the position asked about.
    std::int64_t Here[MaxFuzzyLength];
    std::int64_t Behind[MaxFuzzyLength];
    size_t End[MaxFuzzyLength];
    size_t RunEnd[MaxFuzzyLength];
    for (size_t J = 0; J < Length; ++J) {
        Here[J] = Unreached;
        Behind[J] = Unreached;
        End[J] = 0;
        RunEnd[J] = 0;
    }
    std::int64_t Best = Unreached;
    for (size_t I = First; I <= Last; ++I) {
        std::uint64_t Rows = RowsOf(UpperData[I]);
        if (Rows == 0)
            continue;
        const auto Column = static_cast<std::int64_t>(I);
        std::int64_t Bonus = -1;
        // The later characters first: each reads the one before it as it
        // stood before this position.
        while (Rows != 0) {
            const auto J = static_cast<size_t>(std::bit_width(Rows) - 1);
            Rows &= ~(std::uint64_t{1} << J);
            std::int64_t From = 0;
            bool Gapless = true;
            if (J > 0) {
                const size_t K = J - 1;
                const std::int64_t Adjacent = End[K] == I ? Here[K] : Unreached;
                const std::int64_t Far = std::min(
                    Behind[K], End[K] < I ? Here[K] - GapUnit * (static_cast<std::int64_t>(End[K]) - 1) : Unreached);
                From = std::min(Adjacent, Far + GapOpen + GapUnit * (Column - 1));
                Gapless = RunEnd[K] == I;
            }
            if (From >= Reached)
                continue;
            if (Bonus < 0)
                Bonus = StartsWord(NameData, UpperData, I) ? WordStartBonus : 0;
            const std::int64_t Cost = From - Bonus;
            Behind[J] = std::min(Behind[J], Here[J] - GapUnit * (static_cast<std::int64_t>(End[J]) - 1));
            Here[J] = Cost;
            End[J] = I + 1;
            if (Gapless)
                RunEnd[J] = I + 1;
            if (J == Length - 1) {
                if (Gapless)
                    return RankSubstring(NameData, UpperData, Size, I + 1 - Length, NameMask);
                Best = std::min(Best, Cost);
            }
        }
    }
    const std::int64_t Penalty = Best + WordStartBonus * static_cast<std::int64_t>(Length);
    return {TMatchKind::Fuzzy, static_cast<std::uint32_t>(std::min<std::int64_t>(Penalty, UINT32_MAX))};
}
