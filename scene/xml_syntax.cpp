// XML syntax errors in words: see xml_syntax.h.
#include "scene/xml_syntax.h"

#include <string>

#include <tinyxml2.h>

namespace {

// What tinyxml2's error number means, for what the scan does not find.
std::string parserWords(int error) {
    using namespace tinyxml2;
    static const struct {
        int error;
        const char* words;
    } known[] = {
        {XML_ERROR_EMPTY_DOCUMENT, "the file holds no element; it needs a <scene> element"},
        {XML_ERROR_PARSING_ATTRIBUTE, "an attribute is not written as name=\"value\""},
        {XML_ERROR_PARSING_COMMENT, "a comment is not closed with -->"},
        {XML_ERROR_PARSING_CDATA, "a CDATA section is not closed with ]]>"},
        {XML_ERROR_PARSING_DECLARATION, "a <?...?> or <!...> declaration is not closed"},
        {XML_ERROR_PARSING_UNKNOWN, "a <?...?> or <!...> declaration is not closed"},
        {XML_ERROR_MISMATCHED_ELEMENT, "a closing tag does not match the element it closes"},
        {XML_ELEMENT_DEPTH_EXCEEDED, "elements are nested too deep to read"}};
    for (const auto& k : known)
        if (k.error == error) return k.words;
    return "the text is not well-formed XML here";
}

} // namespace

xml_syntax_problem describeXmlSyntax(std::string_view text, int parser_error, int parser_line) {
    if (parser_error != tinyxml2::XML_ERROR_EMPTY_DOCUMENT)
        if (xml_source scanned = scanXml(text); scanned.problem) return *scanned.problem;
    return {parser_line, parserWords(parser_error)};
}
