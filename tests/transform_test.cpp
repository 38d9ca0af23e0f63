// Transform evaluation: every kind, the wobble, composition order and degenerate input.
#include "graph/transform.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace {

const double kPi = 3.14159265358979323846;

void expectMat(const glm::mat4& a, const glm::mat4& b, float tol = 1e-5f) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(a[c][r], b[c][r], tol) << "column " << c << " row " << r;
}

glm::vec3 mapPoint(const glm::mat4& m, glm::vec3 p) {
    return glm::vec3(m * glm::vec4(p, 1.0f));
}

transform wobbling(int kind, glm::vec3 operand, glm::vec3 frequency, double amplitude) {
    transform t(kind, 0.0, operand, frequency, glm::vec3(0));
    t.wobble_amplitude = amplitude;
    return t;
}

} // namespace

TEST(Transform, StaticTranslationIgnoresTime) {
    transform t(translation, 0.0f, glm::vec3(1, 2, 3));
    for (double time : {0.0, 1.5, 100.0}) {
        SCOPED_TRACE(time);
        t.update(time);
        EXPECT_EQ(t.operand, glm::vec3(1, 2, 3));
        expectMat(t.apply(glm::mat4(1.0f), time),
                  glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)));
    }
}

TEST(Transform, WobbleOnOneAxisOnly) {
    transform t = wobbling(translation, glm::vec3(0), glm::vec3(1, 0, 0), 2.0);
    expectMat(t.apply(glm::mat4(1.0f), 0.0), glm::mat4(1.0f));
    const glm::mat4 m = t.apply(glm::mat4(1.0f), kPi / 2);
    EXPECT_NEAR(m[3][0], 2.0f, 1e-6f);
    for (double time : {0.3, 1.0, kPi / 2, 17.0}) {
        SCOPED_TRACE(time);
        const glm::mat4 w = t.apply(glm::mat4(1.0f), time);
        EXPECT_EQ(w[3][1], 0.0f); // exactly: an axis without frequency gets no offset
        EXPECT_EQ(w[3][2], 0.0f);
    }
}

TEST(Transform, AmplitudeWithoutFrequencyDoesNothing) {
    transform t = wobbling(translation, glm::vec3(1, 1, 1), glm::vec3(0), 5.0);
    for (double time : {0.0, 0.7, 3.0})
        expectMat(t.apply(glm::mat4(1.0f), time), glm::translate(glm::mat4(1.0f), glm::vec3(1)));
}

TEST(Transform, ScalingWithWobble) {
    transform t = wobbling(scaling, glm::vec3(2), glm::vec3(0, 3, 0), 1.0);
    const double period = 2 * kPi / 3;
    float lo = 100, hi = -100;
    for (int i = 0; i <= 400; ++i) {
        const double time = period * i / 400.0;
        const glm::mat4 m = t.apply(glm::mat4(1.0f), time);
        EXPECT_EQ(m[0][0], 2.0f);
        EXPECT_EQ(m[2][2], 2.0f);
        lo = std::min(lo, m[1][1]);
        hi = std::max(hi, m[1][1]);
    }
    EXPECT_NEAR(lo, 1.0f, 1e-4f);
    EXPECT_NEAR(hi, 3.0f, 1e-4f);
    EXPECT_NEAR(t.apply(glm::mat4(1.0f), period)[1][1], t.apply(glm::mat4(1.0f), 0.0)[1][1], 1e-5f);
}

TEST(Transform, RotationNormalisesAxisAndIgnoresWobble) {
    transform r(rotation, static_cast<float>(kPi / 2), glm::vec3(0, 0, 1));
    const glm::vec3 x = mapPoint(r.apply(glm::mat4(1.0f), 0.0), glm::vec3(1, 0, 0));
    EXPECT_NEAR(x.x, 0.0f, 1e-6f);
    EXPECT_NEAR(x.y, 1.0f, 1e-6f);
    transform longAxis(rotation, static_cast<float>(kPi / 2), glm::vec3(0, 0, 5));
    expectMat(longAxis.apply(glm::mat4(1.0f), 0.0), r.apply(glm::mat4(1.0f), 0.0), 1e-6f);

    transform wobbly = wobbling(rotation, glm::vec3(0, 0, 1), glm::vec3(1, 2, 3), 0.5);
    wobbly.scalar = static_cast<float>(kPi / 2);
    for (double time : {0.0, 0.4, 2.0})
        EXPECT_EQ(wobbly.apply(glm::mat4(1.0f), time), r.apply(glm::mat4(1.0f), time));
}

TEST(Transform, TimedRotationTurns360RadiansPerPeriod) {
    transform t(timed_rotation, 0.3f, glm::vec3(0, 1, 0));
    t.SetTimeLenght(10.0);
    t.update(5.0);
    EXPECT_FLOAT_EQ(t.scalar, 180.0f);
    t.update(10.0);
    EXPECT_FLOAT_EQ(t.scalar, 360.0f);
    expectMat(t.apply(glm::mat4(1.0f), 10.0),
              glm::rotate(glm::mat4(1.0f), 360.0f, glm::vec3(0, 1, 0)));
    // Depends on the time only, never on earlier frames.
    t.update(2.5);
    EXPECT_FLOAT_EQ(t.scalar, 90.0f);
}

TEST(Transform, TimedRotationAddsWobbleToItsAxis) {
    transform t = wobbling(timed_rotation, glm::vec3(0, 1, 0), glm::vec3(1, 0, 0), 1.0);
    t.SetTimeLenght(4.0);
    const double time = kPi / 2; // wobble (1, 0, 0): axis (1, 1, 0)
    t.update(time);
    expectMat(t.apply(glm::mat4(1.0f), time),
              glm::rotate(glm::mat4(1.0f), t.scalar, glm::vec3(1, 1, 0)));
}

