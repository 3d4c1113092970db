// SPDX-License-Identifier: MIT
#include "geometry/Format.h"

#include <gtest/gtest.h>

using namespace camber;

struct MaskCase {
    double value;
    const char* mask;
    const char* expected;
};

class Masks : public ::testing::TestWithParam<MaskCase> {};

TEST_P(Masks, FormatsAsTheMaskSays)
{
    const auto& c = GetParam();
    EXPECT_EQ(format_number(c.value, c.mask), c.expected) << c.value << " with \"" << c.mask << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Masks,
    ::testing::Values(MaskCase{0.4, "0.00#", "0.40"}, MaskCase{0.405f, "0.00#", "0.405"},
                      MaskCase{-1.5, "0.00#", "-1.50"}, MaskCase{61, " ##0.0", " 61.0"},
                      MaskCase{4, " ##0.0", " 4.0"}, MaskCase{0.7f, "0.0000", "0.7000"},
                      MaskCase{-1.25, "0.0000", "-1.2500"}, MaskCase{1, "#0", "1"}, MaskCase{0, "#0", "0"},
                      MaskCase{12.5, "#0", "13"}, MaskCase{0.12346, "#0.00000", "0.12346"},
                      MaskCase{0.1234, "#0.000", "0.123"}, MaskCase{0.25, "#0.000##", "0.250"},
                      MaskCase{0.123456, "#0.000##", "0.12346"}, MaskCase{-0.1, "#0.00", "-0.10"},
                      MaskCase{0.0005, "0.000", "0.001"}, MaskCase{-0.012345f, "0.000000", "-0.012345"},
                      MaskCase{0.5, "#.00", ".50"}, MaskCase{1234.5, "0.0", "1234.5"},
                      MaskCase{0.00001234, "0.00000#", "0.000012"}, MaskCase{2.5, "0", "3"}, MaskCase{-0.0000004, "0.000000", "0.000000"}));

TEST(TextToNumber, ReadsTheLeadingNumberWhateverFollows)
{
    struct {
        const char* text;
        double value;
    } cases[] = {{"0.5", 0.5},        {"-0.0123", -0.0123}, {"  12", 12},     {"1.5E2", 150},   {"1.5d-1", 0.15},
                 {"2 5", 25},         {"\t3.5", 3.5},       {"abc", 0},       {"", 0},          {".5x", 0.5},
                 {"+7", 7},           {"1e", 1},            {"-", 0},         {"61.", 61},      {"1,5", 1}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(text_to_number(c.text), c.value) << '"' << c.text << '"';
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(round_half_even(1.4), 1);
    EXPECT_EQ(round_half_even(2.5), 2);
    EXPECT_EQ(round_half_even(2.6), 3);
    EXPECT_EQ(round_half_even(3.5), 4);
    EXPECT_EQ(round_half_even(-2.5), -2);
    EXPECT_EQ(round_half_even(-0.6), -1);
    EXPECT_EQ(round_half_even(1040.5), 1040);
}

TEST(FixedLine, WritesLeftAlignedFieldsCutToTenCharacters)
{
    FixedLine line(40);
    line.put(1, "0.7000").put(11, "12345678901234").put(31, "x");
    EXPECT_EQ(line.str(), "0.7000    1234567890          x         ");
}
