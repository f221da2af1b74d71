#include "bridge/uFarMacro.h"

#include <cwchar>

std::wstring TVariant::ToString() const
{
    struct TPrinter {
        std::wstring operator()(std::monostate) const { return L"unassigned"; }
        std::wstring operator()(TNull) const { return L"nil"; }
        std::wstring operator()(int64_t V) const { return std::to_wstring(V); }
        std::wstring operator()(double V) const
        {
            wchar_t Buffer[64];
            std::swprintf(Buffer, 64, L"%g", V);
            return Buffer;
        }
        std::wstring operator()(bool V) const { return V ? L"true" : L"false"; }
        std::wstring operator()(const std::wstring& V) const { return L"\"" + V + L"\""; }
        std::wstring operator()(uint8_t V) const { return L"byte " + std::to_wstring(V); }
        std::wstring operator()(const TVariantArray& V) const
        {
            std::wstring Text = L"[";
            for (size_t I = 0; I < V.size(); ++I)
                Text += (I ? L", " : L"") + V[I].ToString();
            return Text + L"]";
        }
    };
    return std::visit(TPrinter{}, FValue);
}

TVariantArray TFarMacro::GetArguments(const far3::OpenMacroInfo* MacroInfo)
{
    TVariantArray Result;
    if (!MacroInfo || MacroInfo->StructSize < sizeof(far3::OpenMacroInfo) || MacroInfo->Count == 0 ||
        !MacroInfo->Values)
        return Result;
    Result.resize(MacroInfo->Count);
    for (size_t I = 0; I < MacroInfo->Count; ++I)
        Result[I] = ValueToVariant(MacroInfo->Values[I]);
    return Result;
}

TVariant TFarMacro::ValueToVariant(const far3::FarMacroValue& Value)
{
    switch (Value.Type) {
    case far3::FMVT_INTEGER: return TVariant(static_cast<int64_t>(Value.Integer));
    case far3::FMVT_STRING: return TVariant(FromPointer(Value.String));
    case far3::FMVT_DOUBLE: return TVariant(Value.Double);
    case far3::FMVT_BOOLEAN: return TVariant(Value.Boolean != 0);
    case far3::FMVT_BINARY: {
        TVariantArray Bytes;
        // No data means no bytes, whatever the size says.
        if (const auto* Data = static_cast<const uint8_t*>(Value.Binary.Data)) {
            Bytes.reserve(Value.Binary.Size);
            for (size_t I = 0; I < Value.Binary.Size; ++I)
                Bytes.emplace_back(Data[I]);
        }
        return TVariant(std::move(Bytes));
    }
    case far3::FMVT_NIL: return TVariant::Null();
    case far3::FMVT_ARRAY: {
        TVariantArray Items;
        if (Value.Array.Values) {
            Items.reserve(Value.Array.Count);
            for (size_t I = 0; I < Value.Array.Count; ++I)
                Items.push_back(ValueToVariant(Value.Array.Values[I]));
        }
        return TVariant(std::move(Items));
    }
    default: return TVariant();
    }
}
