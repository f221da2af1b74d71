// A small, runtime-checked formatter for the specifiers the program uses:
// %s, %d, %u, %x, with optional '-' (left-justify), width and precision, each
// of which may be '*' (taken from the next integer argument), and %%.
// A specifier that does not match its argument, or a missing argument,
// throws EConvertError, so a bad format never reads the wrong thing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

class TFormatArg {
public:
    TFormatArg(int Value) : FValue(static_cast<std::int64_t>(Value)) {}
    TFormatArg(long Value) : FValue(static_cast<std::int64_t>(Value)) {}
    TFormatArg(long long Value) : FValue(static_cast<std::int64_t>(Value)) {}
    TFormatArg(unsigned Value) : FValue(static_cast<std::int64_t>(Value)) {}
    TFormatArg(unsigned long Value) : FValue(static_cast<std::int64_t>(Value)) {}
    TFormatArg(unsigned long long Value) : FValue(static_cast<std::int64_t>(Value)) {}
    TFormatArg(const wchar_t* Value) : FValue(std::wstring_view(Value ? Value : L"")) {}
    TFormatArg(const std::wstring& Value) : FValue(std::wstring_view(Value)) {}
    TFormatArg(std::wstring_view Value) : FValue(Value) {}

    bool IsInteger() const { return std::holds_alternative<std::int64_t>(FValue); }
    std::int64_t Integer() const { return std::get<std::int64_t>(FValue); }
    std::wstring_view Text() const { return std::get<std::wstring_view>(FValue); }

private:
    std::variant<std::int64_t, std::wstring_view> FValue;
};

std::wstring Format(std::wstring_view Fmt, std::initializer_list<TFormatArg> Args);
