// The problems panel's list: see problems.h.
#include "authoring/problems.h"

#include <algorithm>
#include <functional>

#include "platform/music.h"

void problem_list::loaded(const std::vector<diagnostic>& refusal,
                          const std::vector<diagnostic>& found) {
    list.clear();
    worded.clear();
    sum = 0;
    for (const std::vector<diagnostic>* ds : {&refusal, &found})
        for (const diagnostic& d : *ds)
            add(d);
}

void problem_list::add(const diagnostic& d) {
    std::string text = wordDiagnostic(d);
    if (std::find(worded.begin(), worded.end(), text) != worded.end()) return;
    sum = sum * 31 + std::hash<std::string>()(text) + 1;
    list.push_back(d);
    worded.push_back(std::move(text));
}

diagnostic musicUnreadable(const std::string& path) {
    // The file as a whole, at a line an editor can go to.
    return {.at = {path, 1, 0}, .element = "music",
            .what = "\"" + std::string(kMusicFile) + "\" is missing or cannot be read as Ogg Vorbis",
            .effect = "the player plays without music"};
}
