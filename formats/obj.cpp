// OBJ reading: see obj.h. The text is cut into pieces that threads read side by side, each as if
// the text ended with it; the pieces are joined in file order and their faces resolved as they
// are joined. On one thread the pieces are read and joined in turn.
#include "formats/obj.h"
#include "formats/trace.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "formats/obj_file.h"
#include "formats/obj_number.h"
#include "formats/obj_scan.h"

namespace obj_reading {
namespace {

// Bytes of a file read before a piece's own, so that the record cut at the seam is usually
// there already when the piece is joined.
constexpr std::size_t kMargin = std::size_t(1) << 12;

// A piece of the text and its reading, in a slot that later pieces reuse with its room.
struct piece {
    std::size_t index = SIZE_MAX;   // the piece the slot holds
    std::size_t begin = 0, end = 0; // offsets in the text
    bool last = false;              // the text ends at `end`
    bool read = false;              // its reading is done and may be joined
    const char* bytes = nullptr;    // the text from offset `from`, `have` bytes of it
    std::size_t from = 0, have = 0;
    byte_room room;
    records got;
    std::size_t start = 0; // where its reading started
    std::size_t first = 0; // its first record, `end` if none
    scan_end how = scan_end::done;
    std::size_t at = 0; // the record it stopped at, for cut and bad_face

    bool holds(std::size_t a, std::size_t b) const { return a >= from && b <= from + have; }
    const char* ptr(std::size_t offset) const { return bytes + (offset - from); }
    std::size_t offset(const char* p) const { return from + std::size_t(p - bytes); }

    void readFrom(std::size_t offset_) {
        got.clear();
        start = offset_;
        const char* f = ptr(offset_);
        skipSpace(f, ptr(end));
        first = offset(f);
        const char* stopped = nullptr;
        how = scan(ptr(offset_), ptr(end), !last, ptr(end), got, stopped);
        at = how == scan_end::done ? end : offset(stopped);
    }
};

// The text as joined so far. A corner's entries are copied out as soon as its indices are in
// the lists (they cannot change later, as lists only grow); otherwise the corner waits in
// `later`, its slot filled at the end.
struct joined_text {
    struct pending {
        std::size_t slot;
        corner indices;
    };
    struct run_start { // where the records of one scan start, for the line of a failing face
        std::size_t faces, offset;
    };
    std::vector<glm::vec3> positions, normals, out_positions, out_normals;
    std::vector<glm::vec2> uvs, out_uvs;
    std::vector<pending> later;
    std::vector<run_start> starts;
    std::size_t faces = 0, faces_truncated = 0;

    void reserve(const text_density& d, std::size_t bytes) {
        positions.reserve(text_density::room(d.positions, bytes));
        uvs.reserve(text_density::room(d.uvs, bytes));
        normals.reserve(text_density::room(d.normals, bytes));
        const std::size_t corners = text_density::room(d.faces, bytes);
        out_positions.reserve(corners);
        out_uvs.reserve(corners);
        out_normals.reserve(corners);
    }

    bool inLists(const corner& c) const {
        return std::size_t(c.position - 1u) < positions.size() &&
               std::size_t(c.uv - 1u) < uvs.size() && std::size_t(c.normal - 1u) < normals.size();
    }

    void add(const records& r, std::size_t offset) {
        if (r.faces) starts.push_back({faces, offset});
        positions.insert(positions.end(), r.positions.begin(), r.positions.end());
        uvs.insert(uvs.end(), r.uvs.begin(), r.uvs.end());
        normals.insert(normals.end(), r.normals.begin(), r.normals.end());
        faces += r.faces;
        faces_truncated += r.faces_truncated;
        for (const corner& c : r.corners) {
            if (inLists(c)) {
                out_positions.push_back(positions[c.position - 1]);
                out_uvs.push_back(uvs[c.uv - 1]);
                out_normals.push_back(normals[c.normal - 1]);
            } else { // 0 and negative indices wrap to the largest and wait here too
                later.push_back({out_positions.size(), c});
                out_positions.emplace_back();
                out_uvs.emplace_back();
                out_normals.emplace_back();
            }
        }
    }

