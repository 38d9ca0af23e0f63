// Scene graph records: visibility windows, the loader's operations, deep copies.
#include "graph/group.h"

#include <gtest/gtest.h>

TEST(ModeloDescript, WindowsAreInclusiveAndEmptyWindowsAlwaysVisible) {
    group g;
    g.addModelDescriptor("m", "t", "s", glm::vec3(0.5f), -1.0, -1.0);
    g.addModelDescriptor("m", "t", "s", glm::vec3(0.5f), 5.0, 5.0);
    g.addModelDescriptor("m", "t", "s", glm::vec3(0.5f), 2.0, 4.0);
    g.addModelDescriptor("m", "t", "s", glm::vec3(0.5f), 4.0, 2.0);
    const auto& d = g.descriptors;
    for (double t : {0.0, 1.0, 5.0, 1000.0}) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(d[0].is_on_time(t));
        EXPECT_TRUE(d[1].is_on_time(t)); // before second 5 too
        EXPECT_FALSE(d[3].is_on_time(t));
    }
    EXPECT_TRUE(d[2].is_on_time(2.0));
    EXPECT_TRUE(d[2].is_on_time(4.0));
    EXPECT_FALSE(d[2].is_on_time(1.999));
    EXPECT_FALSE(d[2].is_on_time(4.001));
    EXPECT_FALSE(d[3].is_on_time(3.0));
}

TEST(Group, DescriptorArgumentsGoToTheRightFields) {
    group g;
    g.addModelDescriptor("M", "T", "S", glm::vec3(0.1f, 0.2f, 0.3f), 1.0, 2.0);
    const modelo_descript& d = g.descriptors.at(0);
    EXPECT_EQ(d.mesh_name, "M");
    EXPECT_EQ(d.texture_name, "T");
    EXPECT_EQ(d.shader_name, "S");
    EXPECT_EQ(d.colour, glm::vec3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(d.start, 1.0);
    EXPECT_EQ(d.end, 2.0);

    modelo_descript empty;
    EXPECT_TRUE(empty.mesh_name.empty() && empty.texture_name.empty());
    EXPECT_EQ(empty.colour, glm::vec3(0.0f));
}

TEST(Group, AddTransformOverloadsSetTheirFields) {
    group g;
    g.addTransform(translation, 0.0f, glm::vec3(1, 2, 3));
    g.addTransform(scaling, 0.0f, glm::vec3(2), glm::vec3(0, 3, 0), glm::vec3(0), 4.5);
    g.addTransform(curve_translation, 7u);
    ASSERT_EQ(g.transforms.size(), 3u);
    EXPECT_EQ(g.transforms[0].kind, translation);
    EXPECT_EQ(g.transforms[0].wobble_amplitude, 1.0);
    EXPECT_EQ(g.transforms[1].wobble_frequency, glm::vec3(0, 3, 0));
    EXPECT_EQ(g.transforms[1].wobble_amplitude, 4.5);
    EXPECT_EQ(g.transforms[2].kind, curve_translation);
    EXPECT_EQ(g.transforms[2].time_length, 7.0);
    EXPECT_EQ(g.transforms[2].path.pointCount(), 0u);

    transform timed(timed_rotation, 0.3f, glm::vec3(0, 1, 0));
    EXPECT_FLOAT_EQ(timed.scalar, 0.3f);
    EXPECT_EQ(timed.time_length, 0.0);
    EXPECT_EQ(timed.wobble_amplitude, 1.0);
    timed.SetTimeLenght(2.9);
    EXPECT_EQ(timed.time_length, 2.9);

    g.addTerrain(nullptr);
    g.addProceduralModel(1, 2, 3, 4);
    EXPECT_EQ(g.descriptors.size(), 0u);
    EXPECT_EQ(g.children.size(), 0u);
}

TEST(Group, CopiesAreDeepAndIndependent) {
    group leaf;
    leaf.addTransform(curve_translation, 4u);
    leaf.transforms.back().path.addControlPoint(1, 2, 3);
    leaf.addModelDescriptor("m", "", "s", glm::vec3(1), 0, 1);
    group middle;
    middle.addGroup(leaf);
    group root;
    root.addGroup(middle);
    root.addTransform(rotation, 1.0f, glm::vec3(0, 0, 1));

    group copy = root;
    copy.children[0].children[0].transforms[0].path.addControlPoint(4, 5, 6);
    copy.children[0].children[0].descriptors[0].mesh_name = "other";
    copy.children[0].addGroup(group());
    copy.transforms[0].scalar = 2.0f;

    const group& src = root.children[0].children[0];
    EXPECT_EQ(src.transforms[0].path.pointCount(), 1u);
    EXPECT_EQ(src.descriptors[0].mesh_name, "m");
    EXPECT_EQ(root.children[0].children.size(), 1u);
    EXPECT_EQ(root.transforms[0].scalar, 1.0f);
    EXPECT_EQ(copy.children[0].children[0].transforms[0].path.pointCount(), 2u);
}
