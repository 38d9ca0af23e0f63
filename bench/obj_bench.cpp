// OBJ reading of generated 100k- and 1M-triangle files: loadOBJ against the fscanf reading of
// the tests and against tinyobjloader expanded into the same three lists.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_folder.h"
#include "bench/tinyobj_lists.h"
#include "formats/obj.h"
#include "tests/obj_oracle.h"

namespace {

// A w x h grid of quads split into triangles; every vertex has its own vt and vn line.
std::string meshFile(int triangles) {
    const std::string folder = benchFolder();
    if (folder.empty()) return "";
    const std::string path = folder + "/mesh_" + std::to_string(triangles) + ".obj";
    if (std::FILE* existing = std::fopen(path.c_str(), "r")) {
        std::fclose(existing);
        return path;
    }
    const int w = triangles >= 1000000 ? 1000 : 250, h = triangles / (2 * w);
    const std::string partial = path + ".part";
    std::FILE* out = std::fopen(partial.c_str(), "w");
    if (!out) return path;
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> coord(-100.0f, 100.0f), unit(0.0f, 1.0f);
    auto f = [&](std::uniform_real_distribution<float>& d) { return double(d(rng)); };
    for (int i = 0; i < (w + 1) * (h + 1); ++i) {
        std::fprintf(out, "v %.6f %.6f %.6f\n", f(coord), f(coord), f(coord));
        std::fprintf(out, "vt %.6f %.6f\n", f(unit), f(unit));
        std::fprintf(out, "vn %.6f %.6f %.6f\n", f(unit), f(unit), f(unit));
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int a = y * (w + 1) + x + 1, b = a + 1, c = a + w + 1, d = c + 1;
            std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
            std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", b, b, b, d, d, d, c, c, c);
        }
    std::fclose(out);
    std::rename(partial.c_str(), path.c_str());
    return path;
}

long fileSize(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (!in) return 0;
    std::fseek(in, 0, SEEK_END);
    const long size = std::ftell(in);
    std::fclose(in);
    return size;
}

// loadOBJ prints a line per call; the timing loops send it to /dev/null.
class quiet_stdout {
public:
    quiet_stdout() {
        std::fflush(stdout);
        saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~quiet_stdout() {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }

private:
    int saved = -1;
};

template <class Read> void run(benchmark::State& state, Read read) {
    const std::string path = meshFile(static_cast<int>(state.range(0)));
    if (path.empty()) {
        state.SkipWithError("no folder of this user's alone under TMPDIR");
        return;
    }
    std::size_t corners = 0;
    {
        quiet_stdout quiet;
        for (auto _ : state) {
            lists l;
            if (!read(path.c_str(), l)) state.SkipWithError("read failed");
            corners = l.positions.size();
            benchmark::DoNotOptimize(l.positions.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
    state.counters["triangles"] = static_cast<double>(corners / 3);
}

void BM_ObjLoadOBJ(benchmark::State& state) {
    run(state,
        [](const char* path, lists& l) { return loadOBJ(path, l.positions, l.uvs, l.normals); });
}

void BM_ObjLoadOBJOneThread(benchmark::State& state) {
    run(state, [](const char* path, lists& l) {
        return loadOBJ(path, l.positions, l.uvs, l.normals, {1, 0});
    });
}

void BM_ObjFscanfOracle(benchmark::State& state) {
    run(state, [](const char* path, lists& l) {
        std::FILE* in = std::fopen(path, "r");
        if (!in) return false;
        const bool ok = oracleReadOBJ(in, l.positions, l.uvs, l.normals);
        std::fclose(in);
        return ok;
    });
}

void BM_ObjTinyobjloader(benchmark::State& state) {
    run(state, readTinyobj);
}

} // namespace

// loadOBJ reads large files on several threads: its time is the wall clock's.
BENCHMARK(BM_ObjLoadOBJ)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ObjLoadOBJOneThread)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjFscanfOracle)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjTinyobjloader)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
