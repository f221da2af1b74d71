#include "base/uStrings.h"

#include <windows.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <climits>

namespace {

[[noreturn]] void ConversionFailed()
{
    throw EStringError(L"Conversion failed.");
}

bool IsAscii(std::wstring_view Text)
{
    for (const wchar_t C : Text)
        if (C >= 0x80)
            return false;
    return true;
}

// The most bytes one UTF-16 code unit can take in CodePage.
int MaxBytesPerUnit(unsigned CodePage)
{
    if (CodePage == CP_UTF8)
        return 3;
    CPINFO Info;
    if (::GetCPInfo(CodePage, &Info) && Info.MaxCharSize > 0)
        return static_cast<int>(Info.MaxCharSize);
    return 4;
}

} // namespace

std::string AnsiToOem(std::string_view Bytes)
{
    std::string Result(Bytes);
    if (Result.empty())
        return Result;
    if (Result.size() > MAXDWORD || !::CharToOemBuffA(Result.data(), Result.data(), static_cast<DWORD>(Result.size())))
        ConversionFailed();
    return Result;
}

void AppendWideToCodePage(unsigned CodePage, std::wstring_view Text, std::string& Out)
{
    if (Text.empty())
        return;
    // Most of what the program writes is plain ASCII, which UTF-8 keeps as it
    // is: skipping the system call makes line-by-line writing cheap.
    if (CodePage == CP_UTF8 && IsAscii(Text)) {
        const size_t Start = Out.size();
        Out.resize(Start + Text.size());
        for (size_t I = 0; I < Text.size(); ++I)
            Out[Start + I] = static_cast<char>(Text[I]);
        return;
    }
    if (Text.size() > INT_MAX / 4)
        ConversionFailed();
    const int Capacity = static_cast<int>(Text.size()) * MaxBytesPerUnit(CodePage);
    const size_t Start = Out.size();
    Out.resize(Start + static_cast<size_t>(Capacity));
    const int Done = ::WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), Out.data() + Start,
                                           Capacity, nullptr, nullptr);
    if (Done <= 0) {
        Out.resize(Start);
        ConversionFailed();
    }
    Out.resize(Start + static_cast<size_t>(Done));
}

std::string WideToCodePage(unsigned CodePage, std::wstring_view Text)
{
    std::string Result;
    AppendWideToCodePage(CodePage, Text, Result);
    return Result;
}

std::string WideToUtf8(std::wstring_view Text)
{
    return WideToCodePage(CP_UTF8, Text);
}

namespace {

// UTF-8 and the system's code pages never take more UTF-16 units than bytes,
// so one allocation and one pass serve.
bool TryDecode(unsigned CodePage, DWORD Flags, std::string_view Bytes, std::wstring& Text)
{
    Text.clear();
    if (Bytes.empty())
        return true;
    if (Bytes.size() > INT_MAX)
        return false;
    Text.resize(Bytes.size());
    const int Done = ::MultiByteToWideChar(CodePage, Flags, Bytes.data(), static_cast<int>(Bytes.size()), Text.data(),
                                           static_cast<int>(Text.size()));
    Text.resize(static_cast<size_t>(Done > 0 ? Done : 0));
    return Done > 0;
}

} // namespace

std::wstring CodePageToWide(unsigned CodePage, std::string_view Bytes)
{
    std::wstring Result;
    TryDecode(CodePage, 0, Bytes, Result);
    return Result;
}

bool IsValidUtf8(std::string_view Bytes)
{
    if (Bytes.empty())
        return true;
    if (Bytes.size() > INT_MAX)
        return false;
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(), static_cast<int>(Bytes.size()), nullptr,
                                 0) > 0;
}

namespace {

// The length of the prefix of Bytes that is ASCII, 16 bytes at
// a time where the processor allows.
size_t PlainAsciiPrefix(std::string_view Bytes)
{
    size_t I = 0;
#ifdef __SSE2__
    for (; I + 16 <= Bytes.size(); I += 16) {
        const __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes.data() + I));
        if (_mm_movemask_epi8(Block) != 0)
            break;
    }
#endif
    while (I < Bytes.size() && static_cast<signed char>(Bytes[I]) >= 0)
        ++I;
    return I;
}

// The system decodes at most 2 GiB at a time. What is beyond it must not
// come out as an empty text, which would read as "no tags".
[[noreturn]] void ThrowTooLarge(size_t Size)
{
    throw EStringError(L"The output is too large to read (" + std::to_wstring(Size) + L" bytes).");
}

} // namespace

