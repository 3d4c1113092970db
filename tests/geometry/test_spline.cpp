// SPDX-License-Identifier: MIT
#include "geometry/Spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace camber;

namespace {

struct Result {
    std::vector<Single> v;
    Integer err = 0;
    std::string msg;
};

Result interpolate(const std::vector<Single>& x, const std::vector<Single>& y, const std::vector<Single>& u)
{
    Result r;
    r.v.assign(u.size(), -999.0f);
    spline_val(static_cast<Integer>(x.size()), x.data(), y.data(), static_cast<Integer>(u.size()), u.data(),
               r.v.data(), r.err, r.msg);
    return r;
}

} // namespace

TEST(Spline, ReproducesAStraightLineInsideAndOutsideTheData)
{
    for (const std::vector<Single>& x : {std::vector<Single>{0, 1}, std::vector<Single>{-1, 0, 0.5f, 2, 3, 3.5f, 7}}) {
        std::vector<Single> y;
        for (Single xi : x)
            y.push_back(0.25f - 1.5f * xi);
        const std::vector<Single> u{-3, -1, -0.3f, 0, 0.7f, 2.5f, 3.5f, 6.9f, 7, 9, 1.1f};
        const auto r = interpolate(x, y, u);
        ASSERT_EQ(r.err, 0);
        for (std::size_t j = 0; j < u.size(); ++j)
            EXPECT_NEAR(r.v[j], 0.25f - 1.5f * u[j], 2e-5f) << "l=" << x.size() << " at " << u[j];
    }
}

TEST(Spline, PassesThroughTheDataPoints)
{
    const std::vector<Single> x{0, 0.1f, 0.3f, 0.4f, 0.8f, 1.0f};
    const std::vector<Single> y{0, 0.3f, -0.2f, 0.5f, 0.1f, 0.9f};
    const auto r = interpolate(x, y, x);
    ASSERT_EQ(r.err, 0);
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(r.v[i], y[i], 1e-6f) << "point " << i + 1;
}

TEST(Spline, FollowsASmoothCurveClosely)
{
    std::vector<Single> x, y, u;
    for (int i = 0; i <= 40; ++i) {
        x.push_back(static_cast<Single>(i) / 40.0f * 3.0f);
        y.push_back(std::sin(x.back()));
    }
    for (int j = 0; j < 100; ++j)
        u.push_back(static_cast<Single>(j) * 0.0299f + 0.001f);
    const auto r = interpolate(x, y, u);
    ASSERT_EQ(r.err, 0);
    for (std::size_t j = 0; j < u.size(); ++j)
        EXPECT_NEAR(r.v[j], std::sin(u[j]), 2e-4f) << u[j];
}

TEST(Spline, DoesNotOvershootAStep)
{
    const std::vector<Single> x{0, 1, 2, 3, 4, 5};
    const std::vector<Single> y{0, 0, 0, 1, 1, 1};
    std::vector<Single> u;
    for (int j = 0; j <= 50; ++j)
        u.push_back(static_cast<Single>(j) * 0.1f);
    const auto r = interpolate(x, y, u);
    for (std::size_t j = 0; j < u.size(); ++j) {
        EXPECT_GE(r.v[j], -1e-6f) << u[j];
        EXPECT_LE(r.v[j], 1 + 1e-6f) << u[j];
    }
    // Flat on both sides of the step: the chord slopes left of point 3 are equal, so the
    // slope there is the left value and the curve stays at 0 up to it.
    EXPECT_NEAR(r.v[15], 0.0f, 1e-6f);
}

TEST(Spline, ErrorsComeInTheDocumentedOrderAndLeaveTheOutputAlone)
{
    struct {
        std::vector<Single> x;
        std::size_t n;
        Integer err;
        const char* msg;
    } cases[] = {
        {{0}, 1, 1, "   ***  l = 1  or less."},
        {{0, 1}, 0, 2, "   ***  n = 0  or less."},
        {{0, 1, 1, 2}, 1, 4, "   ***  identical x values."},
        {{0, 2, 1}, 1, 3, "   ***  x values out of sequence."},
        {{0, 1, 1, 0.5f}, 1, 4, "   ***  identical x values."},
    };
    for (const auto& c : cases) {
        std::vector<Single> y(c.x.size(), 1.0f), u(c.n, 0.5f);
        const auto r = interpolate(c.x, y, u);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.msg, c.msg);
        for (Single v : r.v)
            EXPECT_EQ(v, -999.0f);
    }
}
