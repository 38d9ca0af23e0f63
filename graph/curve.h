#pragma once
#include <vector>

// Closed Catmull-Rom spline (tension 0.5); a global parameter of 0..1 runs once around the loop.
// Evaluation never prints, never fails and allocates nothing.
class curve {
public:
    curve();

    // Appends one control point; points are kept in insertion order, unvalidated.
    void addControlPoint(float x, float y, float z);

    // Sets coordinate 0..2 of an existing control point; out of range changes nothing.
    void setControlPoint(unsigned point, int coordinate, float value);

    // Coordinate 0..2 of the given control point; no bounds check.
    float getMatrixVal(int point, int coordinate) const;

    // Point and tangent (derivative with respect to t) at local t in 0..1 of the segment that
    // the four control point indices describe; the result goes to out[0..2].
    void getCatmullRomPoint(float t, const int* indices, float* out) const;
    void getCatmullRomPointTangent(float t, const int* indices, float* out) const;

    // Point and tangent at global parameter gt; gt and gt + 1 agree. An empty curve yields
    // (0, 0, 0); a non-finite gt is taken as 0; a negative gt stays on the loop.
    void getGlobalCatmullRomPoint(float gt, float* out);
    void getGlobalCatmullRomPointTangent(float gt, float* out);

    unsigned pointCount() const { return static_cast<unsigned>(control_points.size() / 3); }

private:
    // Picks the segment for gt; false when the curve is empty.
    bool segment(float gt, float& t, int* indices);

    std::vector<float> control_points; // x, y, z per point, in insertion order
    float basis[4][4];                 // basis[row][column], Catmull-Rom with tension 0.5
    unsigned point_count = 0;          // whole points, as of the last global evaluation
};
