#include "tags/uTagFields.h"

#include <algorithm>
#include <initializer_list>

namespace {

int HexDigit(unsigned H) noexcept
{
    if (H >= '0' && H <= '9')
        return static_cast<int>(H - '0');
    if (H >= 'a' && H <= 'f')
        return static_cast<int>(H - 'a' + 10);
    if (H >= 'A' && H <= 'F')
        return static_cast<int>(H - 'A' + 10);
    return -1;
}

template <class C>
size_t UnescapeChars(C* Field, size_t Length) noexcept
{
    size_t Out = 0;
    for (size_t In = 0; In < Length; ++In) {
        const C Char = Field[In];
        if (Char == C('\\') && In + 1 < Length) {
            int Named = -1;
            switch (Field[In + 1]) {
            case C('t'): Named = '\t'; break;
            case C('r'): Named = '\r'; break;
            case C('n'): Named = '\n'; break;
            case C('\\'): Named = '\\'; break;
            case C('a'): Named = '\a'; break;
            case C('b'): Named = '\b'; break;
            case C('v'): Named = '\v'; break;
            case C('f'): Named = '\f'; break;
            case C('x'):
                if (In + 3 < Length) {
                    const int High = HexDigit(static_cast<unsigned>(Field[In + 2]));
                    const int Low = HexDigit(static_cast<unsigned>(Field[In + 3]));
                    if (High >= 0 && Low >= 0) {
                        Field[Out++] = static_cast<C>(High * 16 + Low);
                        In += 3;
                        continue;
                    }
                }
                break;
            default: break;
            }
            if (Named >= 0) {
                Field[Out++] = static_cast<C>(Named);
                ++In;
                continue;
            }
        }
        Field[Out++] = Char;
    }
    return Out;
}

TTagFieldNames NamesOf(std::initializer_list<std::string_view> Names)
{
    TTagFieldNames Result;
    for (const std::string_view Name : Names)
        Result.Add(Name);
    return Result;
}

} // namespace

size_t UnescapeInPlace(wchar_t* Field, size_t Length) noexcept
{
    return UnescapeChars(Field, Length);
}

size_t UnescapeInPlace(char* Field, size_t Length) noexcept
{
    return UnescapeChars(Field, Length);
}

std::string Unescape(std::string_view Field)
{
    std::string Result(Field);
    if (Result.find('\\') != std::string::npos)
        Result.resize(UnescapeInPlace(Result.data(), Result.size()));
    return Result;
}

std::string EscapeTagName(std::string_view Name)
{
    static const char Digits[] = "0123456789ABCDEF";
    std::string Result;
    Result.reserve(Name.size() + 4);
    for (size_t I = 0; I < Name.size(); ++I) {
        const auto Byte = static_cast<unsigned char>(Name[I]);
        const char* Named = nullptr;
        switch (Byte) {
        case '\t': Named = "\\t"; break;
        case '\r': Named = "\\r"; break;
        case '\n': Named = "\\n"; break;
        case '\\': Named = "\\\\"; break;
        case '\a': Named = "\\a"; break;
        case '\b': Named = "\\b"; break;
        case '\v': Named = "\\v"; break;
        case '\f': Named = "\\f"; break;
        default: break;
        }
        if (Named) {
            Result += Named;
        } else if (Byte < 0x20 || Byte == 0x7F || (I == 0 && (Byte == ' ' || Byte == '!'))) {
            Result += "\\x";
            Result += Digits[Byte >> 4];
            Result += Digits[Byte & 15];
        } else {
            Result += static_cast<char>(Byte);
        }
    }
    return Result;
}

const TTagFieldNames& TTagFieldNames::Exuberant()
{
    static const TTagFieldNames Names = NamesOf(
        {"access", "file", "implementation", "inherits", "kind", "language", "line", "signature", "typeref"});
    return Names;
}

const TTagFieldNames& TTagFieldNames::Universal()
{
    static const TTagFieldNames Names = NamesOf(
        {// Every language's.
         "access", "compact", "end", "epoch", "extras", "file", "inherits", "input", "kind", "language", "line", "name",
         "nth", "pattern", "roles", "scope", "scopeKind", "signature", "typeref", "xpath",
         // A language's own, on by default.
         "annotations", "assignment", "constructor", "definer", "home", "implements", "langid", "mixin", "moduleName",
         "nameref", "packageName", "protocols", "shell", "throws", "wrapping"});
    return Names;
}

void TTagFieldNames::Add(std::string_view Name)
{
    const auto At = std::lower_bound(FNames.begin(), FNames.end(), Name);
    if (At == FNames.end() || *At != Name)
        FNames.emplace(At, Name);
}

bool TTagFieldNames::Contains(std::string_view Name) const noexcept
{
    return std::binary_search(FNames.begin(), FNames.end(), Name);
}

bool TTagFieldNames::Contains(std::wstring_view Name) const noexcept
{
    // Field names are ASCII; a key that is not cannot be one.
    char Narrow[32];
    if (Name.size() > sizeof(Narrow))
        return false;
    for (size_t I = 0; I < Name.size(); ++I) {
        if (Name[I] > 0x7F)
            return false;
        Narrow[I] = static_cast<char>(Name[I]);
    }
    return Contains(std::string_view(Narrow, Name.size()));
}
