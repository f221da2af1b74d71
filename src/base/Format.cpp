#include "base/Format.h"

#include "base/Exception.h"

#include <cwchar>

namespace {

[[noreturn]] void Invalid(std::wstring_view Fmt)
{
    throw EConvertError(L"Format '" + std::wstring(Fmt) + L"' invalid or incompatible with argument");
}

class TArgReader {
public:
    TArgReader(std::wstring_view Fmt, std::initializer_list<TFormatArg> Args)
        : FFmt(Fmt), FNext(Args.begin()), FEnd(Args.end())
    {
    }

    const TFormatArg& Next()
    {
        if (FNext == FEnd)
            Invalid(FFmt);
        return *FNext++;
    }
    std::int64_t NextInteger()
    {
        const TFormatArg& Arg = Next();
        if (!Arg.IsInteger())
            Invalid(FFmt);
        return Arg.Integer();
    }

private:
    std::wstring_view FFmt;
    const TFormatArg* FNext;
    const TFormatArg* FEnd;
};

void Pad(std::wstring& Out, std::wstring_view Body, std::int64_t Width, bool Left)
{
    const std::int64_t Fill = Width > static_cast<std::int64_t>(Body.size())
                                  ? Width - static_cast<std::int64_t>(Body.size())
                                  : 0;
    if (!Left)
        Out.append(static_cast<size_t>(Fill), L' ');
    Out.append(Body);
    if (Left)
        Out.append(static_cast<size_t>(Fill), L' ');
}

// A width or a precision at I: digits, or '*' for the next argument.
std::int64_t ReadNumber(std::wstring_view Fmt, size_t& I, TArgReader& Reader)
{
    if (I < Fmt.size() && Fmt[I] == L'*') {
        ++I;
        return Reader.NextInteger();
    }
    std::int64_t Value = 0;
    while (I < Fmt.size() && Fmt[I] >= L'0' && Fmt[I] <= L'9') {
        Value = Value * 10 + (Fmt[I] - L'0');
        if (Value > 0xFFFFFF)
            Invalid(Fmt);
        ++I;
    }
    return Value;
}

// The digits of the integer conversion Type (d, u or x, in either case),
// at least Precision of them.
std::wstring IntegerText(wchar_t Type, std::int64_t Value, std::int64_t Precision)
{
    wchar_t Buffer[32];
    const bool Hex = Type == L'x' || Type == L'X';
    const bool Unsigned = Hex || Type == L'u' || Type == L'U';
    std::uint64_t Magnitude = Unsigned || Value >= 0 ? static_cast<std::uint64_t>(Value)
                                                     : 0 - static_cast<std::uint64_t>(Value);
    if (Unsigned && !Hex && Value < 0)
        Magnitude = static_cast<std::uint32_t>(Value);
    std::swprintf(Buffer, 32, Hex ? (Type == L'x' ? L"%llx" : L"%llX") : L"%llu",
                  static_cast<unsigned long long>(Magnitude));
    std::wstring Digits(Buffer);
    if (Precision > static_cast<std::int64_t>(Digits.size()))
        Digits.insert(0, static_cast<size_t>(Precision) - Digits.size(), L'0');
    if (!Unsigned && Value < 0)
        Digits.insert(0, 1, L'-');
    return Digits;
}

} // namespace

std::wstring Format(std::wstring_view Fmt, std::initializer_list<TFormatArg> Args)
{
    TArgReader Reader(Fmt, Args);
    std::wstring Out;
    Out.reserve(Fmt.size() + 16);
    size_t I = 0;
    const size_t N = Fmt.size();
    while (I < N) {
        const wchar_t C = Fmt[I++];
        if (C != L'%') {
            Out += C;
            continue;
        }
        if (I >= N)
            Invalid(Fmt);
        if (Fmt[I] == L'%') {
            Out += L'%';
            ++I;
            continue;
        }
        bool Left = false;
        if (Fmt[I] == L'-') {
            Left = true;
            ++I;
        }
        const std::int64_t Width = ReadNumber(Fmt, I, Reader);
        std::int64_t Precision = -1;
        if (I < N && Fmt[I] == L'.') {
            ++I;
            Precision = ReadNumber(Fmt, I, Reader);
        }
        if (I >= N)
            Invalid(Fmt);
        const wchar_t Type = Fmt[I++];
        const TFormatArg& Arg = Reader.Next();
        switch (Type) {
        case L's':
        case L'S': {
            if (Arg.IsInteger())
                Invalid(Fmt);
            std::wstring_view Text = Arg.Text();
            if (Precision >= 0 && static_cast<std::int64_t>(Text.size()) > Precision)
                Text = Text.substr(0, static_cast<size_t>(Precision));
            Pad(Out, Text, Width, Left);
            break;
        }
        case L'd':
        case L'D':
        case L'u':
        case L'U':
        case L'x':
        case L'X':
            if (!Arg.IsInteger())
                Invalid(Fmt);
            Pad(Out, IntegerText(Type, Arg.Integer(), Precision), Width, Left);
            break;
        default: Invalid(Fmt);
        }
    }
    return Out;
}
