// The rules of ctags' tag lines that its output for one file and a project's
// tags file share: fields split at TABs, Universal Ctags' escapes, and which
// extension field holds the scope. Each takes the text as UTF-16 (ctags'
// output, decoded) or as bytes (a tags file, searched before decoding).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Takes the field at Cursor (up to the next TAB or the end, possibly empty)
// and moves past it and its TAB; fails only at the end of the line.
template <class C>
bool NextTagField(std::basic_string_view<C> Text, size_t& Cursor, std::basic_string_view<C>& Field) noexcept
{
    if (Cursor >= Text.size())
        return false;
    size_t End = Text.find(C('\t'), Cursor);
    if (End == std::basic_string_view<C>::npos)
        End = Text.size();
    Field = Text.substr(Cursor, End - Cursor);
    Cursor = End == Text.size() ? End : End + 1;
    return true;
}

// A field as Universal Ctags writes it: \t \r \n \\ \a \b \v \f and \xHH
// stand for the characters they name; any other backslash is itself.
// Undone in place (the text only shrinks); the field's new length.
size_t UnescapeInPlace(wchar_t* Field, size_t Length) noexcept;
size_t UnescapeInPlace(char* Field, size_t Length) noexcept;
// The same into a string of its own.
std::string Unescape(std::string_view Field);
// A tag's name (UTF-8 or the file's code page) as Universal Ctags writes it
// in a tags file: what UnescapeInPlace undoes, and a leading blank or "!"
// as \x20 and \x21, which would otherwise sort among the pseudo tags.
std::string EscapeTagName(std::string_view Name);

// The field names a ctags writes as "key:value" of its own, which are
// therefore never a scope "KIND:NAME".
class TTagFieldNames {
public:
    // Exuberant Ctags 5.8's fields: a fixed and small set.
    static const TTagFieldNames& Exuberant();
    // Universal Ctags' fields of every language, for a tags file that does
    // not list its own: the common ones, and the languages' own that are on
    // by default, except those named like a kind that some language has as
    // a scope (implementation, module, package, section...), which only the
    // file's own list tells from a scope.
    static const TTagFieldNames& Universal();

    void Add(std::string_view Name);
    bool Contains(std::string_view Name) const noexcept;
    bool Contains(std::wstring_view Name) const noexcept;
    bool Empty() const noexcept { return FNames.empty(); }

private:
    std::vector<std::string> FNames; // sorted, each once
};

// Where a tag line keeps its scope among the extension fields.
struct TTagScopeRule {
    // "scope:KIND:NAME" is the scope, wherever it stands (Universal Ctags
    // with --fields=+Z): no language field is ever taken for it.
    bool Marked = false;
    // Else, when set, the first "KIND:NAME" whose KIND is not one of these:
    // the scope as Exuberant Ctags, and Universal Ctags without Z, write it.
    const TTagFieldNames* Fields = nullptr;
};

// The scope's value (NAME, still escaped where the writer escapes) among the
// TAB-separated extension fields of Text from Cursor on; empty when there
// is none.
template <class C>
std::basic_string_view<C> FindScopeField(std::basic_string_view<C> Text, size_t Cursor, const TTagScopeRule& Rule)
{
    std::basic_string_view<C> Field;
    std::basic_string_view<C> Unmarked;
    bool HaveUnmarked = false;
    while (NextTagField(Text, Cursor, Field)) {
        const size_t Colon = Field.find(C(':'));
        if (Colon == 0 || Colon == std::basic_string_view<C>::npos || Colon + 1 == Field.size())
            continue;
        const std::basic_string_view<C> Key = Field.substr(0, Colon);
        const std::basic_string_view<C> Value = Field.substr(Colon + 1);
        if (Rule.Marked && Key.size() == 5 && Key[0] == C('s') && Key[1] == C('c') && Key[2] == C('o') &&
            Key[3] == C('p') && Key[4] == C('e')) {
            const size_t Inner = Value.find(C(':'));
            if (Inner == 0 || Inner == std::basic_string_view<C>::npos || Inner + 1 == Value.size())
                continue;
            return Value.substr(Inner + 1);
        }
        if (!HaveUnmarked && Rule.Fields && !Rule.Fields->Contains(Key)) {
            Unmarked = Value;
            HaveUnmarked = true;
            if (!Rule.Marked)
                break;
        }
    }
    return Unmarked;
}
