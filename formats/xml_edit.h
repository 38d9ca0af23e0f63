#pragma once
#include <string>
#include <string_view>

#include "formats/xml_source.h"

// Changes to an XML text at the places scanXml found. Each returns the new text; every byte
// outside the change stays as it was: comments, blank lines, attribute order, quote style,
// entities, "\r\n" line ends and a byte-order mark. The places are those of `text`: scan the
// new text again before the next change.

// Sets the attribute `name` of e to `value` (plain text, escaped here): its value's bytes are
// replaced, or, when e has no such attribute, ` name="value"` is added after its last one, in
// the quotes e's attributes use.
std::string setAttribute(std::string_view text, const element_place& e, std::string_view name,
                         std::string_view value);

// Puts `element` (its XML text, one line) on a line of its own after `after`, with the
// indentation and line end of after's line.
std::string insertElementAfter(std::string_view text, const element_place& after,
                               std::string_view element);

// Removes e with everything inside it, and its line too when nothing else stands on it.
std::string removeElement(std::string_view text, const element_place& e);

// `value` as an attribute's text between `quote`s: "&", "<" and the quote become entities.
std::string escapeXml(std::string_view value, char quote = '"');

// The shortest text that reads back as the same number (std::to_chars).
std::string formatNumber(float value);
std::string formatNumber(double value);
std::string formatNumber(long long value);
