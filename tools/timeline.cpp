// The player's timeline: see timeline.h.
#include "tools/timeline.h"

#include <algorithm>

#include "app/playhead.h"

timeline cameraTimeline(const std::vector<camera>& cameras) {
    timeline tl;
    std::vector<camera_gap> windows; // start and end of the windows that can film
    for (const camera& c : cameras) {
        if (c.start == c.end)
            tl.endless = true;
        else if (c.start < c.end)
            windows.push_back({c.start, c.end});
    }
    std::sort(windows.begin(), windows.end(),
              [](const camera_gap& a, const camera_gap& b) { return a.from < b.from; });

    // Windows are inclusive, so one ending at 8 and one starting at 8 leave no gap.
    double covered = 0.0;
    bool any = false;
    for (const camera_gap& w : windows) {
        if (!any) {
            any = true;
            if (w.from > 0.0) tl.gaps.push_back({0.0, w.from});
            covered = w.to;
            continue;
        }
        if (w.from > covered) tl.gaps.push_back({covered, w.from});
        covered = std::max(covered, w.to);
    }
    tl.filmed = tl.endless || (any && windows.front().from <= 0.0);
    if (tl.endless) tl.gaps.clear();
    if (tl.filmed && !tl.endless) {
        tl.end = tl.gaps.empty() ? covered : tl.gaps.front().from;
    }

    // The filming camera can only change where a window starts or just after one ends, so it
    // is looked at on those times and between them; never second by second, since a window
    // may end after billions of seconds.
    double last = tl.end;
    std::vector<double> events{0.0};
    for (const camera_gap& w : windows) {
        events.push_back(w.from);
        events.push_back(w.to);
        if (tl.endless) last = std::max(last, w.to);
    }
    std::sort(events.begin(), events.end());
    events.erase(std::unique(events.begin(), events.end()), events.end());
    if (tl.filmed) {
        int previous = filmingCamera(cameras, 0.0);
        for (std::size_t i = 0; i < events.size() && events[i] <= last; ++i) {
            const double next = i + 1 < events.size() ? events[i + 1] : events[i] + 1.0;
            for (double t : {events[i], (events[i] + next) / 2.0}) {
                if (t > last) break;
                const int now = filmingCamera(cameras, t);
                // Just after a window ends, the change is taken to be at its end.
                if (now != previous) tl.cuts.push_back(events[i]);
                previous = now;
            }
        }
    }
    return tl;
}
