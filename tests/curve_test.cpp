// Closed Catmull-Rom curve: known points, wrap-around and degenerate input.
#include "graph/curve.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

curve unitSquare() { // (0,0,0) (1,0,0) (1,1,0) (0,1,0)
    curve c;
    c.addControlPoint(0, 0, 0);
    c.addControlPoint(1, 0, 0);
    c.addControlPoint(1, 1, 0);
    c.addControlPoint(0, 1, 0);
    return c;
}

void expectPoint(const float* p, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(p[0], x, tol);
    EXPECT_NEAR(p[1], y, tol);
    EXPECT_NEAR(p[2], z, tol);
}

} // namespace

TEST(Curve, PassesThroughEveryControlPoint) {
    curve c = unitSquare();
    const float expected[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        float p[3];
        c.getGlobalCatmullRomPoint(k / 4.0f, p);
        expectPoint(p, expected[k][0], expected[k][1], expected[k][2]);
    }
}

TEST(Curve, FourPointExampleAtOneEighth) {
    curve c = unitSquare();
    float p[3], d[3];
    c.getGlobalCatmullRomPoint(0.125f, p);
    c.getGlobalCatmullRomPointTangent(0.125f, d);
    expectPoint(p, 0.5f, -0.125f, 0.0f, 0.0f); // exact: weights are dyadic at t = 0.5
    expectPoint(d, 1.25f, 0.0f, 0.0f, 0.0f);
    // The same through the local form with the indices the global form picks.
    const int idx[4] = {3, 0, 1, 2};
    float q[3];
    c.getCatmullRomPoint(0.5f, idx, q);
    expectPoint(q, 0.5f, -0.125f, 0.0f, 0.0f);
}

TEST(Curve, WrapsAroundTheLoop) {
    curve c = unitSquare();
    float a[3], b[3];
    c.getGlobalCatmullRomPoint(0.0f, a);
    c.getGlobalCatmullRomPoint(1.0f, b);
    expectPoint(a, 0, 0, 0, 0);
    expectPoint(b, 0, 0, 0, 0);
    c.getGlobalCatmullRomPoint(0.25f, a);
    c.getGlobalCatmullRomPoint(2.25f, b);
    expectPoint(b, a[0], a[1], a[2]);
    for (float gt : {0.1f, 0.37f, 0.8f}) {
        SCOPED_TRACE(gt);
        c.getGlobalCatmullRomPoint(gt, a);
        c.getGlobalCatmullRomPoint(gt + 1.0f, b);
        expectPoint(b, a[0], a[1], a[2], 1e-5f);
    }
}

TEST(Curve, TangentAtControlPointIsHalfTheNeighbourDifference) {
    curve c;
    const float pts[5][3] = {{0, 0, 0}, {2, 1, 0}, {3, 4, 1}, {-1, 5, 2}, {-2, 2, -1}};
    for (auto& p : pts)
        c.addControlPoint(p[0], p[1], p[2]);
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const auto& next = pts[(k + 1) % 5];
        const auto& prev = pts[(k + 4) % 5];
        float d[3];
        c.getGlobalCatmullRomPointTangent(k / 5.0f, d);
        expectPoint(d, 0.5f * (next[0] - prev[0]), 0.5f * (next[1] - prev[1]),
                    0.5f * (next[2] - prev[2]), 1e-4f);
    }
}

TEST(Curve, OneAndTwoPointCurves) {
    curve one;
    one.addControlPoint(3, -2, 7);
    for (float gt : {0.0f, 0.3f, 0.99f, 5.5f}) {
        SCOPED_TRACE(gt);
        float p[3], d[3];
        one.getGlobalCatmullRomPoint(gt, p);
        one.getGlobalCatmullRomPointTangent(gt, d);
        expectPoint(p, 3, -2, 7, 1e-5f);
        expectPoint(d, 0, 0, 0, 1e-5f);
    }

    curve two;
    two.addControlPoint(0, 0, 0);
    two.addControlPoint(4, 0, 0);
    float p[3];
    two.getGlobalCatmullRomPoint(0.0f, p);
    expectPoint(p, 0, 0, 0);
    two.getGlobalCatmullRomPoint(0.5f, p);
    expectPoint(p, 4, 0, 0);
    // Out and back along the same segment: halfway each way is the midpoint.
    two.getGlobalCatmullRomPoint(0.25f, p);
    expectPoint(p, 2, 0, 0);
    two.getGlobalCatmullRomPoint(0.75f, p);
    expectPoint(p, 2, 0, 0);
}

