#pragma once
// The director's lines of the studio's layout file, shared by the director's end-to-end tests.
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

#include "preview_window.h"

namespace e2e {

// The view, the projection, the eye and every path; the point selected in the picture.
struct director_layout {
    bool shown = false;
    glm::mat4 view{1.0f}, projection{1.0f};
    glm::vec3 eye{0.0f}, look{0.0f};
    std::optional<glm::vec3> pivot; // what a middle-drag under way orbits round
    std::vector<std::pair<std::string, std::vector<glm::vec3>>> paths; // "camera 3": samples
    std::string point = "none"; // "camera 3 2 held": the path, the point from 1, dragged or not
    int selectedBar = 0;        // the camera whose bar is outlined, from 1; 0 for none
};

inline director_layout readDirector(const std::string& file) {
    director_layout l;
    std::istringstream in(slurp(file));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string what, kind;
        words >> what;
        const auto matrix = [&words](glm::mat4& m) {
            for (int c = 0; c < 4; ++c)
                for (int r = 0; r < 4; ++r)
                    words >> m[c][r];
        };
        if (what == "director") {
            words >> kind;
            l.shown = kind == "shown";
        } else if (what == "director_view") {
            matrix(l.view);
        } else if (what == "director_projection") {
            matrix(l.projection);
        } else if (what == "director_eye") {
            words >> l.eye.x >> l.eye.y >> l.eye.z;
        } else if (what == "director_look") {
            words >> l.look.x >> l.look.y >> l.look.z;
        } else if (what == "director_pivot") {
            l.pivot.emplace();
            words >> l.pivot->x >> l.pivot->y >> l.pivot->z;
        } else if (what == "director_point") {
            std::getline(words >> std::ws, l.point);
        } else if (what == "selected_bar") {
            words >> l.selectedBar;
        } else if (what == "path") {
            std::string number, selected;
            std::size_t count = 0;
            words >> kind >> number >> selected >> count;
            std::vector<glm::vec3> samples(count);
            for (glm::vec3& p : samples)
                words >> p.x >> p.y >> p.z;
            if (words) l.paths.push_back({kind + " " + number, samples});
        }
    }
    return l;
}

// Two shots in a row alike: the paused picture as it stays.
inline image steady(const preview& p) {
    image shown = p.shot();
    waitFor([&] {
        const image again = p.shot();
        const bool same = again.width > 0 && differing(again, shown, 0) == 0;
        shown = again;
        return same;
    });
    return shown;
}

} // namespace e2e
