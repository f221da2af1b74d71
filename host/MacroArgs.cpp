#include "MacroArgs.h"

#include "FarHost.h"

TMacroValue TMacroValue::Int(long long Value)
{
    TMacroValue V;
    V.Type = far3::FMVT_INTEGER;
    V.Integer = Value;
    return V;
}

TMacroValue TMacroValue::Str(std::wstring Value)
{
    TMacroValue V;
    V.Type = far3::FMVT_STRING;
    V.String = std::move(Value);
    return V;
}

TMacroValue TMacroValue::NullStr()
{
    TMacroValue V;
    V.Type = far3::FMVT_STRING;
    return V;
}

TMacroValue TMacroValue::Dbl(double Value)
{
    TMacroValue V;
    V.Type = far3::FMVT_DOUBLE;
    V.Double = Value;
    return V;
}

TMacroValue TMacroValue::Bool(long long Value)
{
    TMacroValue V;
    V.Type = far3::FMVT_BOOLEAN;
    V.Integer = Value;
    return V;
}

TMacroValue TMacroValue::Bin(std::vector<unsigned char> Bytes)
{
    TMacroValue V;
    V.Type = far3::FMVT_BINARY;
    V.Bytes = std::move(Bytes);
    return V;
}

TMacroValue TMacroValue::Nil()
{
    return TMacroValue{};
}

TMacroValue TMacroValue::Array(std::vector<TMacroValue> Items)
{
    TMacroValue V;
    V.Type = far3::FMVT_ARRAY;
    V.Items = std::move(Items);
    return V;
}

TMacroValue TMacroValue::Record(const far3::FarMacroValue& Value)
{
    TMacroValue V;
    V.Type = Value.Type;
    V.Raw = Value;
    return V;
}

TMacroArgs::TMacroArgs(std::vector<TMacroValue> Values) : FValues(std::move(Values))
{
    FInfo.StructSize = sizeof(far3::OpenMacroInfo);
    FInfo.Count = FValues.size();
    FInfo.Values = Build(FValues);
}

far3::FarMacroValue* TMacroArgs::Build(const std::vector<TMacroValue>& Values)
{
    if (Values.empty())
        return nullptr;
    // A deque keeps earlier arrays in place while nested ones are added.
    std::vector<far3::FarMacroValue>& Records = FArrays.emplace_back(Values.size());
    for (size_t I = 0; I < Values.size(); ++I) {
        const TMacroValue& Value = Values[I];
        far3::FarMacroValue Record{};
        Record.Type = Value.Type;
        switch (Value.Type) {
        case far3::FMVT_INTEGER:
        case far3::FMVT_BOOLEAN: Record.Integer = Value.Integer; break;
        case far3::FMVT_DOUBLE: Record.Double = Value.Double; break;
        case far3::FMVT_STRING: Record.String = Value.String ? Value.String->c_str() : nullptr; break;
        case far3::FMVT_BINARY:
            Record.Binary.Data = Value.Bytes.empty() ? nullptr : const_cast<unsigned char*>(Value.Bytes.data());
            Record.Binary.Size = Value.Bytes.size();
            break;
        case far3::FMVT_ARRAY:
            Record.Array.Count = Value.Items.size();
            Record.Array.Values = Build(Value.Items);
            break;
        default: break;
        }
        if (Value.Raw)
            Record = *Value.Raw;
        Records[I] = Record;
    }
    return Records.data();
}

HANDLE OpenFromMacro(TFarHost& Host, TMacroArgs& Args)
{
    static const GUID NoGuid{};
    return Host.Open(far3::OPEN_FROMMACRO, &NoGuid, Args.Data());
}
