// Places in an XML text: see xml_source.h.
#include "formats/xml_source.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <set>

namespace {

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The tags of a text, one after another, with the line each is on.
class tag_scan {
public:
    explicit tag_scan(std::string_view text) : text(text) {}

    xml_source run();

private:
    using problem = std::optional<xml_syntax_problem>;

    xml_syntax_problem at(std::string what) const { return {line, std::move(what)}; }
    // At the last line of the text, for what is still open when it ends.
    xml_syntax_problem atEnd(std::string what) {
        advance(text.size());
        return {line - int(text.ends_with('\n')), std::move(what)};
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
    problem special();
    problem closingTag();
    problem openingTag();
    problem attribute(element_place& e, std::set<std::string>& seen);

    std::string_view text;
    std::size_t pos = 0;
    int line = 1;
    std::vector<int> open; // indices of the elements not yet closed
    xml_source found;
};

xml_source tag_scan::run() {
    for (;;) {
        const std::size_t next = text.find('<', pos);
        if (next == std::string_view::npos) break;
        advance(next);
        const std::string_view two = text.substr(pos, 2);
        if (problem p = two == "<!" || two == "<?" ? special()
                        : two == "</"              ? closingTag()
                                                   : openingTag()) {
            found.problem = std::move(p);
            return std::move(found);
        }
    }
    if (!open.empty()) {
        const element_place& e = found.elements[std::size_t(open.back())];
        found.problem = atEnd("the element <" + e.name + "> opened at line " +
                              std::to_string(e.line) + " is not closed");
    }
    return std::move(found);
}

tag_scan::problem tag_scan::special() {
    const std::string where = " opened at line " + std::to_string(line);
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

tag_scan::problem tag_scan::closingTag() {
    advance(pos + 2);
    const std::string closing = name();
    skipSpace();
    if (pos >= text.size() || text[pos] != '>')
        return at("the closing tag </" + closing + "> does not end with >");
    advance(pos + 1);
    if (open.empty()) return at("the closing tag </" + closing + "> closes no open element");
    element_place& o = found.elements[std::size_t(open.back())];
    if (o.name != closing) {
        std::string what = "the element <" + o.name + "> opened at line " + std::to_string(o.line) +
                           " is not closed";
        const bool closesOuter = std::any_of(open.begin(), open.end(), [&](int i) {
            return found.elements[std::size_t(i)].name == closing;
        });
        what += closesOuter ? " before </" + closing + ">"
                            : " (</" + closing + "> closes no open element)";
        return at(what);
    }
    o.whole.end = pos;
    open.pop_back();
    return std::nullopt;
}

tag_scan::problem tag_scan::openingTag() {
    element_place e;
    e.line = line;
    e.tag.begin = pos;
    e.parent = open.empty() ? -1 : open.back();
    advance(pos + 1);
    skipSpace(); // "< group" is read as <group>
    e.name = name();
    if (e.name.empty())
        return at("a \"<\" that starts no element (write &lt; for the character itself)");
    std::set<std::string> seen;
    for (;;) {
        skipSpace();
        const bool closes = text.substr(pos, 2) == "/>";
        if (closes || (pos < text.size() && text[pos] == '>')) {
            advance(pos + (closes ? 2 : 1));
            e.tag.end = pos;
            e.whole = {e.tag.begin, closes ? pos : text.size()};
            if (!closes) open.push_back(int(found.elements.size()));
            found.elements.push_back(std::move(e));
            return std::nullopt;
        }
        if (problem p = attribute(e, seen)) return p;
    }
}

tag_scan::problem tag_scan::attribute(element_place& e, std::set<std::string>& seen) {
    const std::string tag = "<" + e.name + ">";
    const std::string attribute = name();
    if (attribute.empty())
        return xml_syntax_problem{e.line, "the tag " + tag + " does not end with > or />"};
    const std::string quotedName = "\"" + attribute + "\"";
    if (!seen.insert(attribute).second)
        return at("attribute " + quotedName + " is given twice in " + tag);
    skipSpace();
    if (pos >= text.size() || text[pos] != '=')
        return at("attribute " + quotedName + " of " + tag + " has no value; write " + attribute +
                  "=\"...\"");
    advance(pos + 1);
    skipSpace();
    if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\''))
        return at("the value of attribute " + quotedName + " of " + tag +
                  " is not in quotes; write " + attribute + "=\"...\"");
    const char quote = text[pos];
    const int valueLine = line;
    advance(pos + 1);
    const std::size_t from = pos;
    if (!skipPast(std::string_view(&quote, 1)))
        return xml_syntax_problem{valueLine, "the value of attribute " + quotedName + " of " + tag +
                                                 " is not closed with its quote"};
    e.attributes.push_back({attribute, {from, pos - 1}, quote});
    return std::nullopt;
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += char(c);
        return;
    }
    // The lead byte marks how many continuation bytes follow, six bits each.
    const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += char(((0xFF00 >> (more + 1)) & 0xFF) | (c >> (6 * more)));
    for (int k = more - 1; k >= 0; --k)
        out += char(0x80 | ((c >> (6 * k)) & 0x3F));
}

// The character reference at the start of `s` ("&#65;", "&#x41;"): its length, 0 if none.
std::size_t characterReference(std::string_view s, std::string& out) {
    const std::size_t digits = s.substr(0, 3) == "&#x" ? 3 : 2;
    const std::size_t semi = s.find(';', digits);
    if (semi == std::string_view::npos || semi == digits) return 0;
    std::uint32_t c = 0;
    const auto [end, error] =
        std::from_chars(s.data() + digits, s.data() + semi, c, digits == 3 ? 16 : 10);
    if (error != std::errc() || end != s.data() + semi || c > 0x10FFFF) return 0;
    appendUtf8(out, c);
    return semi + 1;
}

} // namespace

const attribute_place* element_place::attribute(std::string_view wanted) const {
    for (const attribute_place& a : attributes)
        if (a.name == wanted) return &a;
    return nullptr;
}

std::size_t element_place::insertion() const {
    return attributes.empty() ? tag.begin + 1 + name.size() : attributes.back().value.end + 1;
}

xml_source scanXml(std::string_view text) {
    return tag_scan(text).run();
}

std::string decodeXml(std::string_view raw) {
    static const struct {
        std::string_view name;
        char c;
    } entities[] = {
        {"&quot;", '"'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}};
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        const std::string_view rest = raw.substr(i);
        // "\r\n", "\n\r" and a lone "\r" are each one line end.
        if (rest[0] == '\r' || rest[0] == '\n') {
            out += '\n';
            i += rest.size() > 1 && (rest[1] == '\r' || rest[1] == '\n') && rest[1] != rest[0] ? 2
                                                                                               : 1;
            continue;
        }
        if (rest[0] == '&') {
            if (rest.substr(0, 2) == "&#") {
                if (const std::size_t n = characterReference(rest, out)) {
                    i += n;
                    continue;
                }
            }
            const auto known =
                std::find_if(std::begin(entities), std::end(entities),
                             [&](const auto& e) { return rest.starts_with(e.name); });
            if (known != std::end(entities)) {
                out += known->c;
                i += known->name.size();
                continue;
            }
        }
        out += rest[0];
        ++i;
    }
    return out;
}