TEST(Transform, CurveTranslationFollowsItsCurve) {
    transform t(curve_translation, 4u);
    t.path.addControlPoint(0, 0, 0);
    t.path.addControlPoint(1, 0, 0);
    t.path.addControlPoint(1, 1, 0);
    t.path.addControlPoint(0, 1, 0);
    const struct {
        double time;
        glm::vec3 at;
    } cases[] = {{0, {0, 0, 0}}, {1, {1, 0, 0}}, {4, {0, 0, 0}}, {0.5, {0.5f, -0.125f, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        t.update(c.time);
        EXPECT_NEAR(t.operand.x, c.at.x, 1e-6f);
        EXPECT_NEAR(t.operand.y, c.at.y, 1e-6f);
        EXPECT_NEAR(t.operand.z, c.at.z, 1e-6f);
        expectMat(t.apply(glm::mat4(1.0f), c.time), glm::translate(glm::mat4(1.0f), t.operand));
    }
}

TEST(Transform, ComposesOnTheRightOfTheModel) {
    const glm::mat4 parent = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 5));
    transform s(scaling, 0.0f, glm::vec3(2));
    const glm::vec3 p = mapPoint(s.apply(parent, 0.0), glm::vec3(1, 0, 0));
    EXPECT_NEAR(p.x, 2.0f, 1e-6f);
    EXPECT_NEAR(p.z, 5.0f, 1e-6f);

    // M(parent) x T1 x T2: the last transform acts first on the vertices.
    transform t1(translation, 0.0f, glm::vec3(10, 0, 0));
    transform t2(rotation, static_cast<float>(kPi / 2), glm::vec3(0, 0, 1));
    const glm::mat4 m = t2.apply(t1.apply(parent, 0.0), 0.0);
    const glm::vec3 q = mapPoint(m, glm::vec3(1, 0, 0)); // rotated to (0,1,0), then moved
    EXPECT_NEAR(q.x, 10.0f, 1e-5f);
    EXPECT_NEAR(q.y, 1.0f, 1e-5f);
    EXPECT_NEAR(q.z, 5.0f, 1e-5f);
}

TEST(Transform, ApplyChangesNothing) {
    transform t = wobbling(timed_rotation, glm::vec3(1, 0, 0), glm::vec3(0.5f, 0, 0), 2.0);
    t.SetTimeLenght(3.0);
    t.update(1.0);
    const float scalar = t.scalar;
    const glm::vec3 operand = t.operand;
    const glm::mat4 model = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
    const glm::mat4 a = t.apply(model, 1.0);
    const glm::mat4 b = t.apply(model, 1.0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(t.scalar, scalar);
    EXPECT_EQ(t.operand, operand);
}

TEST(Transform, DegenerateInputGivesDefinedResults) {
    const glm::mat4 model = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));

    // A zero period keeps the state instead of dividing by zero.
    transform curveZero(curve_translation, 0u);
    curveZero.path.addControlPoint(5, 5, 5);
    curveZero.update(3.0);
    EXPECT_EQ(curveZero.operand, glm::vec3(0));
    transform timedZero(timed_rotation, 0.7f, glm::vec3(0, 1, 0));
    timedZero.update(3.0);
    EXPECT_EQ(timedZero.scalar, 0.7f);

    // Zero axes, also when the wobble cancels the axis, leave the model unchanged.
    transform zeroAxis(rotation, 1.0f, glm::vec3(0));
    EXPECT_EQ(zeroAxis.apply(model, 0.0), model);
    transform cancelled = wobbling(timed_rotation, glm::vec3(-1, 0, 0), glm::vec3(1, 0, 0), 1.0);
    cancelled.SetTimeLenght(2.0);
    const double time = kPi / 2; // wobble (1, 0, 0) cancels the axis
    cancelled.update(time);
    const glm::mat4 m = cancelled.apply(model, time);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_TRUE(std::isfinite(m[c][r]));

    // A curve translation without control points stays at the origin.
    transform empty(curve_translation, 4u);
    empty.update(1.3);
    EXPECT_EQ(empty.apply(model, 1.3), model);

    // Unknown kinds evaluate to the identity.
    transform unknown(0, 1.0f, glm::vec3(1));
    EXPECT_EQ(unknown.apply(model, 0.0), glm::mat4(1.0f));
}

// What the drawing walk computes for a group, without GL: each transform refreshed for the
// frame's time and applied in list order; and the light circling above (2, 3, 2).
TEST(Transform, AGroupsChainIsRefreshedAndAppliedInOrder) {
    transform along(curve_translation, 4u);
    along.path.addControlPoint(1, 0, 0);
    along.path.addControlPoint(0, 0, 1);
    along.path.addControlPoint(-1, 0, 0);
    std::vector<transform> chain = {transform(scaling, 0.0f, glm::vec3(2.0f)), along,
                                    transform(translation, 0.0f, glm::vec3(0, 5, 0))};
    const glm::mat4 parent = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, -3));
    const glm::mat4 got = applyTransforms(chain, parent, 1.0);
    transform expectedAlong = along;
    expectedAlong.update(1.0);
    EXPECT_EQ(chain[1].operand, expectedAlong.operand); // refreshed for t, kept for next frame
    const glm::mat4 want = glm::translate(
        glm::translate(glm::scale(parent, glm::vec3(2.0f)), expectedAlong.operand),
        glm::vec3(0, 5, 0));
    expectMat(got, want);

    const glm::vec3 light = circlingLight(0.0);
    EXPECT_EQ(light, glm::vec3(3.0f, 3.0f, 2.0f));
    EXPECT_NEAR(circlingLight(kPi / 2).z, 3.0f, 1e-6f);
}
