// Macro call arguments as the host hands them to OpenW: an OpenMacroInfo
// whose FarMacroValues may be of any type, nested arrays and binary data
// included. A test writes the values; TMacroArgs keeps everything the
// records point to alive for as long as it exists.
#pragma once

#include "bridge/FarApi.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class TFarHost;

struct TMacroValue {
    far3::FARMACROVARTYPE Type = far3::FMVT_NIL;
    long long Integer = 0;
    double Double = 0;
    std::optional<std::wstring> String; // nullopt: a null string pointer
    std::vector<unsigned char> Bytes;
    std::vector<TMacroValue> Items;
    // A record passed on exactly as given, for shapes the helpers above do
    // not make (null data with a size, pointers, panels).
    std::optional<far3::FarMacroValue> Raw;

    static TMacroValue Int(long long Value);
    static TMacroValue Str(std::wstring Value);
    static TMacroValue NullStr();
    static TMacroValue Dbl(double Value);
    // The host passes booleans as a 64-bit number; any non-zero is true.
    static TMacroValue Bool(long long Value);
    static TMacroValue Bin(std::vector<unsigned char> Bytes);
    static TMacroValue Nil();
    static TMacroValue Array(std::vector<TMacroValue> Items);
    static TMacroValue Record(const far3::FarMacroValue& Value);
};

class TMacroArgs {
public:
    explicit TMacroArgs(std::vector<TMacroValue> Values);
    TMacroArgs(const TMacroArgs&) = delete;
    TMacroArgs& operator=(const TMacroArgs&) = delete;

    // StructSize is the host's 24; a test may change it.
    far3::OpenMacroInfo& Info() { return FInfo; }
    // What the host passes as OpenInfo.Data.
    intptr_t Data() { return reinterpret_cast<intptr_t>(&FInfo); }

private:
    far3::FarMacroValue* Build(const std::vector<TMacroValue>& Values);

    const std::vector<TMacroValue> FValues;
    std::deque<std::vector<far3::FarMacroValue>> FArrays;
    far3::OpenMacroInfo FInfo{};
};

// OpenW as a macro calls it: OPEN_FROMMACRO, the all-zero GUID, the arguments.
HANDLE OpenFromMacro(TFarHost& Host, TMacroArgs& Args);
