#pragma once
#include <string>

class scene;

// The scene's time line as an SVG picture: a time axis in seconds to the latest camera or
// model window or the music's end (at most ten times the later of the demo's end and the
// music's; longer windows run off it with an arrow), shaded after the demo ends, its end as
// the data-end of the element of class "axis"; a lane per camera window (static, moving with a
// look-at point, or along its tangent) and per model descriptor window (its mesh and its group's
// path, such as 2.1.3), the camera cuts, the gaps where the demo would end, and the music's length
// (below 0: unknown). Every lane carries its times as data-start and data-end, as the scene holds
// them.
std::string timelineSvg(const scene& s, const std::string& title, double musicSeconds);