    // Fills the waiting corners; false, with the first corner whose indices are still outside
    // the lists in `bad`, when some cannot be filled.
    bool fillLater(std::size_t& bad) {
        for (const pending& w : later) {
            const corner& c = w.indices;
            if (!inLists(c)) {
                bad = w.slot;
                return false;
            }
            out_positions[w.slot] = positions[c.position - 1];
            out_uvs[w.slot] = uvs[c.uv - 1];
            out_normals[w.slot] = normals[c.normal - 1];
        }
        return true;
    }
};

// The line of face number `face` (from 0) of a text in memory: its run is read again.
std::size_t lineOfFace(const obj_text& text, const joined_text& joined, std::size_t face) {
    const auto after = std::upper_bound(
        joined.starts.begin(), joined.starts.end(), face,
        [](std::size_t f, const joined_text::run_start& s) { return f < s.faces; });
    if (after == joined.starts.begin()) return 0;
    const joined_text::run_start& s = after[-1];
    records finder;
    finder.find = face - s.faces;
    const char* at = nullptr;
    const char* const end = text.data + text.size;
    if (scan(text.data + s.offset, end, false, end, finder, at) != scan_end::found) return 0;
    return lineOf(text.data, at);
}

// Runs `work` on this thread and up to n - 1 others, and waits for all. Threads that cannot be
// started leave their share to the others.
template <class Work> void onThreads(unsigned n, Work work) {
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < n; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
}

class reading {
public:
    reading(const obj_text& text, std::size_t piece_size, unsigned threads, text_density density)
        : text(text), piece_size(piece_size), threads(threads), density(density),
          count(std::max<std::size_t>(1, (text.size + piece_size - 1) / piece_size)),
          // Pieces read ahead of the join wait, so that the room they take stays bounded.
          slots(threads == 1 ? 1 : 2 * std::size_t(threads)), end_piece(count) {
        joined.reserve(density, text.size);
    }

    // Reads and joins every piece; false at a face that fails (failed_at) or a read error
    // (io_error).
    bool run() {
        onThreads(unsigned(std::min<std::size_t>(threads, count)), [this] { work(); });
        return !io_error && failed_at == SIZE_MAX;
    }