TEST(Curve, InsertionOrderMatters) {
    curve a = unitSquare();
    curve b;
    b.addControlPoint(0, 0, 0);
    b.addControlPoint(1, 1, 0);
    b.addControlPoint(1, 0, 0);
    b.addControlPoint(0, 1, 0);
    float pa[3], pb[3];
    a.getGlobalCatmullRomPoint(0.25f, pa);
    b.getGlobalCatmullRomPoint(0.25f, pb);
    EXPECT_NE(pa[1], pb[1]);
}

TEST(Curve, EmptyCurveYieldsOrigin) {
    curve c;
    float p[3] = {9, 9, 9}, d[3] = {9, 9, 9};
    c.getGlobalCatmullRomPoint(0.4f, p);
    c.getGlobalCatmullRomPointTangent(0.4f, d);
    expectPoint(p, 0, 0, 0, 0);
    expectPoint(d, 0, 0, 0, 0);
    EXPECT_EQ(c.pointCount(), 0u);
}

TEST(Curve, NonFiniteAndNegativeParametersStayOnTheLoop) {
    curve c = unitSquare();
    float origin[3], p[3];
    c.getGlobalCatmullRomPoint(0.0f, origin);
    for (float bad :
         {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
          std::numeric_limits<float>::quiet_NaN()}) {
        SCOPED_TRACE(bad);
        c.getGlobalCatmullRomPoint(bad, p);
        expectPoint(p, origin[0], origin[1], origin[2], 0);
        c.getGlobalCatmullRomPointTangent(bad, p);
        EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
    }
    // -0.75 lies a quarter of the loop past a whole turn back: the same as 0.25.
    float q[3];
    c.getGlobalCatmullRomPoint(-0.75f, p);
    c.getGlobalCatmullRomPoint(0.25f, q);
    expectPoint(p, q[0], q[1], q[2]);
    // Parameters far beyond the 32-bit segment index still give a point of the curve.
    c.getGlobalCatmullRomPoint(3e12f, p);
    EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]));
    c.getGlobalCatmullRomPoint(-3e12f, p);
    EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]));
}

TEST(Curve, CopiesAreIndependent) {
    curve a = unitSquare();
    curve b = a;
    b.addControlPoint(5, 5, 5);
    EXPECT_EQ(a.pointCount(), 4u);
    EXPECT_EQ(b.pointCount(), 5u);
    EXPECT_EQ(b.getMatrixVal(4, 2), 5.0f);
}

TEST(Curve, ParametersWhoseSegmentCountOverflowsAFloatGiveAPointOfTheLoop) {
    const float big = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    curve two;
    two.addControlPoint(-1, 2, 0);
    two.addControlPoint(3, -4, 5);
    curve square = unitSquare();
    for (curve* c : {&square, &two}) {
        const unsigned n = c->pointCount();
        for (float gt : {big, -big, 3e38f, -3e38f, inf, -inf}) {
            SCOPED_TRACE(testing::Message() << n << " points, " << gt);
            float p[3], d[3];
            c->getGlobalCatmullRomPoint(gt, p);
            c->getGlobalCatmullRomPointTangent(gt, d);
            ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
            ASSERT_TRUE(std::isfinite(d[0]) && std::isfinite(d[1]) && std::isfinite(d[2]));
            // The point the loop passes at some parameter in [0, 1): one of j / n.
            bool onLoop = false;
            for (unsigned j = 0; j < n; ++j) {
                float q[3];
                c->getGlobalCatmullRomPoint(float(j) / float(n), q);
                onLoop = onLoop || (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]);
            }
            EXPECT_TRUE(onLoop) << p[0] << " " << p[1] << " " << p[2];
        }
    }
}
