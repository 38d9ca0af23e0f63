// CPU time of one frame's walk over a large tree, GL calls included; run under a display
// (xvfb-run -a build/release/kestrine_draw_bench).
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <glm/gtc/matrix_transform.hpp>

#include "bench/bench_folder.h"
#include "platform/context.h"
#include "scene/scene.h"

namespace {

std::unique_ptr<scene> g_scene;

// 1,000 root groups, each with two transforms and one visible quad.
std::string treeScene(const std::string& data) {
    std::string s = "<scene>\n<shader name=\"flat\" vertex=\"" + data + "/flat.vert\" fragment=\"" +
                    data + "/flat.frag\"/>\n<mesh name=\"quad\" filename=\"" + data +
                    "/quad.obj\"/>\n";
    for (int g = 0; g < 1000; ++g)
        s += "<group><translate X=\"" + std::to_string(g % 40 - 20) + "\" Y=\"" +
             std::to_string(g / 40 - 12) +
             "\" Z=\"-30\"/><rotate angle=\"0\" axisX=\"0\" "
             "axisY=\"1\" axisZ=\"0\" time=\"600\"/><models><model name=\"quad\" shader=\"flat\" "
             "texture=\"\" R=\"1\" G=\"0.5\" B=\"0\"/></models></group>\n";
    return s + "</scene>\n";
}

void BM_DrawWalk1000Groups(benchmark::State& state) {
    camera cam(glm::vec3(0, 0, 10), glm::vec3(0), glm::vec3(0, 1, 0), 0, 100);
    const glm::mat4 projection = glm::perspective(glm::radians(45.0f), 1.0f, 0.1f, 100.0f);
    for (auto _ : state) {
        g_scene->updateElapsedTime();
        for (group& g : g_scene->groups)
            g_scene->drawGroup(&g, glm::mat4(1.0f), projection, &cam);
        glFinish(); // the driver's work for this frame belongs to it
    }
    state.counters["descriptors"] = 1000;
}
BENCHMARK(BM_DrawWalk1000Groups)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv) {
    std::string why;
    if (!openHiddenContext("bench", why, 256, 256)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    glViewport(0, 0, 256, 256);
    glEnable(GL_DEPTH_TEST);

    const std::string folder = benchFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "bench: no folder of this user's alone under TMPDIR\n");
        return 1;
    }
    const std::string path = folder + "/draw_bench.xml";
    std::ofstream(path) << treeScene(KESTRINE_TEST_DATA "/player");
    load_options options;
    options.trace = nullptr;
    g_scene = std::make_unique<scene>(path.c_str(), options);
    if (!g_scene->loaded()) return 1;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_scene.reset();
    glfwTerminate();
    return 0;
}
