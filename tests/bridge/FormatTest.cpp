#include "base/Format.h"
#include "base/Exception.h"

#include <gtest/gtest.h>

TEST(Format, TheSpecifiersTheProgramUses)
{
    EXPECT_EQ(Format(L"Exit code: %d", {-3}), L"Exit code: -3");
    EXPECT_EQ(Format(L"[%*.*s]", {5, 3, L"abcdef"}), L"[  abc]");
    EXPECT_EQ(Format(L"[%-*.*s]", {5, 3, L"ab"}), L"[ab   ]");
    EXPECT_EQ(Format(L"%s%%%u %x", {L"a", 7u, 255}), L"a%7 ff");
    EXPECT_EQ(Format(L"%5d|%-4d|%.3d", {42, 7, 5}), L"   42|7   |005");
}

TEST(Format, MismatchesThrowInsteadOfReadingTheWrongThing)
{
    EXPECT_THROW(Format(L"%d", {L"text"}), EConvertError);
    EXPECT_THROW(Format(L"%s", {1}), EConvertError);
    EXPECT_THROW(Format(L"%s %s", {L"one"}), EConvertError);
    EXPECT_THROW(Format(L"%*s", {L"width", L"x"}), EConvertError);
    EXPECT_THROW(Format(L"100%", {}), EConvertError);
    EXPECT_THROW(Format(L"%q", {1}), EConvertError);
}
