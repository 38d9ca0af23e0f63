// Driver logs: see driver_log.h.
#include "formats/driver_log.h"

#include <cctype>
#include <regex>
#include <sstream>

namespace {

driver_log_line read(const std::string& line) {
    // Mesa: "0:11(2): error: ..."; NVIDIA: "0(11) : error C1008: ...".
    static const std::regex mesa(R"(^\s*\d+:(\d+)(?:\((\d+)\))?:\s*(.*)$)");
    static const std::regex nvidia(R"(^\s*\d+\((\d+)\)\s*:\s*(.*)$)");
    // ANGLE, AMD and others: "ERROR: 0:11: ...".
    static const std::regex severityFirst(R"(^\s*(ERROR|WARNING|INFO):\s*\d+:(\d+):\s*(.*)$)",
                                          std::regex::icase);
    const auto number = [](const std::ssub_match& m) {
        return m.length() > 8 ? 99999999 : std::stoi(m.str());
    };
    driver_log_line r;
    std::smatch m;
    if (std::regex_match(line, m, mesa)) {
        r.line = number(m[1]);
        r.column = r.line == 0 || !m[2].matched ? 0 : number(m[2]);
        r.text = m[3].str();
    } else if (std::regex_match(line, m, nvidia)) {
        r.line = number(m[1]);
        r.text = m[2].str();
    } else if (std::regex_match(line, m, severityFirst)) {
        r.line = number(m[2]);
        std::string severity = m[1].str();
        for (char& c : severity)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        r.text = severity + ": " + m[3].str();
    } else {
        r.text = line;
        r.error = line.find("error") != std::string::npos;
        r.words = line;
        return r;
    }
    r.error = r.text.rfind("error", 0) == 0;
    r.warning = r.text.rfind("warning", 0) == 0;
    r.words = r.text;
    // Past "error", "error C1008" or "warning" and the colon after it.
    if (r.error || r.warning) {
        const std::size_t colon = r.text.find(':');
        r.words = r.text.substr(colon == std::string::npos ? r.text.find(' ') + 1 : colon + 1);
        r.words.erase(0, r.words.find_first_not_of(' '));
    }
    return r;
}

} // namespace

std::vector<driver_log_line> parseDriverLog(const std::string& log) {
    std::vector<driver_log_line> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty()) lines.push_back(read(line));
    }
    return lines;
}