    joined_text joined;
    std::size_t failed_at = SIZE_MAX; // the "f" word of a face that fails
    bool io_error = false;

private:
    void work() {
        for (;;) {
            const std::size_t k = next.fetch_add(1);
            if (k >= count) return;
            piece* pc = nullptr;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || k < joined_count + slots.size(); });
                if (stop || k >= end_piece) return;
                pc = &slots[k % slots.size()];
                pc->index = k;
                pc->read = false;
            }
            const bool ok = readPiece(*pc, k);
            std::unique_lock lock(mutex);
            if (!ok) {
                io_error = stop = true;
                changed.notify_all();
                return;
            }
            pc->read = true;
            if (pc->last) end_piece = std::min(end_piece, k + 1);
            if (!joining) joinReady(lock);
        }
    }

    // Reads piece k's bytes and the piece, from its first line start (the line before it most
    // likely ends a record of the piece before); false after a read error.
    bool readPiece(piece& pc, std::size_t k) {
        pc.begin = k * piece_size;
        pc.end = std::min(text.size, pc.begin + piece_size);
        pc.last = k + 1 == count;
        pc.from = text.data ? 0 : pc.begin - std::min(pc.begin, kMargin);
        const std::size_t to = text.data ? text.size : pc.end;
        pc.bytes = text.fetch(pc.from, to, pc.room, pc.have);
        if (!pc.bytes) return false;
        if (pc.from + pc.have < to) { // the file was cut short while it was read: it ends here
            pc.end = std::max(pc.begin, pc.from + pc.have);
            pc.last = true;
        }
        if (pc.got.corners.capacity() == 0) { // a slot's first piece: room for the rest too
            pc.got.positions.reserve(text_density::room(density.positions, piece_size));
            pc.got.uvs.reserve(text_density::room(density.uvs, piece_size));
            pc.got.normals.reserve(text_density::room(density.normals, piece_size));
            pc.got.corners.reserve(text_density::room(density.faces, piece_size));
        }
        std::size_t start = pc.begin;
        if (k > 0 && pc.holds(pc.begin, pc.end)) {
            const void* nl = std::memchr(pc.ptr(pc.begin), '\n', pc.end - pc.begin);
            start = nl ? pc.offset(static_cast<const char*>(nl)) + 1 : pc.end;
        } else if (k > 0) {
            start = pc.end;
        }
        pc.readFrom(start);
        return true;
    }

    // Joins the pieces read, in order, while the next one is ready; one thread at a time, the
    // others reading on meanwhile.
    void joinReady(std::unique_lock<std::mutex>& lock) {
        joining = true;
        while (!stop && joined_count < end_piece) {
            piece& pc = slots[joined_count % slots.size()];
            if (!pc.read || pc.index != joined_count) break;
            lock.unlock();
            join(pc);
            lock.lock();
            ++joined_count;
            io_error = io_error || read_failed;
            stop = finished || joined_count >= end_piece;
            changed.notify_all();
        }
        joining = false;
    }

    // The join reads on from where the pieces before ended, one record at a time, until it
    // meets the piece's first record, from which on the piece's own reading is the text's. If
    // it steps over that record instead, the piece is read again from where the join is.
    void join(piece& pc) {
        if (!pc.last && pc.end - position < need) return; // the join reads it when it goes on
        need = 0;
        const char* base = pc.bytes;
        std::size_t base_from = pc.from;
        if (!pc.holds(position, pc.end)) { // a record that began well before the piece
            std::size_t got = 0;
            base = text.fetch(position, pc.end, spill, got);
            base_from = position;
            if (!base) {
                read_failed = finished = true;
                return;
            }
            if (got < pc.end - position) { // the file was cut short: its text ends here
                pc.end = pc.first = position + got;
                pc.last = true;
            }
        }
        const auto ptr = [&](std::size_t o) { return base + (o - base_from); };
        seam.clear();
        const char* stopped = nullptr;
        const scan_end how =
            scan(ptr(position), ptr(pc.end), !pc.last, ptr(pc.first), seam, stopped);
        joined.add(seam, position);
        const std::size_t at = how == scan_end::done ? pc.end : base_from + (stopped - base);
        switch (how) {
        case scan_end::met:
            if (at != pc.first) pc.readFrom(at); // it stepped over the piece's first record
            joined.add(pc.got, pc.start);
            if (pc.how == scan_end::bad_face) return fail(pc.at);
            position = pc.how == scan_end::cut ? pc.at : pc.end;
            break;
        case scan_end::done: // the join read to the piece's end; its own reading is not the text's
            position = pc.end;
            break;
        case scan_end::cut: // a record runs on past the piece: a later seam reads it
            position = at;
            // Trying again only with twice the text keeps a record that runs over many pieces
            // (a number of a million digits) from being read again at each one.
            need = 2 * (pc.end - at);
            break;
        case scan_end::bad_face:
        case scan_end::found:
            return fail(at);
        }
        if (pc.last) finished = true;
    }

    void fail(std::size_t at) {
        failed_at = at;
        finished = true;
    }

    const obj_text& text;
    const std::size_t piece_size;
    const unsigned threads;
    const text_density density;
    const std::size_t count;
    std::vector<piece> slots;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    // Under the mutex:
    std::size_t joined_count = 0;
    std::size_t end_piece; // one past the piece where the text ends
    bool joining = false, stop = false;
    // The joining thread's:
    std::size_t position = 0; // where the join goes on
    std::size_t need = 0;     // bytes past it the join waits for before it reads on
    bool finished = false, read_failed = false;
    records seam;
    byte_room spill;
};

unsigned threadsFor(const obj_threads& t, std::size_t size) {
#ifdef __EMSCRIPTEN__
    (void)t, (void)size;
    return 1; // a page has no threads without headers that sites rarely send
#else
    if (t.piece == 0 && size < kObjThreadedFrom) return 1;
    unsigned n = t.threads;
    if (n == 0) n = std::max(1u, std::thread::hardware_concurrency());
    return std::min(n, kObjMaxThreads);
#endif
}

// Pieces small enough that the room a few of them take is soon reused, large enough that a
// seam costs nothing measurable, and at least eight per thread.
std::size_t pieceSizeFor(std::size_t size, unsigned threads, const obj_threads& t) {
    if (t.piece) return t.piece;
    return std::clamp<std::size_t>(size / (8 * std::size_t(threads)), std::size_t(1) << 16,
                                   std::size_t(1) << 20);
}

