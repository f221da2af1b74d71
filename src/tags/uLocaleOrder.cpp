// How the table is made trustworthy. The weights come from the locale
// itself: the candidate characters sorted one by one with
// CompareTextLocale, equal ones sharing a weight. The claim that longer
// names then compare as their weight sequences holds for any collation in
// which each covered character stands for itself alone, which the checks
// test: every name of one or two covered characters is ordered by the
// table, and each neighbour pair in that order must compare in the locale
// exactly as the table says (equal or less). Neighbours suffice because
// both orders are transitive. That catches characters the locale ignores
// or weighs only on a later level ('-' and '\'' in the word sort of both
// Windows and wine), pairs it joins into one letter ("ch" in Czech, "dz" in
// Hungarian), and digits sorted as numbers. Characters are screened one at
// a time against a few letters first, so that one odd character does not
// cost the rest their fast route.
#include "tags/uLocaleOrder.h"

#include "base/uStrings.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

int Sign(int Value)
{
    return (Value > 0) - (Value < 0);
}

// Chars sorted by the locale as one-character names, then weighed 1, 2, ...
// with equal characters sharing a weight.
std::array<std::uint8_t, 128> Weigh(std::vector<wchar_t> Chars)
{
    std::stable_sort(Chars.begin(), Chars.end(), [](wchar_t A, wchar_t B) {
        return CompareTextLocale(std::wstring_view(&A, 1), std::wstring_view(&B, 1)) < 0;
    });
    std::array<std::uint8_t, 128> Weights{};
    std::uint8_t Weight = 0;
    for (size_t I = 0; I < Chars.size(); ++I) {
        if (I == 0 || CompareTextLocale(std::wstring_view(&Chars[I - 1], 1), std::wstring_view(&Chars[I], 1)) != 0)
            ++Weight;
        Weights[static_cast<unsigned>(Chars[I])] = Weight;
    }
    return Weights;
}

// True when the locale orders every name of one or two of Chars as Weights
// do.
bool Agrees(const std::vector<wchar_t>& Chars, const std::array<std::uint8_t, 128>& Weights)
{
    struct TName {
        unsigned Key;
        wchar_t Text[2];
        int Length;
    };
    std::vector<TName> Names;
    Names.reserve(Chars.size() * (Chars.size() + 1));
    for (const wchar_t A : Chars) {
        Names.push_back({unsigned(Weights[A]) << 8, {A, 0}, 1});
        for (const wchar_t B : Chars)
            Names.push_back({unsigned(Weights[A]) << 8 | Weights[B], {A, B}, 2});
    }
    std::sort(Names.begin(), Names.end(), [](const TName& A, const TName& B) { return A.Key < B.Key; });
    for (size_t I = 1; I < Names.size(); ++I) {
        const TName& A = Names[I - 1];
        const TName& B = Names[I];
        const int Expected = A.Key == B.Key ? 0 : -1;
        if (Sign(CompareTextLocale(std::wstring_view(A.Text, A.Length), std::wstring_view(B.Text, B.Length))) !=
            Expected)
            return false;
    }
    return true;
}

bool Agrees(const std::vector<wchar_t>& Chars)
{
    return Agrees(Chars, Weigh(Chars));
}

bool IsCore(wchar_t C)
{
    return (C >= L'0' && C <= L'9') || (C >= L'A' && C <= L'Z') || (C >= L'a' && C <= L'z') || C == L'_';
}

// Every printable ASCII character: identifiers, and the spaces, tildes and
// operator signs of the names some languages' tags have.
std::wstring PrintableAscii()
{
    std::wstring Result;
    for (wchar_t C = 0x20; C < 0x7F; ++C)
        Result += C;
    return Result;
}

} // namespace

bool TLocaleOrder::Covers(std::wstring_view Name) const noexcept
{
    for (const wchar_t C : Name)
        if (Weight(C) == 0)
            return false;
    return !FEmpty;
}

TLocaleOrder TLocaleOrder::Build(std::wstring_view Candidates)
{
    static constexpr wchar_t Probes[] = {L'a', L'b', L'Z'};
    std::vector<wchar_t> Passed;
    for (const wchar_t C : Candidates) {
        if (static_cast<unsigned>(C) >= 128 || std::find(Passed.begin(), Passed.end(), C) != Passed.end())
            continue;
        std::vector<wchar_t> Screen(std::begin(Probes), std::end(Probes));
        if (std::find(Screen.begin(), Screen.end(), C) == Screen.end())
            Screen.push_back(C);
        if (Agrees(Screen))
            Passed.push_back(C);
    }
    // All of them together, or failing that the characters of identifiers
    // alone, or nothing.
    std::vector<wchar_t> Core;
    std::copy_if(Passed.begin(), Passed.end(), std::back_inserter(Core), IsCore);
    TLocaleOrder Result;
    for (const std::vector<wchar_t>* Chars : {&Passed, &Core}) {
        if (Chars->empty())
            continue;
        const auto Weights = Weigh(*Chars);
        if (Agrees(*Chars, Weights)) {
            Result.FWeights = Weights;
            Result.FEmpty = false;
            break;
        }
    }
    return Result;
}

std::shared_ptr<const TLocaleOrder> TLocaleOrder::Current()
{
    static std::mutex Lock;
    static std::shared_ptr<const TLocaleOrder> Table;
    static LCID TableLocale = 0;
    const LCID Locale = ::GetUserDefaultLCID();
    const std::lock_guard<std::mutex> Guard(Lock);
    if (!Table || Locale != TableLocale) {
        Table = std::make_shared<const TLocaleOrder>(Build(PrintableAscii()));
        TableLocale = Locale;
    }
    return Table;
}
