#pragma once
#include <string>
#include <string_view>

// An XML syntax error as a sentence a scene's author can act on, instead of the parser's
// names for it.
struct xml_syntax_problem {
    int line = 0;     // where it shows, from 1; 0 for the whole file
    std::string what; // "the element <scale> opened at line 30 is not closed"
};

// Where and what the first syntax error of `text` is. The text is scanned for its tags; what
// the scan does not find is told from tinyxml2's error number and line, `parser_error` and
// `parser_line`.
xml_syntax_problem describeXmlSyntax(std::string_view text, int parser_error, int parser_line);
