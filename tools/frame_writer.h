#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/png.h"

// Frames written on threads of their own while the next frames draw. With one thread the frames
// are written in the order given (a video's pipe); with more, side by side (PNG files). At most
// `queued` frames wait, so memory stays bounded and a slow writer slows the drawing.
class frame_writer {
public:
    // Writes one frame; false with the reason.
    using write_fn = std::function<bool(long k, const rgb_image& frame, std::string& why)>;

    frame_writer(int threads, std::size_t queued, write_fn write);
    // Waits for the frames still queued.
    ~frame_writer();
    frame_writer(const frame_writer&) = delete;
    frame_writer& operator=(const frame_writer&) = delete;

    // Queues a copy of frame k; false once a write has failed.
    bool push(long k, const rgb_image& frame);
    // Waits until every queued frame is written; false with the first failure's reason.
    bool finish(std::string& why);
    // Called, with the queue locked, each time push starts waiting for room: lets a test
    // make a write fail exactly while the capture waits.
    void whenFull(std::function<void()> waiting_for_room);

private:
    void work();

    write_fn write;
    std::size_t limit;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::pair<long, rgb_image>> waiting;
    bool closing = false;
    std::string failure; // the first write that failed, empty while none has
    std::function<void()> full;
    std::vector<std::thread> workers;
};
