// Turns the arguments of a macro call into variants.
#pragma once

#include "bridge/uFarModule.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class TVariant;
using TVariantArray = std::vector<TVariant>;

// A small recursive variant for macro values: unassigned (a type we do not
// convert), null (the macro's nil), a 64-bit integer, a double, a Boolean, a
// string, a byte (an element of binary data) or an array of variants.
class TVariant {
public:
    struct TNull {
        friend bool operator==(TNull, TNull) { return true; }
    };
    using TValue = std::variant<std::monostate, TNull, int64_t, double, bool, std::wstring, uint8_t, TVariantArray>;

    TVariant() = default;
    TVariant(TNull) : FValue(TNull{}) {}
    TVariant(int64_t Value) : FValue(Value) {}
    TVariant(double Value) : FValue(Value) {}
    TVariant(bool Value) : FValue(Value) {}
    TVariant(std::wstring Value) : FValue(std::move(Value)) {}
    TVariant(const wchar_t* Value) : FValue(std::wstring(Value)) {}
    TVariant(uint8_t Value) : FValue(Value) {}
    TVariant(TVariantArray Value) : FValue(std::move(Value)) {}

    static TVariant Null() { return TVariant(TNull{}); }

    const TValue& Value() const { return FValue; }
    bool IsUnassigned() const { return std::holds_alternative<std::monostate>(FValue); }
    bool IsNull() const { return std::holds_alternative<TNull>(FValue); }
    template <class T>
    bool Is() const
    {
        return std::holds_alternative<T>(FValue);
    }
    // The value as T; throws std::bad_variant_access for another type.
    template <class T>
    const T& As() const
    {
        return std::get<T>(FValue);
    }

    friend bool operator==(const TVariant& A, const TVariant& B) { return A.FValue == B.FValue; }
    friend bool operator!=(const TVariant& A, const TVariant& B) { return !(A == B); }

    // A readable form for logs and test failures, e.g. [1, "a", nil].
    std::wstring ToString() const;

private:
    TValue FValue;
};

class TFarMacro : public TFarCommonModule {
public:
    TFarMacro() = delete;

    // The macro's arguments in order; empty for a missing or too small record.
    static TVariantArray GetArguments(const far3::OpenMacroInfo* MacroInfo);
    static TVariant ValueToVariant(const far3::FarMacroValue& Value);
};
