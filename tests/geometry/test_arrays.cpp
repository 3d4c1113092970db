// SPDX-License-Identifier: MIT
#include "geometry/Arrays.h"
#include "geometry/SectionState.h"

#include <gtest/gtest.h>

using namespace camber;

TEST(Arrays, IndexBeyondABoundThrowsInsteadOfTouchingMemory)
{
    Array1<float, 7> a;
    EXPECT_NO_THROW(a(1) = 1);
    EXPECT_NO_THROW(a(7) = 7);
    EXPECT_THROW(a(0), Error);
    EXPECT_THROW(a(8), Error);

    Array2<float, 10, 129> b;
    EXPECT_THROW(b(11, 1), Error);
    EXPECT_THROW(b(1, 130), Error);
    EXPECT_THROW(b(0, 5), Error);
}

TEST(Arrays, FirstIndexVariesFastestAsTheSolverExpects)
{
    Array2<float, 10, 129> cp;
    cp(3, 2) = 42.0f;
    EXPECT_EQ(cp.data()[(3 - 1) + 10 * (2 - 1)], 42.0f);
}

TEST(Arrays, SectionStateStartsZeroAndBlank)
{
    SectionState s;
    EXPECT_EQ(s.x_c(1, 200), 0.0f);
    EXPECT_EQ(s.title_ln(1).str(), std::string(80, ' '));
    EXPECT_EQ(Text80("abc").str().size(), 80u);
    EXPECT_EQ(Text80(std::string(100, 'x')).str(), std::string(80, 'x'));
}
