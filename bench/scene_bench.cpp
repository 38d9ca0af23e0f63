// Reading scene files: a wide scene and deep chains of nested groups (assets aside).
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "scene/scene.h"

namespace {

// The trace goes to /dev/null, as it would when the player's output is redirected.
void loadText(const std::string& xml) {
    static std::FILE* devnull = std::fopen("/dev/null", "w");
    load_options options;
    options.load_assets = false;
    options.text = xml.data();
    options.text_size = xml.size();
    options.trace = devnull;
    scene s("bench.xml", options);
    benchmark::DoNotOptimize(s.groups.data());
}

std::string model(int i) {
    return "<model name=\"mesh" + std::to_string(i % 7) + "\" shader=\"phong\" texture=\"tex" +
           std::to_string(i % 5) + "\" start=\"" + std::to_string(i % 60) + "\" end=\"" +
           std::to_string(i % 60 + 5) + "\" R=\"0.8\" G=\"0.4\" B=\"0.2\"/>";
}

std::string wideScene(int groups, int descriptorsPerGroup) {
    std::string s = "<scene>\n<window x=\"1920\" y=\"1080\"/>\n";
    for (int g = 0, m = 0; g < groups; ++g) {
        s += "<group><translate X=\"1.5\" Y=\"0\" Z=\"-2\"/>"
             "<rotate angle=\"0.3\" axisX=\"0\" axisY=\"1\" axisZ=\"0\" time=\"600\"/><models>";
        for (int d = 0; d < descriptorsPerGroup; ++d)
            s += model(m++);
        s += "</models></group>\n";
    }
    return s + "</scene>\n";
}

std::string chainScene(int depth, int descriptorsPerGroup) {
    std::string s = "<scene>\n";
    for (int g = 0, m = 0; g < depth; ++g) {
        s += "<group><scale X=\"0.99\" Y=\"0.99\" Z=\"0.99\"/><models>";
        for (int d = 0; d < descriptorsPerGroup; ++d)
            s += model(m++);
        s += "</models>\n";
    }
    for (int g = 0; g < depth; ++g)
        s += "</group>";
    return s + "\n</scene>\n";
}

void BM_LoadWideScene(benchmark::State& state) {
    const std::string xml = wideScene(10000, 2); // 10,000 groups, 20,000 descriptors
    for (auto _ : state)
        loadText(xml);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(xml.size()));
}
BENCHMARK(BM_LoadWideScene)->Unit(benchmark::kMillisecond);

void BM_LoadNestedChain(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const std::string xml = chainScene(depth, 200);
    for (auto _ : state)
        loadText(xml);
    state.counters["groups"] = depth;
    state.counters["per_group"] = benchmark::Counter(static_cast<double>(depth),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadNestedChain)->Arg(10)->Arg(30)->Arg(90)->Unit(benchmark::kMillisecond);

} // namespace
