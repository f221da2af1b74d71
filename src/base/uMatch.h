// How well a name matches the text typed into a list's filter, so that the
// list can make the best match its current row (and, when asked, list the
// rows best first). The lists upper-case each name once, as they are
// filled, and the typed text once per change; every function here takes
// those forms, so that ranking a row costs about what the substring test
// of the filter costs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// From the best match to none. A word starts after '_', ':', '.' or '-',
// and at a lower-case letter followed by an upper-case one (user in
// getUserName).
enum class TMatchKind : std::uint8_t {
    ExactCase,  // the name is the typed text, case as typed
    Exact,      // the name is the typed text without regard to case
    PrefixCase, // the name starts with the typed text, case as typed
    Prefix,     // ... without regard to case
    WordStart,  // the typed text starts a word inside the name
    Anywhere,   // the typed text is elsewhere in the name
    Fuzzy,      // the typed characters are in the name in order, with gaps
    None,
};

// A rank is one integer: the lesser is the better match, so ranks sort and
// compare as they are. Matches of one kind are equal, and the list breaks
// the tie its own way, except fuzzy ones: among them the least penalty of
// the best alignment wins, 3 per gap and 1 per character skipped, less 3
// per typed character on a word start (the name's first character is one).
// So one gap of three characters costs less than two of one, and the
// initials of words (gtusr in getUserRecord) beat a tighter run that
// starts none.
class TMatchRank {
public:
    constexpr TMatchRank() noexcept = default;
    constexpr TMatchRank(TMatchKind Kind, std::uint32_t Penalty) noexcept
        : FKey(static_cast<std::uint32_t>(Kind) << KindShift | (Penalty < MaxPenalty ? Penalty : MaxPenalty))
    {
    }

    constexpr TMatchKind Kind() const noexcept { return static_cast<TMatchKind>(FKey >> KindShift); }
    constexpr bool IsMatch() const noexcept { return Kind() != TMatchKind::None; }
    // What sorting by match compares.
    constexpr std::uint32_t Key() const noexcept { return FKey; }

    friend constexpr bool operator<(TMatchRank A, TMatchRank B) noexcept { return A.FKey < B.FKey; }
    friend constexpr bool operator==(TMatchRank A, TMatchRank B) noexcept { return A.FKey == B.FKey; }
    friend constexpr bool operator!=(TMatchRank A, TMatchRank B) noexcept { return A.FKey != B.FKey; }

private:
    static constexpr unsigned KindShift = 24;
    static constexpr std::uint32_t MaxPenalty = (1u << KindShift) - 1;
    std::uint32_t FKey = static_cast<std::uint32_t>(TMatchKind::None) << KindShift;
};

// What a name holds, computed once per name as the list is filled: in the
// low 32 bits its upper-cased characters, in the high 32 bits those that
// start a word after its first character, folded into 32 bits each. A name
// that lacks a character of the typed text matches it in no way, and one
// whose words start with no character like the typed text's first can
// only match it inside a word: one AND tells either without reading the
// name.
using TMatchMask = std::uint64_t;
TMatchMask MatchMask(std::wstring_view Name, std::wstring_view UpperName) noexcept;

// The typed text, readied once per change of the filter: upper-cased as the
// system's locale does it (CharUpperBuffW), as the names are. UpperName is
// always UpperCaseText(Name).
class TMatchPattern {
public:
    // Longer typed texts are fuzzy matches all alike: nobody types that much
    // to find a name by its scattered letters, and the score keeps a few
    // numbers per typed character on the stack.
    static constexpr size_t MaxFuzzyLength = 64;

    // The empty text: every name matches, and all alike.
    TMatchPattern() = default;
    TMatchPattern(std::wstring_view Typed, bool Fuzzy);

    bool IsEmpty() const noexcept { return FTyped.empty(); }
    bool IsFuzzy() const noexcept { return FFuzzy; }
    const std::wstring& Typed() const noexcept { return FTyped; }
    const std::wstring& Upper() const noexcept { return FUpper; }

