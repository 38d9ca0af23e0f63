// Curve and camera evaluation per frame.
#include "camera/camera.h"
#include "graph/curve.h"

#include <benchmark/benchmark.h>

static void BM_CurvePointAndTangent(benchmark::State& state) {
    curve c;
    for (int i = 0; i < state.range(0); ++i)
        c.addControlPoint(static_cast<float>(i), static_cast<float>(i % 7), static_cast<float>(-i));
    float gt = 0.0f;
    for (auto _ : state) {
        float p[3], d[3];
        c.getGlobalCatmullRomPoint(gt, p);
        c.getGlobalCatmullRomPointTangent(gt, d);
        benchmark::DoNotOptimize(p);
        benchmark::DoNotOptimize(d);
        gt += 0.001f;
    }
}
BENCHMARK(BM_CurvePointAndTangent)->Arg(4)->Arg(1000);

static void BM_MovingCameraUpdate(benchmark::State& state) {
    camera cam(0, 60);
    for (int i = 0; i < 8; ++i)
        cam.path.addControlPoint(static_cast<float>(i % 3), 2.0f, static_cast<float>(i));
    double t = 0.0;
    for (auto _ : state) {
        cam.position_update(t);
        benchmark::DoNotOptimize(cam.view);
        t += 1.0 / 60.0;
    }
}
BENCHMARK(BM_MovingCameraUpdate);
