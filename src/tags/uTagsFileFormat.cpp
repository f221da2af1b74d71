#include "tags/uTagsFileFormat.h"

#include "base/uStrings.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

bool StartsWith(std::string_view Text, std::string_view Start) noexcept
{
    return Text.substr(0, Start.size()) == Start;
}

bool IsDigit(char C) noexcept
{
    return C >= '0' && C <= '9';
}

// The code page an encoding name of !_TAG_FILE_ENCODING means, or 0.
unsigned CodePageNamed(std::string_view Name)
{
    std::string Lower(Name);
    for (char& C : Lower)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    if (Lower == "utf-8" || Lower == "utf8")
        return CP_UTF8;
    static const struct {
        const char* Name;
        unsigned CodePage;
    } Named[] = {{"koi8-r", 20866}, {"koi8-u", 21866}, {"shift_jis", 932}, {"sjis", 932},  {"euc-jp", 20932},
                 {"gbk", 936},      {"gb2312", 936},   {"big5", 950},      {"euc-kr", 949}};
    for (const auto& Entry : Named)
        if (Lower == Entry.Name)
            return Entry.CodePage;
    unsigned Base = 0;
    std::string_view Digits;
    for (const std::string_view Prefix : {"windows-", "cp", "ibm", "iso-8859-"}) {
        if (StartsWith(Lower, Prefix)) {
            Digits = std::string_view(Lower).substr(Prefix.size());
            Base = Prefix == "iso-8859-" ? 28590 : 0;
            break;
        }
    }
    if (Digits.empty() || Digits.size() > 5)
        return 0;
    unsigned Number = 0;
    for (const char C : Digits) {
        if (!IsDigit(C))
            return 0;
        Number = Number * 10 + static_cast<unsigned>(C - '0');
    }
    const unsigned CodePage = Base + Number;
    return ::IsValidCodePage(CodePage) ? CodePage : 0;
}

// The extension fields of a tag line that say something of its own: the
// kind (the first field without a key, or kind:), line: and language:.
struct TLineFields {
    std::string_view Kind;
    std::string_view Line;
    std::string_view Language;
};

TLineFields FieldsOf(std::string_view Fields) noexcept
{
    TLineFields Result;
    size_t Cursor = 0;
    std::string_view Field;
    bool HaveKind = false;
    while (NextTagField(Fields, Cursor, Field)) {
        const size_t Colon = Field.find(':');
        if (Colon == std::string_view::npos) {
            if (!HaveKind && !Field.empty()) {
                Result.Kind = Field;
                HaveKind = true;
            }
            continue;
        }
        const std::string_view Key = Field.substr(0, Colon);
        const std::string_view Value = Field.substr(Colon + 1);
        if (Key == "kind" && !HaveKind) {
            Result.Kind = Value;
            HaveKind = true;
        } else if (Key == "line") {
            Result.Line = Value;
        } else if (Key == "language") {
            Result.Language = Value;
        }
    }
    return Result;
}

std::int32_t NumberOf(std::string_view Digits) noexcept
{
    std::int64_t Value = 0;
    for (const char C : Digits) {
        if (!IsDigit(C))
            return 0;
        Value = Value * 10 + (C - '0');
        if (Value > INT32_MAX)
            return 0;
    }
    return static_cast<std::int32_t>(Value);
}

} // namespace

