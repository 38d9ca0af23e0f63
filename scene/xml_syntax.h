#pragma once
#include <string_view>

#include "formats/xml_source.h"

// An XML syntax error as a sentence a scene's author can act on, instead of the parser's
// names for it.

// Where and what the first syntax error of `text` is. The text is scanned for its tags; what
// the scan does not find is told from tinyxml2's error number and line, `parser_error` and
// `parser_line`.
xml_syntax_problem describeXmlSyntax(std::string_view text, int parser_error, int parser_line);
