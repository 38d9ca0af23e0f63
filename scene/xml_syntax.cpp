// XML syntax errors in words: see xml_syntax.h.
#include "scene/xml_syntax.h"

#include <string>

#include <tinyxml2.h>

namespace {

// What tinyxml2's error number means, for what the scan does not find.
std::string parserWords(int error) {
    switch (error) {
    case tinyxml2::XML_ERROR_EMPTY_DOCUMENT:
        return "the file holds no element; it needs a <scene> element";
    case tinyxml2::XML_ERROR_PARSING_ATTRIBUTE:
        return "an attribute is not written as name=\"value\"";
    case tinyxml2::XML_ERROR_PARSING_COMMENT:
        return "a comment is not closed with -->";
    case tinyxml2::XML_ERROR_PARSING_CDATA:
        return "a CDATA section is not closed with ]]>";
    case tinyxml2::XML_ERROR_PARSING_DECLARATION:
    case tinyxml2::XML_ERROR_PARSING_UNKNOWN:
        return "a <?...?> or <!...> declaration is not closed";
    case tinyxml2::XML_ERROR_MISMATCHED_ELEMENT:
        return "a closing tag does not match the element it closes";
    case tinyxml2::XML_ELEMENT_DEPTH_EXCEEDED:
        return "elements are nested too deep to read";
    default:
        return "the text is not well-formed XML here";
    }
}

} // namespace

xml_syntax_problem describeXmlSyntax(std::string_view text, int parser_error, int parser_line) {
    if (parser_error != tinyxml2::XML_ERROR_EMPTY_DOCUMENT)
        if (xml_source scanned = scanXml(text); scanned.problem) return *scanned.problem;
    return {parser_line, parserWords(parser_error)};
}