// The output of ctags is mostly ASCII, which is widened here without the
// system: a system call over megabytes of it cost more than all the parsing. ASCII never splits a UTF-8
// sequence, so the system decodes the rest exactly as it would have decoded
// the whole.
bool TryDecodeUtf8(std::string_view Bytes, std::wstring& Text)
{
    const size_t Ascii = PlainAsciiPrefix(Bytes);
    // Widened in one pass into memory that is not cleared first.
    Text = std::wstring(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(Ascii));
    if (Ascii == Bytes.size())
        return true;
    const std::string_view Rest = Bytes.substr(Ascii);
    if (Rest.size() > INT_MAX)
        ThrowTooLarge(Bytes.size());
    // UTF-8 never takes more UTF-16 units than bytes.
    Text.resize(Ascii + Rest.size());
    const int Done = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Rest.data(), static_cast<int>(Rest.size()),
                                           Text.data() + Ascii, static_cast<int>(Rest.size()));
    if (Done <= 0)
        return false;
    Text.resize(Ascii + static_cast<size_t>(Done));
    return true;
}

std::wstring DecodeText(std::string_view Bytes)
{
    std::wstring Text;
    const auto Starts = [&](std::string_view Mark) { return Bytes.substr(0, Mark.size()) == Mark; };
    if (Starts("\xEF\xBB\xBF")) {
        if (Bytes.size() - 3 > INT_MAX)
            ThrowTooLarge(Bytes.size());
        Text = CodePageToWide(CP_UTF8, Bytes.substr(3));
    } else if (Starts("\xFF\xFE") || Starts("\xFE\xFF")) {
        const bool BigEndian = Bytes[0] == '\xFE';
        Bytes.remove_prefix(2);
        Text.resize(Bytes.size() / 2);
        for (size_t I = 0; I < Text.size(); ++I) {
            const auto B0 = static_cast<unsigned char>(Bytes[2 * I]);
            const auto B1 = static_cast<unsigned char>(Bytes[2 * I + 1]);
            Text[I] = static_cast<wchar_t>(BigEndian ? (B0 << 8 | B1) : (B1 << 8 | B0));
        }
    } else {
        // ctags writes names in the bytes of the source file, and the editor's
        // snapshot is UTF-8: reading valid UTF-8 as ANSI would garble every
        // non-ASCII name.
        if (!TryDecodeUtf8(Bytes, Text)) {
            if (Bytes.size() > INT_MAX)
                ThrowTooLarge(Bytes.size());
            Text = CodePageToWide(CP_ACP, Bytes);
        }
    }
    return Text;
}

size_t FindEither(std::wstring_view Text, size_t From, wchar_t A, wchar_t B)
{
    size_t I = From;
#ifdef __SSE2__
    const __m128i WantA = _mm_set1_epi16(static_cast<short>(A));
    const __m128i WantB = _mm_set1_epi16(static_cast<short>(B));
    for (; I + 8 <= Text.size(); I += 8) {
        const __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text.data() + I));
        const int Found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(Block, WantA), _mm_cmpeq_epi16(Block, WantB)));
        if (Found != 0)
            return I + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(Found))) / 2;
    }
#endif
    while (I < Text.size() && Text[I] != A && Text[I] != B)
        ++I;
    return I;
}

size_t FindByte(std::string_view Text, size_t From, char Byte) noexcept
{
    size_t I = From;
#ifdef __SSE2__
    const __m128i Want = _mm_set1_epi8(Byte);
    for (; I + 32 <= Text.size(); I += 32) {
        const __m128i Low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text.data() + I));
        const __m128i High = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text.data() + I + 16));
        const auto Found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Low, Want))) |
                           static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(High, Want))) << 16;
        if (Found != 0)
            return I + static_cast<size_t>(__builtin_ctz(Found));
    }
#endif
    while (I < Text.size() && Text[I] != Byte)
        ++I;
    return I;
}

bool NextTextLine(std::wstring_view Text, size_t& Pos, std::wstring_view& Line)
{
    if (Pos >= Text.size())
        return false;
    const size_t Break = FindEither(Text, Pos, L'\n', L'\r');
    Line = Text.substr(Pos, Break - Pos);
    // A NUL ends the line it is in, not the text: what follows the next
    // line break still counts.
    if (const size_t Nul = Line.find(L'\0'); Nul != std::wstring_view::npos)
        Line = Line.substr(0, Nul);
    Pos = Break + 1;
    if (Break < Text.size() && Text[Break] == L'\r' && Pos < Text.size() && Text[Pos] == L'\n')
        ++Pos;
    return true;
}

