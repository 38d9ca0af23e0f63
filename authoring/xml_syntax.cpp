// XML syntax errors in words: see xml_syntax.h.
#include "authoring/xml_syntax.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include <tinyxml2.h>

namespace {

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The tags of a text, one after another, with the line each is on.
class tag_scan {
public:
    explicit tag_scan(std::string_view text) : text(text) {}

    // The first problem of structure: a tag or comment not closed, a closing tag that does not
    // match, an attribute not written name="value".
    std::optional<xml_syntax_problem> run();

private:
    struct open_element {
        std::string name;
        int line;
    };

    xml_syntax_problem at(std::string what) const { return {line, std::move(what)}; }
    // At the last line of the text, for what is still open when it ends.
    xml_syntax_problem atEnd(std::string what) {
        advance(text.size());
        const bool newline = !text.empty() && text.back() == '\n';
        return {newline ? line - 1 : line, std::move(what)};
    }
    // Moves to `to`, counting lines.
    void advance(std::size_t to) {
        to = std::min(to, text.size());
        line += int(std::count(text.begin() + long(pos), text.begin() + long(to), '\n'));
        pos = to;
    }
    // Skips to past `closing`; false when the text ends first.
    bool skipPast(std::string_view closing) {
        const std::size_t end = text.find(closing, pos);
        if (end == std::string_view::npos) return false;
        advance(end + closing.size());
        return true;
    }
    std::string name() {
        const std::size_t from = pos;
        while (pos < text.size() && !space(text[pos]) &&
               std::string_view("=/>\"'<").find(text[pos]) == std::string_view::npos)
            ++pos;
        return std::string(text.substr(from, pos - from));
    }
    void skipSpace() {
        while (pos < text.size() && space(text[pos]))
            advance(pos + 1);
    }
    std::optional<xml_syntax_problem> special();
    std::optional<xml_syntax_problem> closingTag();
    std::optional<xml_syntax_problem> openingTag();

    std::string_view text;
    std::size_t pos = 0;
    int line = 1;
    std::vector<open_element> open;
};

std::optional<xml_syntax_problem> tag_scan::run() {
    for (;;) {
        const std::size_t next = text.find('<', pos);
        if (next == std::string_view::npos) break;
        advance(next);
        std::optional<xml_syntax_problem> p;
        if (text.substr(pos, 2) == "<!" || text.substr(pos, 2) == "<?")
            p = special();
        else if (text.substr(pos, 2) == "</")
            p = closingTag();
        else
            p = openingTag();
        if (p) return p;
    }
    if (!open.empty())
        return atEnd("the element <" + open.back().name + "> opened at line " +
                     std::to_string(open.back().line) + " is not closed");
    return std::nullopt;
}

std::optional<xml_syntax_problem> tag_scan::special() {
    const int from = line;
    const std::string where = " opened at line " + std::to_string(from);
    if (text.substr(pos, 4) == "<!--") {
        advance(pos + 4);
        if (!skipPast("-->")) return atEnd("the comment" + where + " is not closed with -->");
    } else if (text.substr(pos, 9) == "<![CDATA[") {
        if (!skipPast("]]>")) return atEnd("the CDATA section" + where + " is not closed with ]]>");
    } else if (text.substr(pos, 2) == "<?") {
        if (!skipPast("?>")) return atEnd("the <?...?> declaration" + where + " is not closed");
    } else if (!skipPast(">")) {
        return atEnd("the <!...> declaration" + where + " is not closed with >");
    }
    return std::nullopt;
}

std::optional<xml_syntax_problem> tag_scan::closingTag() {
    advance(pos + 2);
    const std::string closing = name();
    skipSpace();
    if (pos >= text.size() || text[pos] != '>')
        return at("the closing tag </" + closing + "> does not end with >");
    advance(pos + 1);
    if (open.empty()) return at("the closing tag </" + closing + "> closes no open element");
    if (open.back().name != closing) {
        const open_element& o = open.back();
        std::string what = "the element <" + o.name + "> opened at line " + std::to_string(o.line) +
                           " is not closed";
        const bool closesOuter = std::any_of(
            open.begin(), open.end(), [&](const open_element& e) { return e.name == closing; });
        what += closesOuter ? " before </" + closing + ">"
                            : " (</" + closing + "> closes no open element)";
        return at(what);
    }
    open.pop_back();
    return std::nullopt;
}

std::optional<xml_syntax_problem> tag_scan::openingTag() {
    const int from = line;
    advance(pos + 1);
    skipSpace(); // "< group" is read as <group>
    const std::string element = name();
    if (element.empty())
        return at("a \"<\" that starts no element (write &lt; for the character itself)");
    const std::string tag = "<" + element + ">";
    std::set<std::string> seen;
    for (;;) {
        skipSpace();
        if (pos >= text.size())
            return xml_syntax_problem{from, "the tag " + tag + " does not end with > or />"};
        if (text.substr(pos, 2) == "/>") {
            advance(pos + 2);
            return std::nullopt;
        }
        if (text[pos] == '>') {
            advance(pos + 1);
            open.push_back({element, from});
            return std::nullopt;
        }
        const std::string attribute = name();
        if (attribute.empty())
            return xml_syntax_problem{from, "the tag " + tag + " does not end with > or />"};
        const std::string quotedName = "\"" + attribute + "\"";
        if (!seen.insert(attribute).second)
            return at("attribute " + quotedName + " is given twice in " + tag);
        skipSpace();
        if (pos >= text.size() || text[pos] != '=')
            return at("attribute " + quotedName + " of " + tag + " has no value; write " +
                      attribute + "=\"...\"");
        advance(pos + 1);
        skipSpace();
        if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\''))
            return at("the value of attribute " + quotedName + " of " + tag +
                      " is not in quotes; write " + attribute + "=\"...\"");
        const char quote = text[pos];
        const int valueLine = line;
        advance(pos + 1);
        if (!skipPast(std::string_view(&quote, 1)))
            return xml_syntax_problem{valueLine, "the value of attribute " + quotedName + " of " +
                                                     tag + " is not closed with its quote"};
    }
}

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
        if (std::optional<xml_syntax_problem> p = tag_scan(text).run()) return *p;
    return {parser_line, parserWords(parser_error)};
}
