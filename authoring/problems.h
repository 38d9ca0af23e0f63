#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "scene/diagnostic.h"

// What the studio's problems panel lists: the errors that refused the last reload, then what
// the load and the checker found, each once, with its text as the terminal words it.
class problem_list {
public:
    // After a load: replaces the list.
    void loaded(const std::vector<diagnostic>& refusal, const std::vector<diagnostic>& found);
    // One more, found later (the music, once it is read); nothing when listed already.
    void add(const diagnostic& d);

    const std::vector<diagnostic>& items() const { return list; }
    const std::string& text(std::size_t i) const { return worded[i]; }
    // Changes whenever the list does: the panel opens on new problems and closes when a save
    // clears them.
    std::size_t signature() const { return sum; }

private:
    std::vector<diagnostic> list;
    std::vector<std::string> worded;
    std::size_t sum = 0;
};

// The finding for a music file that is missing or cannot be read, in a scene file at path.
diagnostic musicUnreadable(const std::string& path);
