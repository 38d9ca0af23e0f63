// The bundled demo loads as the player loads it: every asset usable, every name resolved.
#include "tests/gl/gl_context.h"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "scene/scene.h"

namespace {

void eachDescriptor(const group& g, const std::function<void(const modelo_descript&)>& f) {
    for (const modelo_descript& d : g.descriptors)
        f(d);
    for (const group& child : g.children)
        eachDescriptor(child, f);
}

int depth(const group& g) {
    int deepest = 0;
    for (const group& child : g.children)
        deepest = std::max(deepest, depth(child));
    return deepest + 1;
}

} // namespace

TEST(DemoScene, LoadsWithEveryAssetUsableAndEveryNameResolved) {
    // The player runs from the demo's folder; its paths are relative to it.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(KESTRINE_DEMO_DIR), 0);
    load_options options;
    options.trace = nullptr;
    ::testing::internal::CaptureStdout();
    scene s("demo.xml", options);
    std::fflush(stdout);
    const std::string trace = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(previous), 0);

    ASSERT_TRUE(s.loaded());
    EXPECT_TRUE(s.diagnostics().empty()) << wordDiagnostic(s.diagnostics().front());
    EXPECT_EQ(trace.find("Impossible"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("could not be opened"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("error"), std::string::npos) << trace; // no compile or link log

    ASSERT_FALSE(s.resources.textures.empty());
    for (const auto& [name, t] : s.resources.textures)
        EXPECT_NE(t.texture_id, 0u) << name;
    ASSERT_FALSE(s.resources.shaders.empty());
    for (const auto& [name, p] : s.resources.shaders) {
        SCOPED_TRACE(name);
        GLint linked = 0;
        glGetProgramiv(p.program_id, GL_LINK_STATUS, &linked);
        EXPECT_TRUE(linked);
        EXPECT_NE(p.model_location, -1);
        EXPECT_NE(p.view_location, -1);
        EXPECT_NE(p.projection_location, -1);
    }
    ASSERT_FALSE(s.resources.modelos.empty());
    for (const auto& [name, m] : s.resources.modelos) {
        EXPECT_TRUE(m.loaded) << name;
        EXPECT_FALSE(m.vertices.empty()) << name;
    }

    int descriptors = 0;
    for (const group& g : s.groups)
        eachDescriptor(g, [&](const modelo_descript& d) {
            ++descriptors;
            SCOPED_TRACE(d.mesh_name);
            EXPECT_TRUE(s.resources.modelos.count(d.mesh_name));
            EXPECT_TRUE(s.resources.shaders.count(d.shader_name));
            if (!d.texture_name.empty()) {
                EXPECT_TRUE(s.resources.textures.count(d.texture_name));
            }
        });
    EXPECT_GT(descriptors, 10);

    // What the demo promises: three camera forms, groups three deep, and an end.
    int modes[4] = {};
    double last = 0;
    for (const camera& c : s.cameras) {
        ++modes[c.mode];
        EXPECT_NE(c.start, c.end); // a camera without end would never let the demo finish
        last = std::max(last, c.end);
    }
    EXPECT_GT(modes[0], 0);
    EXPECT_GT(modes[1], 0);
    EXPECT_GT(modes[3], 0);
    EXPECT_GE(last, 40.0);
    EXPECT_LE(last, 90.0);
    int deepest = 0;
    for (const group& g : s.groups)
        deepest = std::max(deepest, depth(g));
    EXPECT_GE(deepest, 3);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
