// Closed Catmull-Rom spline: see curve.h.
#include "graph/curve.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

const float kCatmullRom[4][4] = {
    {-0.5f, 1.5f, -1.5f, 0.5f},
    {1.0f, -2.5f, 2.0f, -0.5f},
    {-0.5f, 0.0f, 0.5f, 0.0f},
    {0.0f, 1.0f, 0.0f, 0.0f},
};

} // namespace

curve::curve() {
    std::memcpy(basis, kCatmullRom, sizeof basis);
}

void curve::addControlPoint(float x, float y, float z) {
    control_points.push_back(x);
    control_points.push_back(y);
    control_points.push_back(z);
}

void curve::setControlPoint(unsigned point, int coordinate, float value) {
    if (point < pointCount() && coordinate >= 0 && coordinate < 3)
        control_points[std::size_t(point) * 3 + std::size_t(coordinate)] = value;
}

float curve::getMatrixVal(int point, int coordinate) const {
    return control_points[static_cast<std::size_t>(3 * point + coordinate)];
}

void curve::getCatmullRomPoint(float t, const int* indices, float* out) const {
    // Powers and sums in double, each weight then rounded to float, as the reference
    // player did; keeps positions identical to the last bit.
    const double td = t;
    const double t3 = std::pow(td, 3.0);
    const double t2 = std::pow(td, 2.0);
    float w[4];
    for (int c = 0; c < 4; ++c)
        w[c] = static_cast<float>(t3 * basis[0][c] + t2 * basis[1][c] + td * basis[2][c] +
                                  basis[3][c]);
    for (int j = 0; j < 3; ++j)
        out[j] = w[0] * getMatrixVal(indices[0], j) + w[1] * getMatrixVal(indices[1], j) +
                 w[2] * getMatrixVal(indices[2], j) + w[3] * getMatrixVal(indices[3], j);
}

void curve::getCatmullRomPointTangent(float t, const int* indices, float* out) const {
    const double td = t;
    const double t2 = std::pow(td, 2.0);
    float d[4];
    for (int c = 0; c < 4; ++c)
        d[c] = static_cast<float>(3.0 * t2 * basis[0][c] + 2.0 * td * basis[1][c] + basis[2][c]);
    for (int j = 0; j < 3; ++j)
        out[j] = d[0] * getMatrixVal(indices[0], j) + d[1] * getMatrixVal(indices[1], j) +
                 d[2] * getMatrixVal(indices[2], j) + d[3] * getMatrixVal(indices[3], j);
}

bool curve::segment(float gt, float& t, int* indices) {
    point_count = pointCount();
    if (point_count == 0) return false;
    if (!std::isfinite(gt)) gt = 0.0f;

    const float s = static_cast<float>(point_count) * gt;
    double k = std::floor(static_cast<double>(s));
    t = s - static_cast<float>(k);
    if (!std::isfinite(s)) {
        // The product overflowed a float; in double it is a whole number of segments.
        k = std::floor(static_cast<double>(point_count) * static_cast<double>(gt));
        t = 0.0f;
    }

    // A non-negative modulo taken in double keeps huge or negative parameters on the loop
    // without overflowing the 32-bit segment index.
    const double n = point_count;
    double m = std::fmod(k, n);
    if (m < 0) m += n;
    const std::int64_t k0 = static_cast<std::int64_t>(m);
    const std::int64_t count = point_count;
    const std::int64_t i0 = (k0 + count - 1) % count;
    for (int j = 0; j < 4; ++j)
        indices[j] = static_cast<int>((i0 + j) % count);
    return true;
}

void curve::getGlobalCatmullRomPoint(float gt, float* out) {
    float t = 0;
    int indices[4];
    if (segment(gt, t, indices))
        getCatmullRomPoint(t, indices, out);
    else
        out[0] = out[1] = out[2] = 0.0f;
}

void curve::getGlobalCatmullRomPointTangent(float gt, float* out) {
    float t = 0;
    int indices[4];
    if (segment(gt, t, indices))
        getCatmullRomPointTangent(t, indices, out);
    else
        out[0] = out[1] = out[2] = 0.0f;
}
