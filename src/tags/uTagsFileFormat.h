// How one tags file is written, as its pseudo tags say (tags(5): the lines
// "!_TAG_..." at its top), and its tag lines taken apart by those rules.
#pragma once

#include "tags/uCtags.h"
#include "tags/uTagAddress.h"
#include "tags/uTagFields.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// !_TAG_FILE_SORTED: 0, 1 or 2. A file that does not say is taken as
// unsorted, which is never wrong, only slower.
enum class TTagsFileOrder : std::uint8_t { Unsorted = 0, Sorted = 1, FoldCase = 2 };

// One tag line's parts as views into the line, still escaped.
struct TTagsFileLine {
    std::string_view Name;
    std::string_view File;
    // The line number of the address ("123" or "123;/.../"), or empty.
    std::string_view Number;
    // The pattern between its delimiters, without them; PatternDelimiter
    // is 0 when the address has none.
    std::string_view Pattern;
    char PatternDelimiter = 0;
    // The extension fields after ;" and its TAB (empty when none).
    std::string_view Fields;
};

// Splits Line (without its line break) as tags(5) has it:
// name<TAB>file<TAB>address[;"<TAB>fields], the address a line number, a
// pattern, or both ("123;/^...$/"); a pattern may hold TABs. False when
// the line is not a tag line (a pseudo tag, an empty or broken line).
bool SplitTagsFileLine(std::string_view Line, TTagsFileLine& Parts) noexcept;

class TTagsFileFormat {
public:
    // Reads the pseudo tags at the top of Bytes; TagsBegin is where the
    // first line after them starts.
    void ReadPseudoTags(std::string_view Bytes);

    TTagsFileOrder Order() const noexcept { return FOrder; }
    // Universal when !_TAG_PROGRAM_NAME says so, else Exuberant.
    TCtagsFlavour Flavour() const noexcept { return FFlavour; }
    // Names, file names and fields carry Universal Ctags' escapes (its own
    // output mode, not --output-format=e-ctags).
    bool Escaped() const noexcept { return FEscaped; }
    // The code page of names and patterns: !_TAG_FILE_ENCODING where it
    // names one this system knows, else 0: UTF-8 where the bytes are
    // valid UTF-8, else the system's ANSI code page.
    unsigned CodePage() const noexcept { return FCodePage; }
    std::uint64_t TagsBegin() const noexcept { return FTagsBegin; }

    // Bytes of the file as UTF-16, by CodePage.
    std::wstring Decode(std::string_view Bytes) const;
    // UTF-16 text as the file's bytes ("" where its code page cannot hold
    // it).
    std::string Encode(std::wstring_view Text) const;
    // The bytes a name may be written as, for a search: in the file's code
    // page; without one, UTF-8 and, for a name beyond ASCII, the system's
    // ANSI code page too.
    std::vector<std::string> Spellings(std::wstring_view Name) const;
    // A field's bytes as the source spells them: escapes undone where the
    // file has them.
    std::string Unescaped(std::string_view Field) const;

    // The parts of a tag line, decoded.
    std::wstring NameOf(const TTagsFileLine& Parts) const;
    std::int32_t LineOf(const TTagsFileLine& Parts) const;
    std::optional<TTagPattern> PatternOf(const TTagsFileLine& Parts) const;
    // The kind in full: the field as written when longer than one letter
    // (--fields=+K), else the name !_TAG_KIND_DESCRIPTION gives the letter
    // in the tag's language (its language: field) or in every language
    // that has it, else the letter.
    std::wstring KindOf(const TTagsFileLine& Parts) const;
    std::wstring ScopeOf(const TTagsFileLine& Parts) const;

private:
    void ReadPseudoTag(std::string_view Name, std::string_view Value);

    TTagsFileOrder FOrder = TTagsFileOrder::Unsorted;
    TCtagsFlavour FFlavour = TCtagsFlavour::Exuberant;
    bool FEscaped = false;
    bool FEctagsMode = false;
    unsigned FCodePage = 0;
    std::uint64_t FTagsBegin = 0;
    // !_TAG_FIELD_DESCRIPTION's names, every language's.
    TTagFieldNames FListedFields;
    // Per language, the name of each kind letter.
    std::map<std::string, std::map<char, std::string>, std::less<>> FKinds;
};
