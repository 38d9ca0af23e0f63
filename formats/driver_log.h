#pragma once
#include <string>

// Each line of a driver's compile or link log made to start with the place it is about, in the
// form editors and terminals link to: Mesa's "0:11(2): error: x" in `file` becomes
// "file:11:2: error: x" (and "ERROR: 0:11: x", "0(11) : error x" of other drivers alike); a
// line that names no place, as a link log's, starts with `fallback` ("scene.xml:4"). Empty
// lines are dropped.
std::string locateDriverLog(const std::string& log, const std::string& file,
                            const std::string& fallback);
