// Findings as data, worded at the edge: see diagnostic.h.
#include "scene/diagnostic.h"

source_point diagnostic::place() const {
    if (!origin.file.empty()) return origin;
    for (const driver_note& n : log)
        if (!n.at.file.empty() && n.at.line > 0) return n.at;
    return at;
}

std::string wordPlace(const source_point& p) {
    std::string text = p.file;
    if (p.line > 0) text += ":" + std::to_string(p.line);
    if (p.line > 0 && p.column > 0) text += ":" + std::to_string(p.column);
    return text;
}

std::string wordDiagnostic(const diagnostic& d) {
    std::string text =
        wordPlace(d.at) + (d.severity == diagnostic::error ? ": error: " : ": warning: ");
    if (!d.element.empty()) text += d.element + ": ";
    text += d.what;
    // "so ..." continues the sentence; anything else is a clause of its own.
    if (!d.effect.empty()) text += (d.effect.rfind("so ", 0) == 0 ? ", " : "; ") + d.effect;
    if (!d.hint.empty()) text += " (" + d.hint + ")";
    if (!d.log.empty()) text += ":";
    for (const driver_note& n : d.log)
        text += "\n" + wordPlace(n.at.file.empty() ? d.at : n.at) + ": " + n.text;
    return text;
}
