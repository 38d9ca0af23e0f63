#pragma once

// Ending on SIGINT, SIGTERM and SIGHUP as a user expects of a program run from a shell: the
// signal is only noted, the program's own loop sees it, cleans up as on a normal end, then
// dies by the same signal, so that the shell sees status 130, 143 or 129.

// Installs the handlers. A second signal, or one while waitForKey waits, ends the process at
// once by that signal.
void watchStopSignals();

// A signal asked the program to stop.
bool stopRequested();

// Flushes standard output and error, restores the default action of the noted signal and
// raises it again. Returns only when no signal was noted.
void endByStopSignal();

// Waits for one character on standard input, as a start-up failure does; Ctrl+C still ends it.
void waitForKey();