// The density of the text's lines, from its head and its tail.
text_density densityOf(const obj_text& text) {
    const std::size_t n = std::min(text.size, kDensitySample);
    byte_room head_room, tail_room;
    std::size_t head_got = 0, tail_got = 0;
    const char* head = text.fetch(0, n, head_room, head_got);
    const char* tail = text.fetch(text.size - n, text.size, tail_room, tail_got);
    if (!head || !tail) return {};
    return text_density::of(head, head_got, tail, tail_got);
}

// Appends `from` to `to`, which has room for it; an empty `to` just takes it over.
template <class T> void append(std::vector<T>& from, std::vector<T>& to) {
    if (to.empty())
        to.swap(from);
    else
        to.insert(to.end(), from.begin(), from.end());
}

// Extends the caller's lists with the corners read. Room is made in all three before any is
// extended, so that running out of memory leaves the caller's lists as they were.
void handOver(joined_text& j, std::vector<glm::vec3>& out_vertices, std::vector<glm::vec2>& out_uvs,
              std::vector<glm::vec3>& out_normals) {
    const std::size_t n = j.out_positions.size();
    if (!out_vertices.empty()) out_vertices.reserve(out_vertices.size() + n);
    if (!out_uvs.empty()) out_uvs.reserve(out_uvs.size() + n);
    if (!out_normals.empty()) out_normals.reserve(out_normals.size() + n);
    append(j.out_positions, out_vertices);
    append(j.out_uvs, out_uvs);
    append(j.out_normals, out_normals);
}

bool readText(const obj_text& text, const obj_threads& t, std::vector<glm::vec3>& out_vertices,
              std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
              obj_status& st) {
    const unsigned threads = threadsFor(t, text.size);
    reading r(text, pieceSizeFor(text.size, threads, t), threads, densityOf(text));
    const bool ok = r.run();
    st.faces = r.joined.faces;
    st.faces_truncated = r.joined.faces_truncated;
    if (r.io_error) {
        st.failure = obj_failure::open;
        return false;
    }
    // Lines are found only in text held in memory: a file's is gone by now.
    if (!ok) {
        st.failure = obj_failure::face_form;
        if (text.data) st.line = lineOf(text.data, text.data + r.failed_at);
        return false;
    }
    std::size_t bad = 0;
    if (!r.joined.fillLater(bad)) {
        st.failure = obj_failure::face_index;
        if (text.data) st.line = lineOfFace(text, r.joined, bad / 3);
        return false;
    }
    handOver(r.joined, out_vertices, out_uvs, out_normals);
    return true;
}

} // namespace
} // namespace obj_reading

bool loadOBJ(const char* path, std::vector<glm::vec3>& out_vertices,
             std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
             const obj_threads& threads, obj_status* found) {
    traceOut("Loading OBJ file %s...\n", path);
    std::FILE* in = std::fopen(path, "r");
    bool ok = false;
    obj_status local;
    obj_status& status = found ? *found : local;
    status = obj_status{};
    if (in) {
        const obj_reading::obj_text file = obj_reading::obj_text::ofFile(in);
        if (file.size) {
            ok = obj_reading::readText(file, threads, out_vertices, out_uvs, out_normals, status);
        } else { // a pipe or the like, or the web build's files: the bytes all in memory
            std::string bytes;
            char chunk[1 << 16];
            for (std::size_t n = 0; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
                bytes.append(chunk, n);
            if (std::ferror(in))
                status.failure = obj_failure::open;
            else
                ok = obj_reading::readText({bytes.data(), bytes.size()}, threads, out_vertices,
                                           out_uvs, out_normals, status);
        }
        std::fclose(in);
        if (status.failure != obj_failure::open) {
            if (!ok)
                traceOut("File can't be read by our simple parser :-( Try exporting with "
                         "other options\n");
            return ok;
        }
    }
    status.failure = obj_failure::open;
    traceOut("Impossible to open the file ! Are you in the right path ? See Tutorial 1 for "
             "details\n");
    std::fflush(stdout);
    return false;
}

bool parseOBJ(const char* data, std::size_t size, std::vector<glm::vec3>& out_vertices,
              std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
              obj_status* status, const obj_threads& threads) {
    obj_status local;
    obj_status& st = status ? *status : local;
    st = obj_status{};
    return obj_reading::readText({size ? data : "", size}, threads, out_vertices, out_uvs,
                                 out_normals, st);
}
