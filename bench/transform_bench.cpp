// update + apply over a group's chain of transforms, as the drawing walk does every frame.
#include "graph/group.h"

#include <benchmark/benchmark.h>

static void BM_TransformChain(benchmark::State& state) {
    // A typical animated group: wobbling translation, curve translation, timed rotation,
    // static rotation and a wobbling scale.
    group g;
    g.addTransform(translation, 0.0f, glm::vec3(1, 2, 3), glm::vec3(0.5f, 0, 1), glm::vec3(0), 0.3);
    g.addTransform(curve_translation, 12u);
    for (int i = 0; i < 8; ++i)
        g.transforms.back().path.addControlPoint(static_cast<float>(i), 1.0f,
                                                 static_cast<float>(-i));
    transform spin(timed_rotation, 0.0f, glm::vec3(0, 1, 0));
    spin.SetTimeLenght(600.0);
    g.transforms.push_back(spin);
    g.addTransform(rotation, 0.5f, glm::vec3(1, 0, 0));
    g.addTransform(scaling, 0.0f, glm::vec3(2), glm::vec3(0, 3, 0), glm::vec3(0), 0.2);

    double t = 0.0;
    for (auto _ : state) {
        glm::mat4 m(1.0f);
        for (transform& tr : g.transforms) {
            tr.update(t);
            m = tr.apply(m, t);
        }
        benchmark::DoNotOptimize(m);
        t += 1.0 / 60.0;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(g.transforms.size()));
}
BENCHMARK(BM_TransformChain);
