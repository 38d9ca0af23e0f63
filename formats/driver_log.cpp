// Driver logs that point into files: see driver_log.h.
#include "formats/driver_log.h"

#include <cctype>
#include <regex>
#include <sstream>

namespace {

std::string lowered(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One line, or "" when it names no place; a place at line 0 is the program's as a whole.
std::string located(const std::string& line, const std::string& file, const std::string& fallback) {
    const auto at = [&](const std::ssub_match& number, std::string rest) {
        return (number == "0" ? fallback : file + ":" + number.str()) + rest;
    };
    // Mesa: "0:11(2): error: ..."; NVIDIA: "0(11) : error C1008: ...".
    static const std::regex mesa(R"(^\s*\d+:(\d+)\((\d+)\):\s*(.*)$)");
    static const std::regex nvidia(R"(^\s*\d+\((\d+)\)\s*:\s*(.*)$)");
    // ANGLE, AMD and others: "ERROR: 0:11: ...".
    static const std::regex severityFirst(R"(^\s*(ERROR|WARNING|INFO):\s*\d+:(\d+):\s*(.*)$)",
                                          std::regex::icase);
    std::smatch m;
    if (std::regex_match(line, m, mesa))
        return at(m[1], (m[1] == "0" ? "" : ":" + m[2].str()) + ": " + m[3].str());
    if (std::regex_match(line, m, nvidia)) return at(m[1], ": " + m[2].str());
    if (std::regex_match(line, m, severityFirst))
        return at(m[2], ": " + lowered(m[1].str()) + ": " + m[3].str());
    return "";
}

} // namespace

std::string locateDriverLog(const std::string& log, const std::string& file,
                            const std::string& fallback) {
    std::istringstream in(log);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty()) continue;
        std::string where = located(line, file.empty() ? fallback : file, fallback);
        if (where.empty()) where = fallback + ": " + line;
        if (!out.empty()) out += '\n';
        out += where;
    }
    return out;
}
