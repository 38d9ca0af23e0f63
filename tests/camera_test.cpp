// Cameras: activity windows, the three modes and their view matrices.
#include "camera/camera.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace {

void expectVec(glm::vec3 v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void expectMat(const glm::mat4& a, const glm::mat4& b, float tol = 1e-6f) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(a[c][r], b[c][r], tol) << c << "," << r;
}

camera squarePath(camera cam) {
    cam.path.addControlPoint(0, 0, 0);
    cam.path.addControlPoint(1, 0, 0);
    cam.path.addControlPoint(1, 1, 0);
    cam.path.addControlPoint(0, 1, 0);
    return cam;
}

} // namespace

TEST(Camera, WindowIsInclusiveAtBothEnds) {
    camera c(glm::vec3(1, 2, 3), glm::vec3(0), glm::vec3(0, 1, 0), 5, 10);
    EXPECT_TRUE(c.is_on_time(5.0));
    EXPECT_TRUE(c.is_on_time(10.0));
    EXPECT_TRUE(c.is_on_time(7.5));
    EXPECT_FALSE(c.is_on_time(4.999));
    EXPECT_FALSE(c.is_on_time(10.001));
}

TEST(Camera, EqualStartAndEndIsAlwaysActiveAndReversedNever) {
    camera same(7, 7);
    camera reversed(10, 5);
    camera def;
    for (double t : {0.0, 3.0, 7.0, 100.0}) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(same.is_on_time(t));
        EXPECT_TRUE(def.is_on_time(t));
        EXPECT_FALSE(reversed.is_on_time(t));
    }
    EXPECT_FALSE(reversed.is_on_time(7.5));
}

TEST(Camera, DefaultCameraLooksAtOriginFromThirty) {
    camera c;
    EXPECT_EQ(c.mode, 0);
    expectMat(c.viewMatrix(), glm::lookAt(glm::vec3(30), glm::vec3(0), glm::vec3(0, 1, 0)));
    expectVec(c.GetPosition(), 0, 0, 0);
    expectVec(c.eye, 30, 30, 30);
}

TEST(Camera, StaticCameraIgnoresUpArgumentAndUpdates) {
    camera c(glm::vec3(0, 0, 5), glm::vec3(1, 2, 3), glm::vec3(1, 0, 0), 0, 10);
    expectVec(c.up, 0, 1, 0);
    expectVec(c.GetPosition(), 1, 2, 3); // the look-at point, not the eye
    const glm::mat4 built = glm::lookAt(glm::vec3(0, 0, 5), glm::vec3(1, 2, 3), glm::vec3(0, 1, 0));
    expectMat(c.viewMatrix(), built);
    c.position_update(4.0);
    expectMat(c.viewMatrix(), built);
    expectVec(c.eye, 0, 0, 5);
}

TEST(Camera, MovingCameraStartsWithIdentityViewAndUnmoved) {
    camera c = squarePath(camera(0, 8));
    EXPECT_EQ(c.mode, 3);
    expectMat(c.viewMatrix(), glm::mat4(1.0f), 0);
    expectVec(c.GetPosition(), 0, 0, 0);
    EXPECT_TRUE(c.unmoved);
    c.position_update(1.0);
    EXPECT_FALSE(c.unmoved);
    c.rewind();
    EXPECT_TRUE(c.unmoved);
    expectMat(c.viewMatrix(), glm::mat4(1.0f), 0);
    expectVec(c.GetPosition(), 0, 0, 0);
}

TEST(Camera, TangentModeFollowsCurveAndLooksAtTangent) {
    camera c = squarePath(camera(0, 8));
    c.position_update(1.0); // u = 0.125
    expectVec(c.eye, 0.5f, -0.125f, 0.0f);
    expectVec(c.GetPosition(), 1.25f, 0.0f, 0.0f);
    expectMat(c.viewMatrix(),
              glm::lookAt(glm::vec3(0.5f, -0.125f, 0), glm::vec3(1.25f, 0, 0), glm::vec3(0, 1, 0)));
}

TEST(Camera, TangentModeAtStartAndEndOfWindow) {
    camera c(2, 6);
    const float pts[3][3] = {{1, 0, 2}, {3, 1, 0}, {0, 4, 1}};
    for (auto& p : pts)
        c.path.addControlPoint(p[0], p[1], p[2]);
    for (double t : {2.0, 6.0}) {
        SCOPED_TRACE(t);
        c.position_update(t);
        expectVec(c.eye, 1, 0, 2, 1e-5f);
        // Half the difference between the second and the last control point.
        expectVec(c.look, 0.5f * (3 - 0), 0.5f * (1 - 4), 0.5f * (0 - 1), 1e-5f);
    }
}

TEST(Camera, FixedLookModeKeepsItsPoint) {
    camera c = squarePath(camera(0, 8));
    c.mode = 1;
    c.look = glm::vec3(0, 0, -3);
    c.position_update(1.0);
    expectVec(c.eye, 0.5f, -0.125f, 0.0f);
    expectVec(c.look, 0, 0, -3);
    c.position_update(2.0);
    expectVec(c.eye, 1, 0, 0);
    expectVec(c.look, 0, 0, -3);
    expectMat(c.viewMatrix(),
              glm::lookAt(glm::vec3(1, 0, 0), glm::vec3(0, 0, -3), glm::vec3(0, 1, 0)));
}

TEST(Camera, DegenerateMovingCamerasStayFinite) {
    // start = end takes u = 0: the first control point, whatever the time.
    camera same = squarePath(camera(4, 4));
    same.mode = 1;
    same.look = glm::vec3(5, 5, 5);
    same.position_update(123.0);
    expectVec(same.eye, 0, 0, 0);

    // No control points: eye and look both at the origin, no defined view; keep identity.
    camera empty(0, 10);
    empty.position_update(3.0);
    expectMat(empty.viewMatrix(), glm::mat4(1.0f), 0);

    // Looking straight down the up vector keeps the previous view instead of NaN.
    camera down(0, 10);
    down.mode = 1;
    down.path.addControlPoint(0, 5, 0);
    down.look = glm::vec3(0, 0, 0);
    down.position_update(1.0);
    const glm::mat4 v = down.viewMatrix();
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_TRUE(std::isfinite(v[c][r]));
}

TEST(Camera, CopiesOwnTheirPath) {
    camera a = squarePath(camera(0, 8));
    camera b = a;
    b.path.addControlPoint(9, 9, 9);
    EXPECT_EQ(a.path.pointCount(), 4u);
    EXPECT_EQ(b.path.pointCount(), 5u);
}