std::vector<std::wstring> SplitTextLines(std::wstring_view Text)
{
    std::vector<std::wstring> Lines;
    size_t Pos = 0;
    std::wstring_view Line;
    while (NextTextLine(Text, Pos, Line))
        Lines.emplace_back(Line);
    return Lines;
}

std::wstring UpperCaseText(std::wstring_view Text)
{
    std::wstring Result(Text);
    // CharUpperBuffW counts in DWORD; a longer text goes in pieces.
    constexpr size_t Piece = 1u << 30;
    for (size_t Done = 0; Done < Result.size(); Done += Piece)
        ::CharUpperBuffW(Result.data() + Done, static_cast<DWORD>(std::min(Piece, Result.size() - Done)));
    return Result;
}

std::wstring TrimText(std::wstring_view Text)
{
    size_t First = 0;
    size_t Last = Text.size();
    while (First < Last && Text[First] <= L' ')
        ++First;
    while (Last > First && Text[Last - 1] <= L' ')
        --Last;
    return std::wstring(Text.substr(First, Last - First));
}

bool TryStrToInt32(std::wstring_view Text, std::int32_t& Value)
{
    size_t I = 0;
    while (I < Text.size() && Text[I] == L' ')
        ++I;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == L'+' || Text[I] == L'-')) {
        Negative = Text[I] == L'-';
        ++I;
    }
    unsigned Base = 10;
    if (I < Text.size() && (Text[I] == L'$' || Text[I] == L'x' || Text[I] == L'X')) {
        Base = 16;
        ++I;
    } else if (I + 1 < Text.size() && Text[I] == L'0' && (Text[I + 1] == L'x' || Text[I + 1] == L'X')) {
        Base = 16;
        I += 2;
    }
    if (I == Text.size())
        return false;
    // Accumulated as a magnitude in 64 bits, so that the limit test is exact
    // for both signs.
    std::uint64_t Magnitude = 0;
    for (; I < Text.size(); ++I) {
        const wchar_t C = Text[I];
        unsigned Digit;
        if (C >= L'0' && C <= L'9')
            Digit = static_cast<unsigned>(C - L'0');
        else if (Base == 16 && C >= L'a' && C <= L'f')
            Digit = static_cast<unsigned>(C - L'a' + 10);
        else if (Base == 16 && C >= L'A' && C <= L'F')
            Digit = static_cast<unsigned>(C - L'A' + 10);
        else
            return false;
        Magnitude = Magnitude * Base + Digit;
        if (Magnitude > 0x80000000ull)
            return false;
    }
    if (!Negative && Magnitude > 0x7FFFFFFFull)
        return false;
    Value = Negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(Magnitude))
                     : static_cast<std::int32_t>(Magnitude);
    return true;
}

int CompareTextLocale(std::wstring_view A, std::wstring_view B)
{
    const int Result = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(), static_cast<int>(A.size()),
                                        B.data(), static_cast<int>(B.size()));
    return Result == 0 ? 0 : Result - CSTR_EQUAL;
}

std::string SortKeyLocale(std::wstring_view Text)
{
    std::string Key;
    if (Text.size() > INT_MAX / 8)
        return Key;
    const int Length = static_cast<int>(Text.size());
    constexpr DWORD Flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    // Sort keys are counted in bytes and written through a wide-char pointer.
    // A key mostly fits a small buffer, which saves the call that asks for
    // the size.
    alignas(wchar_t) char Small[256];
    int Done = ::LCMapStringW(LOCALE_USER_DEFAULT, Flags, Text.data(), Length, reinterpret_cast<wchar_t*>(Small),
                              sizeof(Small));
    if (Done > 0) {
        Key.assign(Small, static_cast<size_t>(Done));
    } else {
        const int Size = ::LCMapStringW(LOCALE_USER_DEFAULT, Flags, Text.data(), Length, nullptr, 0);
        if (Size <= 0)
            return Key;
        Key.resize(static_cast<size_t>(Size));
        Done = ::LCMapStringW(LOCALE_USER_DEFAULT, Flags, Text.data(), Length, reinterpret_cast<wchar_t*>(Key.data()),
                              Size);
        Key.resize(static_cast<size_t>(Done > 0 ? Done : 0));
    }
    // The key ends in a NUL byte that only delimits it.
    while (!Key.empty() && Key.back() == '\0')
        Key.pop_back();
    return Key;
}
