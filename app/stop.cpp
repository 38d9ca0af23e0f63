// Stopping on signals: see stop.h.
#include "app/stop.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t g_noted = 0;
volatile std::sig_atomic_t g_at_once = 0;

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void dieBy(int sig) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

extern "C" void note(int sig) {
    // Whoever presses Ctrl+C twice wants the program gone, clean-up or not.
    if (g_noted != 0 || g_at_once != 0)
        dieBy(sig);
    else
        g_noted = sig;
}

} // namespace

void watchStopSignals() {
    struct sigaction action {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes go on; the loops look at the flag between frames.
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        sigaction(sig, &action, nullptr);
}

bool stopRequested() {
    return g_noted != 0;
}

void endByStopSignal() {
    const int sig = g_noted;
    if (sig == 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    dieBy(sig);
    std::_Exit(128 + sig);
}

void waitForKey() {
    // A signal noted before the wait ends it at once too.
    g_at_once = 1;
    if (g_noted != 0) dieBy(g_noted);
    std::getchar();
    g_at_once = 0;
}
