// Decoding the music into peaks: see music_peaks.h.
#include "studio/music_peaks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <vorbis/vorbisfile.h>

music_peaks::music_peaks(std::string file) : path(std::move(file)) {
    worker = std::thread([this] { decode(); });
}

music_peaks::~music_peaks() {
    stopping = true;
    worker.join();
}

float music_peaks::peak(double a, double b) const {
    if (status() != ready || bins.empty()) return 0.0f;
    const double last = double(bins.size());
    const double from = std::clamp(std::floor(a * kBinsPerSecond), 0.0, last);
    const double to = std::clamp(std::ceil(b * kBinsPerSecond), from + 1.0, last);
    float loudest = 0.0f;
    for (std::size_t i = std::size_t(from); i < std::size_t(to); ++i)
        loudest = std::max(loudest, bins[i]);
    return loudest;
}

void music_peaks::decode() {
    const auto fail = [this](const char* what) {
        why = path + what;
        state.store(unreadable, std::memory_order_release);
    };
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0)
        return fail(" cannot be read as Ogg Vorbis: no waveform");
    const vorbis_info* info = ov_info(&file, -1);
    const long rate = info ? info->rate : 0;
    const int channels = info ? info->channels : 0;
    std::vector<float> found;
    bool broken = rate <= 0 || channels <= 0;
    long long frames = 0; // samples per channel so far
    short samples[8192];
    int section = 0;
    while (!broken && !stopping) {
        const long got =
            ov_read(&file, reinterpret_cast<char*>(samples), sizeof samples, 0, 2, 1, &section);
        // A hole in the stream is skipped; the rest still draws.
        if (got == OV_HOLE) continue;
        if (got < 0) broken = true;
        if (got <= 0) break;
        for (long i = 0; i < got / 2; ++i) {
            const std::size_t bin = std::size_t(frames * kBinsPerSecond / rate);
            if (bin >= found.size()) found.resize(bin + 1, 0.0f);
            found[bin] = std::max(found[bin], std::abs(float(samples[i])) / 32768.0f);
            if ((i + 1) % channels == 0) ++frames;
        }
    }
    ov_clear(&file);
    if (stopping) return;
    if (broken || frames == 0) return fail(" cannot be decoded: no waveform");
    bins = std::move(found);
    length = double(frames) / double(rate);
    state.store(ready, std::memory_order_release);
}
