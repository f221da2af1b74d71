#include "tags/uTagAddress.h"

#include <algorithm>

TTagPatternBytes ParseTagPattern(std::string_view Between, char Delimiter)
{
    TTagPatternBytes Result;
    size_t I = 0;
    if (!Between.empty() && Between[0] == '^') {
        Result.Start = true;
        I = 1;
    }
    Result.Text.reserve(Between.size());
    // ctags escapes a backslash, the delimiter and a $ that ends the line;
    // another backslash (a hand-made file's) stays as it is.
    for (; I < Between.size(); ++I) {
        const char C = Between[I];
        if (C == '\\' && I + 1 < Between.size()) {
            const char Next = Between[I + 1];
            if (Next == '\\' || Next == Delimiter || Next == '$' || Next == '/' || Next == '?') {
                Result.Text += Next;
                ++I;
                continue;
            }
        }
        if (C == '$' && I + 1 == Between.size()) {
            Result.End = true;
            break;
        }
        Result.Text += C;
    }
    return Result;
}

bool MatchesTagPattern(const TTagPattern& Pattern, std::wstring_view Line) noexcept
{
    const std::wstring_view Text = Pattern.Text;
    if (Pattern.Start && Pattern.End)
        return Line == Text;
    if (Pattern.Start)
        return Line.substr(0, Text.size()) == Text;
    if (Pattern.End)
        return Line.size() >= Text.size() && Line.substr(Line.size() - Text.size()) == Text;
    return Line.find(Text) != std::wstring_view::npos;
}

std::int32_t FindTagLine(const std::optional<TTagPattern>& Pattern, std::int32_t Line, std::int32_t LineCount,
                         const std::function<std::wstring_view(std::int32_t)>& LineAt)
{
    const std::int32_t Last = std::max<std::int32_t>(LineCount, 1);
    const std::int32_t Home = std::clamp<std::int32_t>(Line, 1, Last);
    if (!Pattern || LineCount <= 0)
        return Home;
    // Outward from the tag's line, above before below at each distance.
    for (std::int32_t Distance = 0; Distance < LineCount; ++Distance) {
        const std::int32_t Above = Home - Distance;
        const std::int32_t Below = Home + Distance;
        if (Above < 1 && Below > LineCount)
            break;
        if (Above >= 1 && MatchesTagPattern(*Pattern, LineAt(Above)))
            return Above;
        if (Distance > 0 && Below <= LineCount && MatchesTagPattern(*Pattern, LineAt(Below)))
            return Below;
    }
    return Home;
}

std::int32_t FindTagLine(const std::optional<TTagPattern>& Pattern, std::int32_t Line,
                         const std::vector<std::wstring>& Lines)
{
    const auto Count = static_cast<std::int32_t>(std::min<size_t>(Lines.size(), INT32_MAX));
    return FindTagLine(Pattern, Line, Count,
                       [&](std::int32_t I) { return std::wstring_view(Lines[static_cast<size_t>(I) - 1]); });
}
