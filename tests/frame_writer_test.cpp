// A write that fails while the capture waits for room in the full queue ends the capture: the
// waiting push hears of it, with one writer thread and with two.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <latch>
#include <mutex>
#include <set>

#include <gtest/gtest.h>

#include "tools/frame_writer.h"

namespace {

// What a waiting call is given before the test is declared hung rather than slow.
constexpr std::chrono::seconds kDeadline{60};

} // namespace

TEST(FrameWriter, AFailureWhileTheQueueIsFullWakesTheCapture) {
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        constexpr std::size_t kQueued = 2;
        std::latch busy(threads); // every writer is inside a write
        std::latch release(1);    // the capture waits for room
        std::latch failed(1);     // the capture has heard of the failure
        std::atomic<bool> waited{false};
        std::mutex seen_lock;
        std::set<long> seen;
        frame_writer writer(threads, kQueued, [&](long k, const rgb_image&, std::string& why) {
            {
                std::lock_guard<std::mutex> held(seen_lock);
                seen.insert(k);
            }
            if (k >= threads) return true;
            busy.count_down();
            // Frame 0 fails; the other writer is still busy then, and ends its write after.
            (k == 0 ? release : failed).wait();
            if (k != 0) return true;
            why = "no space left";
            return false;
        });
        writer.whenFull([&] {
            if (!waited.exchange(true)) release.count_down();
        });

        rgb_image frame;
        frame.width = frame.height = 1;
        frame.pixels.assign(3, 0);
        long k = 0;
        for (; k < threads; ++k)
            ASSERT_TRUE(writer.push(k, frame));
        busy.wait();
        for (std::size_t i = 0; i < kQueued; ++i, ++k)
            ASSERT_TRUE(writer.push(k, frame));

        // The queue is full: this push waits, and frame 0 fails while it does.
        auto pushed = std::async(std::launch::async, [&] { return writer.push(k, frame); });
        if (pushed.wait_for(kDeadline) != std::future_status::ready) {
            std::fprintf(stderr, "the capture still waits for room after a failed write\n");
            std::_Exit(1); // the writer's threads cannot be joined
        }
        EXPECT_TRUE(waited);
        EXPECT_FALSE(pushed.get());
        failed.count_down();
        EXPECT_FALSE(writer.push(k + 1, frame));
        std::string why;
        EXPECT_FALSE(writer.finish(why));
        EXPECT_EQ(why, "no space left");
        // Nothing queued behind the failure was written.
        std::set<long> held;
        for (long i = 0; i < threads; ++i)
            held.insert(i);
        EXPECT_EQ(seen, held);
    }
}
