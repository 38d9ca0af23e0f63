#pragma once

// The demo's music: always this file, relative to the working directory, as the player plays it.
inline constexpr const char* kMusicFile = "Music/evil-2005.ogg";
