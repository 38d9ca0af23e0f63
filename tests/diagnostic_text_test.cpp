// Messages an editor can jump to: XML syntax errors in words, driver logs with file and line.
#include <string>

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "authoring/diagnostics.h"
#include "scene/xml_syntax.h"

TEST(XmlSyntax, SaysWhatIsWrongAndWhereInWords) {
    const struct {
        const char* text;
        int line;
        const char* what;
    } cases[] = {
        {"<scene>\n<group>\n<scale X=\"1\" Y=\"1\" Z=\"1\">\n</group>\n</scene>\n", 4,
         "the element <scale> opened at line 3 is not closed before </group>"},
        {"<scene>\n<group>\n<scale X=\"1\" Y=\"1\" Z=\"1\"/>\n</group>\n", 4,
         "the element <scene> opened at line 1 is not closed"},
        {"<scene>\n<group>\n</grop>\n</scene>\n", 3,
         "the element <group> opened at line 2 is not closed (</grop> closes no open element)"},
        {"<scene>\n<scale X=1 Y=\"1\"/>\n</scene>\n", 2,
         "the value of attribute \"X\" of <scale> is not in quotes; write X=\"...\""},
        {"<scene>\n<group a=\"1\" a=\"2\"/>\n</scene>\n", 2,
         "attribute \"a\" is given twice in <group>"},
        {"<scene>\n<!-- hi\n<group/>\n</scene>\n", 4,
         "the comment opened at line 2 is not closed with -->"},
        {"<scene>\n<group\n</scene>\n", 2, "the tag <group> does not end with > or />"},
        {"<scene>\n<>\n</scene>\n", 2,
         "a \"<\" that starts no element (write &lt; for the character itself)"},
        {"", 0, "the file holds no element; it needs a <scene> element"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        tinyxml2::XMLDocument doc;
        ASSERT_NE(doc.Parse(c.text), tinyxml2::XML_SUCCESS);
        const xml_syntax_problem p = describeXmlSyntax(c.text, doc.ErrorID(), doc.ErrorLineNum());
        EXPECT_EQ(p.line, c.line);
        EXPECT_EQ(p.what, c.what);
    }
}

TEST(DriverLog, EveryLineStartsWithFileAndLine) {
    const struct {
        const char* log;
        const char* file;
        const char* located;
    } cases[] = {
        {"0:11(2): error: syntax error, unexpected '}'\n", "shaders/flat.frag",
         "shaders/flat.frag:11:2: error: syntax error, unexpected '}'"},
        {"0:3(1): warning: x\n\n0:0(0): error: no main\n", "a.vert",
         "a.vert:3:1: warning: x\nscene.xml:4: error: no main"},
        {"ERROR: 0:7: 'f' : undeclared identifier", "a.vert",
         "a.vert:7: error: 'f' : undeclared identifier"},
        {"0(12) : error C1008: undefined variable", "a.vert",
         "a.vert:12: error C1008: undefined variable"},
        {"error: vertex shader output `q' declared as type `vec3'\n", "",
         "scene.xml:4: error: vertex shader output `q' declared as type `vec3'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        diagnostic d;
        d.at = {"scene.xml", 4, 0};
        d.log = driverNotes(c.log, c.file);
        const std::string worded = wordDiagnostic(d);
        EXPECT_EQ(worded.substr(worded.find('\n') + 1), c.located);
    }
}
