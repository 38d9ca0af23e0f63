#pragma once

#include <glm/glm.hpp>

#include "scene/scene.h"

// Clears and draws one frame of the scene at the clock's current time into the current
// framebuffer, without presenting it. True while at least one camera was active at that time.
bool drawFrame(scene* s, glm::mat4 model, glm::mat4 projection);
// The same, seen from viewer when there is one; the cameras are scheduled as ever, and the one
// that films goes to filming.
bool drawFrameFrom(scene* s, glm::mat4 model, glm::mat4 projection, const camera* viewer,
                   camera& filming);

// The frame-time line of the players: each second of their clock, the mean time of a frame in
// that second, as "N ms/frame" on standard output.
class frame_rate_line {
public:
    // Counting from `start` on the clock.
    explicit frame_rate_line(double start) : lastTime(start) {}
    // Counts a frame begun at `now`; prints the line when a second has passed.
    void tick(double now);

private:
    double lastTime;
    int nbFrames = 0;
};

// Draws one frame of the scene at the clock's current time, presents it and polls window
// events. True while at least one camera was active at that time.
bool renderScene(scene* s, glm::mat4 model, glm::mat4 projection);
