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

bool frame_writer::push(long k, const rgb_image& frame) {
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [&] { return waiting.size() < limit || !failure.empty(); });
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
        changed.wait(held, [&] { return !waiting.empty() || closing; });
        if (!failure.empty()) waiting.clear(); // one failure ends the writing
        if (waiting.empty()) return;
        std::pair<long, rgb_image> next = std::move(waiting.front());
        waiting.pop_front();
        changed.notify_all();
        held.unlock();
        std::string why;
        const bool written = write(next.first, next.second, why);
        held.lock();
        if (!written && failure.empty()) failure = why.empty() ? "write failed" : why;
    }
}