bool SplitTagsFileLine(std::string_view Line, TTagsFileLine& Parts) noexcept
{
    if (Line.empty() || StartsWith(Line, "!_"))
        return false;
    const size_t NameEnd = Line.find('\t');
    if (NameEnd == 0 || NameEnd == std::string_view::npos)
        return false;
    const size_t FileEnd = Line.find('\t', NameEnd + 1);
    if (FileEnd == std::string_view::npos || FileEnd == NameEnd + 1)
        return false;
    Parts = TTagsFileLine{};
    Parts.Name = Line.substr(0, NameEnd);
    Parts.File = Line.substr(NameEnd + 1, FileEnd - NameEnd - 1);
    size_t At = FileEnd + 1;
    const size_t NumberStart = At;
    while (At < Line.size() && IsDigit(Line[At]))
        ++At;
    Parts.Number = Line.substr(NumberStart, At - NumberStart);
    if (!Parts.Number.empty() && At + 1 < Line.size() && Line[At] == ';' &&
        (Line[At + 1] == '/' || Line[At + 1] == '?'))
        ++At;
    if (At < Line.size() && (Line[At] == '/' || Line[At] == '?') && (Parts.Number.empty() || Line[At - 1] == ';')) {
        // To the delimiter that closes it: a TAB of the source line is part
        // of the pattern, and \/ is not its end.
        const char Delimiter = Line[At];
        size_t End = At + 1;
        while (End < Line.size() && Line[End] != Delimiter)
            End += Line[End] == '\\' ? 2 : 1;
        if (End >= Line.size())
            return false;
        Parts.Pattern = Line.substr(At + 1, End - At - 1);
        Parts.PatternDelimiter = Delimiter;
        At = End + 1;
    }
    if (Parts.Number.empty() && !Parts.PatternDelimiter)
        return false;
    const std::string_view Rest = Line.substr(At);
    if (StartsWith(Rest, ";\"")) {
        if (Rest.size() > 2 && Rest[2] != '\t')
            return false;
        Parts.Fields = Rest.substr(Rest.size() > 2 ? 3 : 2);
        return true;
    }
    // The first format ends with the address.
    return Rest.empty();
}

void TTagsFileFormat::ReadPseudoTags(std::string_view Bytes)
{
    size_t Pos = 0;
    while (Pos < Bytes.size() && Bytes[Pos] == '!') {
        size_t End = Bytes.find('\n', Pos);
        if (End == std::string_view::npos)
            End = Bytes.size();
        std::string_view Line = Bytes.substr(Pos, End - Pos);
        if (!Line.empty() && Line.back() == '\r')
            Line.remove_suffix(1);
        Pos = End == Bytes.size() ? End : End + 1;
        if (!StartsWith(Line, "!_"))
            continue;
        size_t Cursor = 0;
        std::string_view Name, Value;
        if (NextTagField(Line, Cursor, Name) && NextTagField(Line, Cursor, Value))
            ReadPseudoTag(Name, Value);
    }
    FTagsBegin = Pos;
}

void TTagsFileFormat::ReadPseudoTag(std::string_view Name, std::string_view Value)
{
    if (Name == "!_TAG_FILE_SORTED") {
        if (Value == "1")
            FOrder = TTagsFileOrder::Sorted;
        else if (Value == "2")
            FOrder = TTagsFileOrder::FoldCase;
        else
            FOrder = TTagsFileOrder::Unsorted;
    } else if (Name == "!_TAG_PROGRAM_NAME") {
        FFlavour = StartsWith(Value, "Universal Ctags") ? TCtagsFlavour::Universal : TCtagsFlavour::Exuberant;
        // Universal Ctags' own mode unless !_TAG_OUTPUT_MODE said otherwise,
        // before or after.
        FEscaped = FFlavour == TCtagsFlavour::Universal && !FEctagsMode;
    } else if (Name == "!_TAG_OUTPUT_MODE") {
        FEctagsMode = Value == "e-ctags";
        FEscaped = FFlavour == TCtagsFlavour::Universal && !FEctagsMode;
    } else if (Name == "!_TAG_FILE_ENCODING") {
        FCodePage = CodePageNamed(Value);
    } else if (StartsWith(Name, "!_TAG_FIELD_DESCRIPTION")) {
        FListedFields.Add(Value);
    } else if (StartsWith(Name, "!_TAG_KIND_DESCRIPTION!")) {
        // "f,function": the letter, then the name.
        if (Value.size() > 2 && Value[1] == ',')
            FKinds[std::string(Name.substr(std::strlen("!_TAG_KIND_DESCRIPTION!")))][Value[0]] = std::string(
                Value.substr(2));
    }
}

