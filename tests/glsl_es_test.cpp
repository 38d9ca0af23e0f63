// Desktop GLSL made GLSL ES 3.00 for WebGL 2.
#include "formats/glsl_es.h"

#include <gtest/gtest.h>

TEST(GlslEs, VersionBecomesEsWithPrecisionsAndTheFilesLineNumbers) {
    const std::string out = toGlslEs("// lit\n\n#version 330 core\nin vec3 p;\nvoid main() {}\n");
    EXPECT_EQ(out.rfind("// lit\n\n#version 300 es\nprecision highp float;", 0), 0u) << out;
    // Line 4 of the file is line 4 for the compiler.
    EXPECT_NE(out.find("sampler2DArray;\n#line 4\nin vec3 p;\nvoid main() {}\n"), std::string::npos)
        << out;
}

TEST(GlslEs, ExtensionsStayBeforeThePrecisions) {
    const std::string out =
        toGlslEs("#version 330\n#extension GL_EXT_a : enable\n  # extension b : warn\nvoid f();");
    EXPECT_EQ(out.rfind("#version 300 es\n#extension GL_EXT_a : enable\n  # extension b : warn\n"
                        "precision highp float;",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("\n#line 4\nvoid f();"), std::string::npos) << out;
}

TEST(GlslEs, LeavesWhatItCannotPlaceAlone) {
    for (const char* source : {"void main() {}\n", "#version 300 es\nvoid main() {}\n", "",
                               "// only a comment", "#define X 1\n#version 330\n"})
        EXPECT_EQ(toGlslEs(source), source);
    // The last line needs no line break.
    EXPECT_EQ(toGlslEs("#version 330 core").rfind("#version 300 es\nprecision", 0), 0u);
}
