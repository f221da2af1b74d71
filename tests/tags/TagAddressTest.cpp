// A tag line's address as ctags writes it, and the line a tag means in a
// text that has changed since its tags file was made.
#include "tags/uTagAddress.h"
#include "tags/uTagsFileFormat.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Parts of a line as text: number|pattern (^ $ where anchored, - when
// none)|fields, or "broken".
std::string Split(const std::string& Line)
{
    TTagsFileLine Parts;
    if (!SplitTagsFileLine(Line, Parts))
        return "broken";
    std::string Pattern = "-";
    if (Parts.PatternDelimiter) {
        const TTagPatternBytes Bytes = ParseTagPattern(Parts.Pattern, Parts.PatternDelimiter);
        Pattern = (Bytes.Start ? "^" : "") + Bytes.Text + (Bytes.End ? "$" : "");
    }
    return std::string(Parts.Name) + "|" + std::string(Parts.File) + "|" + std::string(Parts.Number) + "|" + Pattern +
           "|" + std::string(Parts.Fields);
}

} // namespace

TEST(TagsFileLine, TakesTheAddressAsCtagsWritesIt)
{
    const struct {
        const char* Line;
        const char* Parts;
    } Cases[] = {
        {"main\tm.c\t/^int main(void)$/;\"\tf", "main|m.c||^int main(void)$|f"},
        {"main\tm.c\t?^int main(void)$?;\"\tf\tfile:", "main|m.c||^int main(void)$|f\tfile:"},
        {"main\tm.c\t12;/^int main(void)$/;\"\tf", "main|m.c|12|^int main(void)$|f"},
        {"main\tm.c\t12;\"\tf", "main|m.c|12|-|f"},
        {"main\tm.c\t12", "main|m.c|12|-|"},
        {"main\tm.c\t/^int main$/", "main|m.c||^int main$|"},
        {"main\tm.c\t/^int main$/;\"", "main|m.c||^int main$|"},
        // Escapes: \/ and \\ in a /.../ pattern, \? in a ?...? one, and a $
        // that ends the source line.
        {"s\tm.c\t/^p[0] == '\\/' \\\\ x$/;\"\tf", "s|m.c||^p[0] == '/' \\ x$|f"},
        {"s\tm.c\t?^p[0] == '/' \\? x$?;\"\tf", "s|m.c||^p[0] == '/' ? x$|f"},
        {"cost$\tm.c\t/^int cost\\$$/;\"\tv", "cost$|m.c||^int cost$$|v"},
        {"d\tm.c\t/^int\td$;$/;\"\tv", "d|m.c||^int\td$;$|v"},
        {"x\tm.c\t/^#define x \\\\/;\"\td", "x|m.c||^#define x \\|d"},
        // Cut short: no $.
        {"long\tm.c\t/^int long(int first, int /;\"\tf", "long|m.c||^int long(int first, int |f"},
        {"odd\tm.c\t/^a \\q b$/;\"\tf", "odd|m.c||^a \\q b$|f"},
        {"!_TAG_FILE_SORTED\t1\t/0=unsorted/", "broken"},
        {"", "broken"},
        {"main", "broken"},
        {"main\tm.c", "broken"},
        {"\tm.c\t1;\"\tf", "broken"},
        {"main\t\t1;\"\tf", "broken"},
        {"main\tm.c\t/^int main(void)$;\"\tf", "broken"},
        {"main\tm.c\tabc;\"\tf", "broken"},
        {"main\tm.c\t12;\"f", "broken"},
        {"main\tm.c\t12x", "broken"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(Split(Case.Line), Case.Parts) << ::testing::PrintToString(std::string(Case.Line));
}

TEST(FindTagLine, GoesWhereThePatternFindsTheLineNow)
{
    const std::vector<std::wstring> Text = {L"int a;",
                                            L"int main(void)",
                                            L"{",
                                            L"}",
                                            L"int main(void)",
                                            L"static int helper(int x, int y)",
                                            L"  int main(void)",
                                            L""};
    const TTagPattern Main{L"int main(void)", true, true};
    const struct {
        const char* What;
        std::optional<TTagPattern> Pattern;
        std::int32_t Line;
        std::int32_t Found;
    } Cases[] = {
        {"the tag's line matches", Main, 5, 5},
        {"stale: the nearest match", Main, 4, 5},
        {"stale: the nearest match above", Main, 1, 2},
        {"as near above as below: the upper one", Main, 3, 2},
        {"no line: the first match", Main, 0, 2},
        {"a line past the end: the last match", Main, 40, 5},
        {"no match: the tag's line", TTagPattern{L"int gone(void)", true, true}, 3, 3},
        {"no match past the end: the last line", TTagPattern{L"int gone(void)", true, true}, 40, 8},
        {"no match and no line: the first line", TTagPattern{L"int gone(void)", true, true}, 0, 1},
        {"a line number only", std::nullopt, 6, 6},
        {"cut short: the line starts with it", TTagPattern{L"static int helper(int x, ", true, false}, 1, 6},
        {"without ^ the text may stand anywhere", TTagPattern{L"int main(void)", false, true}, 7, 7},
        {"with ^ it may not", Main, 7, 5},
        {"an empty line", TTagPattern{L"", true, true}, 1, 8},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(FindTagLine(Case.Pattern, Case.Line, Text), Case.Found) << Case.What;
    EXPECT_EQ(FindTagLine(Main, 3, std::vector<std::wstring>{}), 1);
    EXPECT_EQ(FindTagLine(std::nullopt, 3, std::vector<std::wstring>{}), 1);
}