std::wstring TTagsFileFormat::Decode(std::string_view Bytes) const
{
    if (FCodePage != 0)
        return CodePageToWide(FCodePage, Bytes);
    return CodePageToWide(IsValidUtf8(Bytes) ? CP_UTF8 : CP_ACP, Bytes);
}

std::string TTagsFileFormat::Encode(std::wstring_view Text) const
{
    try {
        return WideToCodePage(FCodePage != 0 ? FCodePage : CP_UTF8, Text);
    } catch (const EStringError&) {
        // What the file's code page cannot hold no name of it has.
        return {};
    }
}

std::vector<std::string> TTagsFileFormat::Spellings(std::wstring_view Name) const
{
    std::vector<std::string> Result;
    if (std::string Bytes = Encode(Name); !Bytes.empty())
        Result.push_back(std::move(Bytes));
    const bool Ascii = std::all_of(Name.begin(), Name.end(), [](wchar_t C) { return C < 0x80; });
    if (FCodePage == 0 && !Ascii) {
        try {
            // Only a spelling that comes back as the name: the code page
            // may have replaced what it cannot hold.
            std::string Ansi = WideToCodePage(CP_ACP, Name);
            if (CodePageToWide(CP_ACP, Ansi) == Name && (Result.empty() || Ansi != Result.front()))
                Result.push_back(std::move(Ansi));
        } catch (const EStringError&) {
            // No ANSI spelling, then.
        }
    }
    return Result;
}

std::string TTagsFileFormat::Unescaped(std::string_view Field) const
{
    return FEscaped ? Unescape(Field) : std::string(Field);
}

std::wstring TTagsFileFormat::NameOf(const TTagsFileLine& Parts) const
{
    return Decode(Unescaped(Parts.Name));
}

std::int32_t TTagsFileFormat::LineOf(const TTagsFileLine& Parts) const
{
    if (!Parts.Number.empty())
        return NumberOf(Parts.Number);
    return NumberOf(FieldsOf(Parts.Fields).Line);
}

std::optional<TTagPattern> TTagsFileFormat::PatternOf(const TTagsFileLine& Parts) const
{
    if (!Parts.PatternDelimiter)
        return std::nullopt;
    const TTagPatternBytes Bytes = ParseTagPattern(Parts.Pattern, Parts.PatternDelimiter);
    return TTagPattern{Decode(Bytes.Text), Bytes.Start, Bytes.End};
}

std::wstring TTagsFileFormat::KindOf(const TTagsFileLine& Parts) const
{
    const TLineFields Fields = FieldsOf(Parts.Fields);
    const std::string Kind = Unescaped(Fields.Kind);
    if (Kind.size() != 1)
        return Decode(Kind);
    const char Letter = Kind[0];
    if (const auto Language = FKinds.find(Fields.Language); Language != FKinds.end()) {
        if (const auto Found = Language->second.find(Letter); Found != Language->second.end())
            return Decode(Found->second);
    }
    // Without the language, a letter all languages name alike.
    const std::string* Named = nullptr;
    for (const auto& [Language, Kinds] : FKinds) {
        const auto Found = Kinds.find(Letter);
        if (Found == Kinds.end())
            continue;
        if (Named && *Named != Found->second)
            return Decode(Kind);
        Named = &Found->second;
    }
    return Decode(Named ? *Named : Kind);
}

std::wstring TTagsFileFormat::ScopeOf(const TTagsFileLine& Parts) const
{
    TTagScopeRule Rule;
    if (FFlavour == TCtagsFlavour::Universal)
        Rule = {true, FListedFields.Empty() ? &TTagFieldNames::Universal() : &FListedFields};
    else
        Rule = {false, &TTagFieldNames::Exuberant()};
    return Decode(Unescaped(FindScopeField(Parts.Fields, 0, Rule)));
}
