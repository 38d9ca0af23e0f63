#pragma once
#include <string>

struct _Mix_Music;

// The player's one sound engine: SDL's audio subsystem and SDL_mixer, playing one music file
// at a time on SDL's own audio thread. Without a sound device it stays silent; nothing in it
// throws, blocks or ends the process.
class audio_engine {
public:
    // Opens the default sound device; on failure prints one line on standard error and leaves
    // the engine silent (ok() is false).
    audio_engine();
    // Stops the music, frees it, closes the device and quits the audio subsystem.
    ~audio_engine();
    audio_engine(const audio_engine&) = delete;
    audio_engine& operator=(const audio_engine&) = delete;

    // Starts the file once, not looped, replacing any music already playing. A file that
    // can't be opened or decoded gives one line on standard error naming it, and false; with
    // no device it is a silent no-op that returns false.
    bool play2D(const char* path);

    // Pause and resume the music where it is; no-ops without a device or music.
    void pause();
    void resume();
    // Moves the music to `seconds` from its start, starting it again if it had ended and
    // keeping it paused if it was. Past its end it stays silent. False without a device or
    // music, or when the stream cannot seek.
    bool seek(double seconds);
    // Seconds from the start of the music, or -1 when nothing plays or the format can't tell.
    double position() const;

    // A sound device was opened.
    bool ok() const { return opened; }

private:
    bool subsystem = false;      // SDL_InitSubSystem(SDL_INIT_AUDIO) succeeded
    bool opened = false;         // Mix_OpenAudio succeeded
    _Mix_Music* music = nullptr; // the file now playing, owned
    bool paused = false;
};
