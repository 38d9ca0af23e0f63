// Places in XML text and the edits made at them.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "formats/xml_edit.h"
#include "formats/xml_source.h"

namespace {

std::string_view at(std::string_view text, byte_range r) {
    return text.substr(r.begin, r.size());
}

// A byte-order mark, "\r\n", a comment holding a tag, single quotes, entities, an attribute
// on a line of its own, a self-closing and an empty element.
const std::string kText = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n"
                          "<!-- <group> is not an element here -->\r\n"
                          "<scene>\r\n"
                          "  <window x=\"640\" y='480' title=\"A &amp; B &#65;&#x42;\"/>\r\n"
                          "  <camera start=\"1\"\r\n"
                          "          end='2'>\r\n"
                          "    <point X=\"1\" Y=\"2\" Z=\"3\"/>\r\n"
                          "  </camera>\r\n"
                          "  <group></group>\r\n"
                          "</scene>\r\n";

TEST(XmlSource, PlacesElementsAndAttributeValuesAsWritten) {
    const xml_source s = scanXml(kText);
    ASSERT_FALSE(s.problem);
    ASSERT_EQ(s.elements.size(), 5u);
    const element_place &scene = s.elements[0], &window = s.elements[1], &cam = s.elements[2],
                        &point = s.elements[3], &group = s.elements[4];
    EXPECT_EQ(scene.line, 3);
    EXPECT_EQ(window.parent, 0);
    EXPECT_EQ(point.parent, 2);
    EXPECT_EQ(at(kText, window.attribute("title")->value), "A &amp; B &#65;&#x42;");
    EXPECT_EQ(window.attribute("y")->quote, '\'');
    EXPECT_EQ(at(kText, cam.attribute("end")->value), "2");
    EXPECT_EQ(at(kText, cam.tag), "<camera start=\"1\"\r\n          end='2'>");
    EXPECT_TRUE(at(kText, cam.whole).ends_with("</camera>"));
    EXPECT_EQ(at(kText, point.whole), at(kText, point.tag));
    EXPECT_EQ(at(kText, group.whole), "<group></group>");
    EXPECT_EQ(point.line, 7);
    EXPECT_EQ(group.insertion(), group.tag.begin + 6);
    EXPECT_EQ(kText.substr(window.insertion(), 2), "/>");
}

TEST(XmlSource, DecodesAsTheParserDoes) {
    const struct {
        std::string raw, decoded;
    } cases[] = {
        {"A &amp; B", "A & B"},
        {"&lt;&gt;&quot;&apos;", "<>\"'"},
        {"&#65;&#x42;&#x263A;", "AB\xE2\x98\xBA"},
        {"a\r\nb\rc\n\rd", "a\nb\nc\nd"},
        {"&unknown; & &#zz;", "&unknown; & &#zz;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeXml(c.raw), c.decoded) << c.raw;
}

TEST(XmlSource, ReportsTheFirstStructuralFaultAndKeepsThePlacesBefore) {
    const xml_source s = scanXml("<scene>\n  <group x=\"1>\n</scene>\n");
    ASSERT_TRUE(s.problem);
    EXPECT_EQ(s.problem->line, 2);
    EXPECT_EQ(s.elements.size(), 1u);
}

TEST(XmlEdit, SetAttributeChangesOnlyItsValue) {
    const xml_source s = scanXml(kText);
    const element_place& window = s.elements[1];
    const std::string a = setAttribute(kText, window, "y", "it's");
    EXPECT_EQ(a, std::string(kText).replace(window.attribute("y")->value.begin, 3, "it&apos;s"));
    const std::string b = setAttribute(kText, window, "title", "<\"&\">");
    EXPECT_NE(b.find("title=\"&lt;&quot;&amp;&quot;>\"/>"), std::string::npos);
    // A new attribute goes after the last one, in the quotes of that one.
    const std::string c = setAttribute(kText, s.elements[2], "look_x", "0");
    EXPECT_NE(c.find("end='2' look_x='0'>\r\n"), std::string::npos);
    const std::string d = setAttribute(kText, s.elements[4], "name", "g");
    EXPECT_NE(d.find("<group name=\"g\"></group>"), std::string::npos);
    for (const std::string& edited : {a, b, c, d}) {
        EXPECT_TRUE(edited.starts_with("\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n"));
        EXPECT_FALSE(scanXml(edited).problem);
    }
}

TEST(XmlEdit, InsertAndRemoveKeepIndentationAndLineEnds) {
    const xml_source s = scanXml(kText);
    const std::string added = insertElementAfter(kText, s.elements[3], "<point X=\"4\"/>");
    EXPECT_NE(added.find("Z=\"3\"/>\r\n    <point X=\"4\"/>\r\n  </camera>"), std::string::npos);
    const xml_source again = scanXml(added);
    ASSERT_EQ(again.elements.size(), 6u);
    EXPECT_EQ(again.elements[4].parent, 2);
    // Removing what was inserted gives the text back, byte for byte.
    EXPECT_EQ(removeElement(added, again.elements[4]), kText);
    // An element with others on its line leaves the line.
    const std::string inline_ = "<a><b/><c/>\n</a>\n";
    EXPECT_EQ(removeElement(inline_, scanXml(inline_).elements[1]), "<a><c/>\n</a>\n");
    const std::string lf = "<a>\n\t<b/>\n</a>";
    EXPECT_EQ(insertElementAfter(lf, scanXml(lf).elements[1], "<c/>"), "<a>\n\t<b/>\n\t<c/>\n</a>");
    EXPECT_EQ(removeElement(lf, scanXml(lf).elements[1]), "<a>\n</a>");
}

TEST(XmlEdit, NumbersInTheShortestTextThatReadsBack) {
    const float floats[] = {0.1f, 1.0f / 3.0f, -2.5f, 1e-7f, 3.4028235e38f, 16777216.0f};
    for (float f : floats)
        EXPECT_EQ(std::stof(formatNumber(f)), f) << formatNumber(f);
    EXPECT_EQ(formatNumber(0.1f), "0.1");
    EXPECT_EQ(formatNumber(2.0), "2");
    EXPECT_EQ(formatNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(formatNumber(-42LL), "-42");
}

} // namespace
