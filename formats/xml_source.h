#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where each element and attribute of an XML text stands, in bytes, so that one value can be
// changed and every other byte left as the author wrote it. The XML library reads the values;
// this only finds them.

// Bytes [begin, end) of the text.
struct byte_range {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t size() const { return end - begin; }
};

struct attribute_place {
    std::string name;
    byte_range value; // between the quotes, as written (entities not decoded)
    char quote = '"';
};

struct element_place {
    std::string name;
    int line = 0;     // of its "<", from 1
    byte_range tag;   // the start tag, "<" to its ">" or "/>"
    byte_range whole; // the start tag to the end of its end tag (the tag alone when self-closing)
    int parent = -1;  // index of the enclosing element, -1 at the top
    std::vector<attribute_place> attributes; // in the order written

    const attribute_place* attribute(std::string_view name) const;
    // Where a new attribute goes: after the last one, or after the name.
    std::size_t insertion() const;
};

// A structural fault in words an author can act on.
struct xml_syntax_problem {
    int line = 0;     // where it shows, from 1; 0 for the whole file
    std::string what; // "the element <scale> opened at line 30 is not closed"
};

struct xml_source {
    std::vector<element_place> elements; // every element, in document order of start tags
    // The first structural fault; the places up to it are kept.
    std::optional<xml_syntax_problem> problem;
};

xml_source scanXml(std::string_view text);

// An attribute's text as the XML library reads it: entities decoded, line ends made "\n".
std::string decodeXml(std::string_view raw);
