// The player's sound engine: see audio.h.
#include "audio/audio.h"

#include <cstdio>

#include <dlfcn.h>

#include <SDL.h>
#include <SDL_mixer.h>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkBytes = 2048; // about 23 ms a buffer: small enough, yet no underruns

// The one line a failed start gets; the demo goes on without music.
void sayWhy(const char* path, const char* why) {
    if (path)
        std::fprintf(stderr, "%s: cannot play the music (%s): playing without music\n", path, why);
    else
        std::fprintf(stderr, "No sound device (%s): playing without music\n", why);
}

extern "C" void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints its own lines for every device it fails to open before SDL gets to say why;
// a user without a sound card should read only our one line. SDL loads the same library by
// name, so the handler set here is the one it uses.
void quietAlsa() {
    using handler = void (*)(const char*, int, const char*, int, const char*, ...);
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;
    auto set = reinterpret_cast<int (*)(handler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set) set(ignoreAlsaError);
}

} // namespace

audio_engine::audio_engine() {
    // Left to itself SDL turns SIGINT and SIGTERM into events that nothing reads, and Ctrl+C
    // would do nothing; the programs handle them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    quietAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        sayWhy(nullptr, SDL_GetError());
        return;
    }
    subsystem = true;
    // Decoders are loaded on first use anyway; asking now only moves that cost to start-up.
    Mix_Init(MIX_INIT_OGG);
    if (Mix_OpenAudio(kRate, MIX_DEFAULT_FORMAT, kChannels, kChunkBytes) != 0) {
        sayWhy(nullptr, Mix_GetError());
        return;
    }
    opened = true;
}

audio_engine::~audio_engine() {
    if (music) {
        Mix_HaltMusic();
        Mix_FreeMusic(music);
    }
    if (opened) Mix_CloseAudio();
    if (subsystem) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool audio_engine::play2D(const char* path) {
    if (!opened || !path) return false;
    Mix_Music* next = Mix_LoadMUS(path);
    if (!next) {
        sayWhy(path, Mix_GetError());
        return false;
    }
    // Halting first keeps Mix_PlayMusic from waiting out a fade of the old music.
    Mix_HaltMusic();
    if (music) Mix_FreeMusic(music);
    music = next;
    paused = false;
    if (Mix_PlayMusic(music, 0) != 0) {
        sayWhy(path, Mix_GetError());
        return false;
    }
    return true;
}

void audio_engine::pause() {
    if (!opened || !music) return;
    Mix_PauseMusic();
    paused = true;
}

void audio_engine::resume() {
    if (!opened || !music) return;
    Mix_ResumeMusic();
    paused = false;
}

bool audio_engine::seek(double seconds) {
    if (!opened || !music) return false;
    const double length = Mix_MusicDuration(music);
    if (length > 0.0 && seconds >= length) {
        // Nothing left to hear from there; a later seek back starts it again.
        Mix_HaltMusic();
        return true;
    }
    // Music that ran out has to be started before it can be moved.
    if (!Mix_PlayingMusic() && Mix_PlayMusic(music, 0) != 0) return false;
    if (paused) Mix_PauseMusic(); // starting it again resumed it
    return Mix_SetMusicPosition(seconds < 0.0 ? 0.0 : seconds) == 0;
}

double audio_engine::position() const {
    if (!opened || !music || !Mix_PlayingMusic()) return -1.0;
    return Mix_GetMusicPosition(music);
}
