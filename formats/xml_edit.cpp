// Edits that keep the rest of the text: see xml_edit.h.
#include "formats/xml_edit.h"

#include <algorithm>
#include <charconv>

namespace {

std::string splice(std::string_view text, byte_range cut, std::string_view with) {
    std::string out(text.substr(0, cut.begin));
    out.append(with).append(text.substr(cut.end));
    return out;
}

// The start of the line that holds `at`.
std::size_t lineStart(std::string_view text, std::size_t at) {
    const std::size_t nl = text.rfind('\n', at == 0 ? 0 : at - 1);
    return at == 0 || nl == std::string_view::npos ? 0 : nl + 1;
}

template <class T> std::string shortest(T value) {
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

} // namespace

std::string setAttribute(std::string_view text, const element_place& e, std::string_view name,
                         std::string_view value) {
    if (const attribute_place* a = e.attribute(name))
        return splice(text, a->value, escapeXml(value, a->quote));
    const char quote = e.attributes.empty() ? '"' : e.attributes.back().quote;
    std::string added = " " + std::string(name) + "=" + quote + escapeXml(value, quote) + quote;
    const std::size_t at = e.insertion();
    return splice(text, {at, at}, added);
}

std::string insertElementAfter(std::string_view text, const element_place& after,
                               std::string_view element) {
    const std::size_t start = lineStart(text, after.whole.begin);
    const std::size_t indent = std::min(text.find_first_not_of(" \t", start), after.whole.begin);
    // The line end of after's own line, or of the one before it when after ends the text.
    std::size_t nl = text.find('\n', after.whole.end);
    if (nl == std::string_view::npos && start > 0) nl = start - 1;
    const bool crlf = nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r';
    std::string added = crlf ? "\r\n" : "\n";
    added.append(text.substr(start, indent - start));
    added.append(element);
    return splice(text, {after.whole.end, after.whole.end}, added);
}

std::string removeElement(std::string_view text, const element_place& e) {
    byte_range cut = e.whole;
    const std::size_t start = lineStart(text, cut.begin);
    const std::size_t before = std::min(text.find_first_not_of(" \t", start), cut.begin);
    const std::size_t after = std::min(text.find_first_not_of(" \t\r", cut.end), text.size());
    if (before == cut.begin && (after == text.size() || text[after] == '\n'))
        cut = {start, after == text.size() ? after : after + 1};
    return splice(text, cut, "");
}

std::string escapeXml(std::string_view value, char quote) {
    std::string out;
    for (const char c : value) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == quote)
            out += quote == '"' ? "&quot;" : "&apos;";
        else
            out += c;
    }
    return out;
}

std::string formatNumber(float value) {
    return shortest(value);
}

std::string formatNumber(double value) {
    return shortest(value);
}

std::string formatNumber(long long value) {
    return shortest(value);
}
