#pragma once
#include <string>
#include <vector>

// The lines of a driver's compile or link log, read in the forms of Mesa ("0:11(2): error: x"),
// ANGLE and others ("ERROR: 0:11: x") and NVIDIA ("0(11) : error C1008: x").
struct driver_log_line {
    int line = -1;        // in the source; 0 for the program as a whole, -1 when none is named
    int column = 0;       // 0 when not given
    bool error = false;   // the driver calls it an error
    bool warning = false; // the driver calls it a warning
    std::string text;     // after the place, as written ("error C1008: x"); the whole line
                          // when no place is named
    std::string words;    // what it says, past its severity and code ("x")
};

// Every line of the log that is not empty, trailing spaces and "\r" dropped.
std::vector<driver_log_line> parseDriverLog(const std::string& log);
