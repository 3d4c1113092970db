// SPDX-License-Identifier: MIT
#include "shell/SectionReader.h"

#include <gtest/gtest.h>

using namespace camber;

namespace {

struct Parsed {
    Integer k_num = -5;
    Integer n_err = 7;
    Single a[7] = {-9, -9, -9, -9, -9, -9, -9};
};

Parsed parse(const std::string& line)
{
    Parsed p;
    Integer k_arg = 0;
    str_ass(line, p.k_num, k_arg, p.n_err, &p.a[0], &p.a[1], &p.a[2], &p.a[3], &p.a[4], &p.a[5], &p.a[6]);
    return p;
}

} // namespace

TEST(StrAss, SplitsOnSpacesAndSkipsEmptyFields)
{
    for (const char* line : {"0.5  -0.0123", " 0.5  -0.0123", "0.5 -0.0123  "}) {
        const auto p = parse(line);
        EXPECT_EQ(p.k_num, 2) << '"' << line << '"';
        EXPECT_FLOAT_EQ(p.a[0], 0.5f);
        EXPECT_FLOAT_EQ(p.a[1], -0.0123f);
        EXPECT_EQ(p.a[2], -9.0f) << "absent fields are left alone";
        EXPECT_EQ(p.n_err, 7);
    }
}

TEST(StrAss, CutsFieldsToTenCharacters)
{
    EXPECT_FLOAT_EQ(parse("-0.00123456789").a[0], -0.0012345f);
    EXPECT_FLOAT_EQ(parse("0.123456789").a[0], 0.12345678f);
}

TEST(StrAss, EmptyAndBlankLines)
{
    const auto empty = parse("");
    EXPECT_EQ(empty.k_num, 0);
    EXPECT_EQ(empty.n_err, -1);
    const auto blank = parse("    ");
    EXPECT_EQ(blank.k_num, 0);
    EXPECT_EQ(blank.n_err, 7);
}

TEST(StrAss, CountsEveryFieldButStoresSeven)
{
    const auto p = parse("1 2 3 4 5 6 7 8 9");
    EXPECT_EQ(p.k_num, 9);
    EXPECT_EQ(p.a[6], 7.0f);
}

TEST(StrAss, TabsDoNotSeparateAndTextReadsAsZero)
{
    const auto p = parse("1\t2 x 3E1");
    EXPECT_EQ(p.k_num, 3);
    EXPECT_FLOAT_EQ(p.a[0], 12.0f) << "the tab is skipped inside the number";
    EXPECT_EQ(p.a[1], 0.0f);
    EXPECT_FLOAT_EQ(p.a[2], 30.0f);
}
