#pragma once
#include <string>
#include <string_view>

class scene;

// A value of the scene file set in the loaded scene's records, so that the picture and the
// timeline show it at once, before the file is written and read again: the windows of cameras
// and model descriptors, the points of camera paths and curve translations, and a model's
// colour. What the reload makes of the written file must equal it.

// Sets attribute of the element at place (an index into sc.source) to value, as the loader
// would read it. False when that value is not one the studio changes live: the reload shows it.
bool setLive(scene& sc, int place, std::string_view attribute, double value);

// The attribute's value as the file the scene was read from says, for setting it back; false
// when the element has no such attribute or it is not a number.
bool fileValue(const scene& sc, int place, std::string_view attribute, double& out);