    // Whether the row shows. Without fuzzy matching exactly the substring
    // test of the filters (the upper-cased text occurs in the upper-cased
    // name); with it, also when the characters occur in order with gaps.
    bool Matches(std::wstring_view UpperName) const noexcept { return MatchesAt(UpperName.data(), UpperName.size()); }
    // The same with the name's mask, which spares reading most names that
    // do not match.
    bool Matches(std::wstring_view UpperName, TMatchMask NameMask) const noexcept
    {
        return (NameMask & FMask) == FMask && Matches(UpperName);
    }

    // How Name matches; None exactly when Matches is false. Without the
    // name's mask more of the name is read.
    TMatchRank Rank(std::wstring_view Name, std::wstring_view UpperName) const noexcept
    {
        return RankAt(Name.data(), UpperName.data(), UpperName.size(), NoMask);
    }
    TMatchRank Rank(std::wstring_view Name, std::wstring_view UpperName, TMatchMask NameMask) const noexcept
    {
        return (NameMask & FMask) == FMask ? RankAt(Name.data(), UpperName.data(), UpperName.size(), NameMask)
                                           : TMatchRank();
    }

private:
    // What stands for the mask of a name whose mask is not known.
    static constexpr TMatchMask NoMask = ~TMatchMask{0};

    // The name goes to these as bare pointers and its length (the upper-cased
    // name is as long): views passed by value travel through memory on this
    // platform, and reading them back cost more than the whole test of most
    // names.
    bool MatchesAt(const wchar_t* UpperName, size_t Size) const noexcept;
    TMatchRank RankAt(const wchar_t* Name, const wchar_t* UpperName, size_t Size, TMatchMask NameMask) const noexcept;
    // The rank of a name in which the typed text first occurs at Pos.
    TMatchRank RankSubstring(const wchar_t* Name, const wchar_t* UpperName, size_t Size, size_t Pos,
                             TMatchMask NameMask) const noexcept;
    // Whether an occurrence from Pos on starts a word.
    bool StartsAWord(const wchar_t* Name, const wchar_t* UpperName, size_t Size, size_t Pos) const noexcept;
    TMatchRank RankFuzzy(const wchar_t* Name, const wchar_t* UpperName, size_t Size,
                         TMatchMask NameMask) const noexcept;
    // Which of the typed characters C is, one bit each.
    std::uint64_t RowsOf(wchar_t C) const noexcept;

    std::wstring FTyped;
    std::wstring FUpper;
    // The typed characters (low half), and its first as a word's (high).
    TMatchMask FMask = 0;
    TMatchMask FFirstMask = 0;
    // RowsOf for the characters below 128.
    std::uint64_t FRows[128] = {};
    // How many characters of the typed text are word separators before its
    // first other one.
    size_t FLeadingSeparators = 0;
    bool FFuzzy = false;
    // The typed text is one letter A to Z, which has a mask bit of its own:
    // the name's mask tells whether a word starts with it.
    bool FLetter = false;
};

// The best of many candidates offered one at a time, in one pass: the better
// rank wins, and among equal ranks the lesser Tie, the list's own order of
// ties as a number (how far the tag is from the cursor; whether the file is
// the current one, then the length of its path); among equal ties the first
// offered. Candidates that do not match are never chosen.
class TBestMatch {
public:
    void Offer(std::intptr_t Index, TMatchRank Rank, std::uint64_t Tie = 0) noexcept
    {
        if (Rank < FRank || (Rank == FRank && Tie < FTie && Rank.IsMatch())) {
            FRank = Rank;
            FTie = Tie;
            FIndex = Index;
        }
    }
    // -1 while no candidate matched.
    std::intptr_t Index() const noexcept { return FIndex; }
    TMatchRank Rank() const noexcept { return FRank; }

private:
    TMatchRank FRank;
    std::uint64_t FTie = UINT64_MAX;
    std::intptr_t FIndex = -1;
};
