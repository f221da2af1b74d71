// Macro call arguments, as the host passes them to OpenW, become variants.
#include "MacroArgs.h"
#include "bridge/uFarMacro.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using V = TMacroValue;

TVariant Int(int64_t Value)
{
    return TVariant(Value);
}
TVariant Byte(uint8_t Value)
{
    return TVariant(Value);
}

far3::FarMacroValue Raw(far3::FARMACROVARTYPE Type)
{
    far3::FarMacroValue Value{};
    Value.Type = Type;
    Value.Pointer = &Value;
    return Value;
}

} // namespace

void PrintTo(const TVariant& Value, std::ostream* Out)
{
    for (wchar_t C : Value.ToString())
        *Out << static_cast<char>(C < 128 ? C : '?');
}

TEST(FarMacro, EveryValueTypeConverts)
{
    TMacroArgs Args({V::Str(L"execute"), V::Int(5), V::Int(-(int64_t(1) << 40)), V::Dbl(2.5), V::Bool(7), V::Bool(0),
                     V::Nil(), V::NullStr(), V::Record(Raw(far3::FMVT_POINTER)), V::Record(Raw(far3::FMVT_PANEL)),
                     V::Record(Raw(far3::FMVT_ERROR)), V::Record(Raw(far3::FMVT_UNKNOWN)),
                     V::Record(Raw(far3::FMVT_MBSTRING))});
    const TVariantArray Result = TFarMacro::GetArguments(&Args.Info());
    EXPECT_THAT(Result, ElementsAre(TVariant(L"execute"), Int(5), Int(-(int64_t(1) << 40)), TVariant(2.5),
                                    TVariant(true), TVariant(false), TVariant::Null(), TVariant(L""), TVariant(),
                                    TVariant(), TVariant(), TVariant(), TVariant()));
    // The kinds stay apart: 5 is an integer, not a double or a Boolean.
    EXPECT_TRUE(Result[1].Is<int64_t>());
    EXPECT_TRUE(Result[6].IsNull());
    EXPECT_TRUE(Result[8].IsUnassigned());
}

TEST(FarMacro, BinaryDataAndNestedArraysBecomeArrays)
{
    TMacroArgs Args(
        {V::Bin({0, 127, 255}), V::Array({V::Int(1), V::Array({V::Str(L"a"), V::Bin({9}), V::Array({})}), V::Nil()})});
    const TVariantArray Result = TFarMacro::GetArguments(&Args.Info());
    ASSERT_EQ(Result.size(), 2u);
    EXPECT_EQ(Result[0], TVariant(TVariantArray{Byte(0), Byte(127), Byte(255)}));
    EXPECT_EQ(Result[1],
              TVariant(TVariantArray{Int(1), TVariantArray{TVariant(L"a"), TVariantArray{Byte(9)}, TVariantArray{}},
                                     TVariant::Null()}));
    EXPECT_EQ(Result[1].ToString(), L"[1, [\"a\", [byte 9], []], nil]");
}

TEST(FarMacro, MissingOrMalformedArgumentsGiveNothingRatherThanACrash)
{
    EXPECT_THAT(TFarMacro::GetArguments(nullptr), IsEmpty());

    TMacroArgs Two({V::Str(L"execute"), V::Int(5)});
    Two.Info().StructSize = 16;
    EXPECT_THAT(TFarMacro::GetArguments(&Two.Info()), IsEmpty());
    Two.Info().StructSize = sizeof(far3::OpenMacroInfo);
    Two.Info().Count = 0;
    EXPECT_THAT(TFarMacro::GetArguments(&Two.Info()), IsEmpty());

    // A count without values, binary data or an array without its records.
    far3::OpenMacroInfo NoValues{sizeof(far3::OpenMacroInfo), 2, nullptr};
    EXPECT_THAT(TFarMacro::GetArguments(&NoValues), IsEmpty());
    far3::FarMacroValue NoData = Raw(far3::FMVT_BINARY);
    NoData.Binary = {nullptr, 4};
    far3::FarMacroValue NoItems = Raw(far3::FMVT_ARRAY);
    NoItems.Array = {nullptr, 3};
    TMacroArgs Hollow({V::Record(NoData), V::Record(NoItems)});
    EXPECT_THAT(TFarMacro::GetArguments(&Hollow.Info()), ElementsAre(TVariantArray{}, TVariantArray{}));
}
