// Once a scene is loaded, a frame allocates nothing: counted by replacing operator new.
#include "tests/gl/gl_context.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "app/player.h"
#include "app/render.h"
#include "scene/scene.h"
#include "tests/test_data.h"

namespace {

std::atomic<long> g_allocations{0};

} // namespace

// Every form is replaced, so that memory from one never reaches the other's delete. They all
// take memory from malloc, which GCC cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
void* counted(std::size_t size) {
    ++g_allocations;
    return std::malloc(size ? size : 1);
}
void* countedAligned(std::size_t size, std::align_val_t align) {
    ++g_allocations;
    const std::size_t a = static_cast<std::size_t>(align);
    return std::aligned_alloc(a, (size + a - 1) / a * a);
}
} // namespace

void* operator new(std::size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return counted(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return counted(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
    if (void* p = countedAligned(size, a)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t a) {
    if (void* p = countedAligned(size, a)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

TEST(Frame, AllocatesNothingOnceLoaded) {
    const std::string d = KESTRINE_TEST_DATA "/player";
    const std::string dir = ::testing::TempDir();
    std::ofstream(dir + "kestrine_a.dds", std::ios::binary) << testdata::solidDxt1(0x07E0);
    std::ofstream(dir + "kestrine_b.dds", std::ios::binary) << testdata::solidDxt1(0xF800);
    const std::string xml = R"(<scene>
<texture name="a" filename=")" +
                            dir + R"(kestrine_a.dds"/>
<texture name="b" filename=")" +
                            dir + R"(kestrine_b.dds"/>
<shader name="flat" vertex=")" +
                            d + "/flat.vert\" fragment=\"" + d + R"(/flat.frag"/>
<shader name="tex" vertex=")" +
                            d + "/flat.vert\" fragment=\"" + d + R"(/textured.frag"/>
<mesh name="quad" filename=")" +
                            d + R"(/quad.obj"/>
<mesh name="quad2" filename=")" +
                            d + R"(/quad.obj"/>
<camera start="0" end="100"><p X="0" Y="0" Z="10"/><p X="10" Y="0" Z="0"/><p X="0" Y="5" Z="-10"/></camera>
<camera start="0" end="100" look_x="0" look_y="0" look_z="0"><p X="0" Y="0" Z="10"/><p X="3" Y="1" Z="8"/></camera>
<group>
  <translate X="1" Y="0" Z="0" w_sinx="1" w_siny="0" w_sinz="2" cl="0.5"/>
  <rotate angle="0.3" axisX="0" axisY="1" axisZ="0"/>
  <models><model name="quad" shader="tex" texture="a"/><model name="quad2" shader="flat" texture=""/></models>
  <group>
    <translate time="4"><p X="0" Y="0" Z="0"/><p X="2" Y="0" Z="0"/><p X="2" Y="2" Z="0"/></translate>
    <rotate angle="0" axisX="0" axisY="1" axisZ="0" time="60" w_sinx="1" w_siny="1" w_sinz="1"/>
    <scale X="1" Y="2" Z="1" w_sinx="0" w_siny="3" w_sinz="0"/>
    <models><model name="quad" shader="tex" texture="b" start="0" end="100"/></models>
    <group><models><model name="quad2" shader="tex" texture="a"/><model name="missing" shader="flat" texture=""/></models></group>
  </group>
</group>
</scene>
)";
    const std::string path = dir + "kestrine_alloc.xml";
    std::ofstream(path, std::ios::binary) << xml;

    load_options options;
    options.trace = nullptr;
    ::testing::internal::CaptureStdout();
    scene loaded(path.c_str(), options);
    ASSERT_TRUE(loaded.loaded());
    window = gltest::window();
    s = &loaded;
    // The first frame may report the missing mesh once; after it, nothing is allocated.
    ASSERT_TRUE(renderScene(s, glm::mat4(1.0f), s->projection));
    const long before = g_allocations.load();
    for (int frame = 0; frame < 20; ++frame)
        ASSERT_TRUE(renderScene(s, glm::mat4(1.0f), s->projection));
    const long during = g_allocations.load() - before;
    std::fflush(stdout);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(during, 0);
    s = nullptr;
    window = nullptr;
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
