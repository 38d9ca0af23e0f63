#pragma once

class scene;

// Scene time of frame k at `fps` frames a second: k / fps, computed the same way for every frame
// so that a capture split at any frame meets the whole one exactly, and the web page's held
// frames meet the capture's.
double frameTime(long k, int fps);

// Scene time of sub-frame j (0 to subframes - 1) of frame k for a shutter open `shutter` of a
// frame interval, ending at the frame's own time: (k - shutter * (subframes - 1 - j) /
// subframes) / fps, and 0 where that is before 0. Written so that sub-frames meet the frames
// of a capture at subframes * fps wherever the shutter's steps are exact in binary.
double subFrameTime(long k, int fps, int j, int subframes, double shutter);

// Puts the scene's kept state where the player has it just before drawing frame k at `fps`:
// after frame k - 1, or as loaded for frame 0.
void prepareFrame(scene& s, long k, int fps);

// Puts the state that the scene keeps between frames (moving cameras, curve translations,
// timed rotations) where the player would have it right after drawing a frame at time
// `previous`, so that the next frame drawn after a jump in time matches uninterrupted
// playback. Cameras not active at `previous` go back to their never-updated state: a
// camera's window is one stretch of time, so the next frame is then its first, or it is never
// seen again. Capture and preview use this; the player never jumps.
void advanceTo(scene& s, double previous);

// Puts moving cameras back in the state their constructor leaves, as before any frame: what a
// jump to the very start needs, when there is no frame before.
void rewind(scene& s);
