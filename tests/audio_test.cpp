// Tests of the sound engine: see audio/audio.h.
#include "audio/audio.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope; SDL reads its driver choice when the engine
// opens the audio subsystem.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (previous)
            setenv(name, previous->c_str(), 1);
        else
            unsetenv(name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name;
    std::optional<std::string> previous;
};

// Per-test scratch folder holding a one-second 440 Hz stereo OGG made by sox, and the
// SDL disk driver set to write what it plays into out.raw there.
class AudioEngine : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestrine-audio-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        sine = dir / "sine.ogg";
        const std::string make =
            "sox -q -n -r 44100 -c 2 '" + sine.string() + "' synth 1 sine 440 vol 0.5";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        driver.emplace("SDL_AUDIODRIVER", "disk");
        diskFile.emplace("SDL_DISKAUDIOFILE", (dir / "out.raw").string());
    }
    void TearDown() override {
        diskFile.reset();
        driver.reset();
        fs::remove_all(dir);
    }

    std::vector<std::int16_t> played() const {
        std::ifstream in(dir / "out.raw", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    fs::path dir;
    fs::path sine;
    std::optional<ScopedEnv> driver;
    std::optional<ScopedEnv> diskFile;
};

constexpr int kRate = 44100;

// Index of the first sample louder than a dither's worth, or size() when all are quiet.
std::size_t firstSound(const std::vector<std::int16_t>& s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::abs(s[i]) > 64) return i;
    return s.size();
}

int lineCount(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

TEST_F(AudioEngine, PlaysOggThroughTheSoundDevice) {
    std::vector<std::int16_t> s;
    const std::size_t halfSecond = kRate; // stereo: two samples a frame
    {
        audio_engine engine;
        ASSERT_TRUE(engine.ok());
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(engine.play2D(sine.c_str()));
        // The disk driver writes at about real time; wait for half a second of the tone.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            s = played();
        } while (s.size() - std::min(firstSound(s), s.size()) < halfSecond &&
                 std::chrono::steady_clock::now() < deadline);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
    const std::size_t from = firstSound(s);
    ASSERT_GE(s.size() - std::min(from, s.size()), halfSecond) << "no tone reached the device";

    // Decoded, not noise: both channels loud, and the left one crosses zero 880 times a second.
    int peakLeft = 0;
    int peakRight = 0;
    int crossings = 0;
    for (std::size_t i = from; i + 2 < from + halfSecond; i += 2) {
        peakLeft = std::max(peakLeft, std::abs(int{s[i]}));
        peakRight = std::max(peakRight, std::abs(int{s[i + 1]}));
        crossings += (s[i] < 0) != (s[i + 2] < 0);
    }
    EXPECT_GT(peakLeft, 8000);
    EXPECT_GT(peakRight, 8000);
    EXPECT_NEAR(crossings, 440, 20); // half a second of 440 Hz
}

TEST_F(AudioEngine, ReportsEachUnplayableFileInOneLineNamingIt) {
    std::string ogg;
    {
        std::ifstream in(sine, std::ios::binary);
        ogg.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(ogg.size(), 4000u);
    struct Case {
        const char* name;
        std::optional<std::string> bytes; // none: the file does not exist
    };
    const Case cases[] = {
        {"missing.ogg", std::nullopt},
        {"empty.ogg", std::string()},
        {"text.ogg", std::string("not music at all\n")},
        {"headers-only.ogg", ogg.substr(0, 3000)},
        {"half.ogg", ogg.substr(0, ogg.size() / 2)},
        {"garbage-after-magic.ogg", std::string("OggS") + std::string(5000, '\xff')},
    };
    audio_engine engine;
    ASSERT_TRUE(engine.ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        if (c.bytes) std::ofstream(path, std::ios::binary) << *c.bytes;
        ::testing::internal::CaptureStderr();
        const bool started = engine.play2D(path.c_str());
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(started);
        EXPECT_EQ(lineCount(err), 1) << err;
        EXPECT_NE(err.find(path.string()), std::string::npos) << err;
    }
    EXPECT_FALSE(engine.play2D(nullptr));
    // The failures left the engine able to play.
    EXPECT_TRUE(engine.play2D(sine.c_str()));
}

TEST_F(AudioEngine, ReplacesTheMusicAlreadyPlaying) {
    audio_engine engine;
    ASSERT_TRUE(engine.ok());
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(engine.play2D(sine.c_str()));
    EXPECT_TRUE(engine.play2D(sine.c_str()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
} // the leak checker sees the first music freed

TEST_F(AudioEngine, SeekMovesThePositionAndRestartsMusicThatEnded) {
    audio_engine engine;
    ASSERT_TRUE(engine.ok());
    ASSERT_TRUE(engine.play2D(sine.c_str()));
    EXPECT_TRUE(engine.seek(0.5));
    EXPECT_NEAR(engine.position(), 0.5, 0.05);

    // Past the end of the one-second file: silent, nothing playing.
    EXPECT_TRUE(engine.seek(3.0));
    EXPECT_EQ(engine.position(), -1.0);
    // Back inside: playing again from there.
    EXPECT_TRUE(engine.seek(0.25));
    EXPECT_NEAR(engine.position(), 0.25, 0.05);
}

TEST_F(AudioEngine, PausedMusicStaysWhereItIsThroughSeeks) {
    audio_engine engine;
    ASSERT_TRUE(engine.ok());
    ASSERT_TRUE(engine.play2D(sine.c_str()));
    engine.pause();
    EXPECT_TRUE(engine.seek(0.5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NEAR(engine.position(), 0.5, 0.05);
    // Starting it again after its end keeps it paused as well.
    EXPECT_TRUE(engine.seek(5.0));
    EXPECT_TRUE(engine.seek(0.5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NEAR(engine.position(), 0.5, 0.05);

    engine.resume();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (engine.position() < 0.6 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(engine.position(), 0.6);
}

TEST_F(AudioEngine, WithoutADeviceSaysSoOnceAndStaysSilent) {
    ScopedEnv none("SDL_AUDIODRIVER", "nonexistent");
    ::testing::internal::CaptureStderr();
    {
        audio_engine engine;
        EXPECT_FALSE(engine.ok());
        EXPECT_FALSE(engine.play2D(sine.c_str()));
        EXPECT_FALSE(engine.play2D((dir / "missing.ogg").c_str()));
        engine.pause();
        engine.resume();
        EXPECT_FALSE(engine.seek(1.0));
        EXPECT_EQ(engine.position(), -1.0);
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(err), 1) << err;
    EXPECT_NE(err.find("nonexistent"), std::string::npos) << err; // SDL's reason is passed on
}

} // namespace
