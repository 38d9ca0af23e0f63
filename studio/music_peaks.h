#pragma once
#include <atomic>
#include <string>
#include <thread>
#include <vector>

// The music's loudness over time for the timeline's waveform, decoded once on a thread of its
// own so that the window opens at once and the lane fills in when the peaks are ready.
class music_peaks {
public:
    enum status_type { decoding, ready, unreadable };
    static constexpr int kBinsPerSecond = 200; // finer than a column at any useful zoom

    // Starts decoding the Ogg Vorbis file at path.
    explicit music_peaks(std::string path);
    // Stops the decoding early if it still runs.
    ~music_peaks();
    music_peaks(const music_peaks&) = delete;
    music_peaks& operator=(const music_peaks&) = delete;

    status_type status() const { return state.load(std::memory_order_acquire); }
    // Why the file gives no waveform, once unreadable: "Music/evil-2005.ogg cannot be read".
    const std::string& note() const { return why; }
    // Once ready: the music's length in seconds, and its loudest sample from a to b seconds,
    // 0 to 1 (0 outside the music).
    double seconds() const { return length; }
    float peak(double a, double b) const;

private:
    void decode();

    std::string path;
    std::vector<float> bins; // the loudest sample of each 1/kBinsPerSecond s
    double length = 0.0;
    std::string why;
    std::atomic<status_type> state{decoding};
    std::atomic<bool> stopping{false};
    std::thread worker;
};
