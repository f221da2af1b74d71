// The order of CompareTextLocale without a system call per name, for the
// names whose order the user's locale derives from one weight per
// character.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

// Weights of the printable ASCII characters that the locale orders one by
// one: two names made only of such characters compare as their sequences of
// weights do, a name before any longer name it begins. Characters the
// locale treats otherwise (ignores, joins with a neighbour, weighs on
// several levels) are left out, and names holding them are not covered.
class TLocaleOrder {
public:
    // The table of the user's locale, built on first use and again when the
    // locale changes; every table is checked against the locale before use
    // (see the .cpp), and one that fails covers nothing.
    static std::shared_ptr<const TLocaleOrder> Current();

    // 1 to 255 for a covered character, characters equal without regard to
    // case sharing one; 0 for any other.
    std::uint8_t Weight(wchar_t C) const noexcept
    {
        return static_cast<unsigned>(C) < FWeights.size() ? FWeights[static_cast<unsigned>(C)] : 0;
    }
    bool Covers(std::wstring_view Name) const noexcept;

private:
    // Built from the locale now, from the characters of Candidates that pass
    // the checks.
    static TLocaleOrder Build(std::wstring_view Candidates);

    std::array<std::uint8_t, 128> FWeights{};
    bool FEmpty = true;
};
