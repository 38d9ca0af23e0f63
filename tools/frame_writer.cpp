// Writing frames on threads of their own: see frame_writer.h.
#include "tools/frame_writer.h"

frame_writer::frame_writer(int threads, std::size_t queued, write_fn write)
    : write(std::move(write)), limit(queued) {
    for (int i = 0; i < threads; ++i)
        workers.emplace_back([this] { work(); });
}

frame_writer::~frame_writer() {
    std::string ignored;
    finish(ignored);
}

void frame_writer::whenFull(std::function<void()> waiting_for_room) {
    std::lock_guard<std::mutex> held(lock);
    full = std::move(waiting_for_room);
}

bool frame_writer::push(long k, const rgb_image& frame) {
    std::unique_lock<std::mutex> held(lock);
    while (waiting.size() >= limit && failure.empty()) {
        if (full) full();
        changed.wait(held);
    }
    if (!failure.empty()) return false;
    waiting.emplace_back(k, frame);
    changed.notify_all();
    return true;
}

bool frame_writer::finish(std::string& why) {
    {
        std::lock_guard<std::mutex> held(lock);
        closing = true;
    }
    changed.notify_all();
    for (std::thread& t : workers)
        if (t.joinable()) t.join();
    why = failure;
    return failure.empty();
}

void frame_writer::work() {
    std::unique_lock<std::mutex> held(lock);
    for (;;) {
        changed.wait(held, [&] { return !waiting.empty() || closing || !failure.empty(); });
        if (!failure.empty() || waiting.empty()) return;
        std::pair<long, rgb_image> next = std::move(waiting.front());
        waiting.pop_front();
        changed.notify_all();
        held.unlock();
        std::string why;
        const bool written = write(next.first, next.second, why);
        held.lock();
        if (!written && failure.empty()) {
            // One failure ends the writing. The capture may be waiting for room, and the other
            // writers for frames: each must hear of it, or it waits for good.
            failure = why.empty() ? "write failed" : why;
            waiting.clear();
            changed.notify_all();
        }
    }
}
