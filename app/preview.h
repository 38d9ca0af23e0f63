#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/playhead.h"
#include "scene/diagnostic.h"

struct GLFWwindow;
class camera;
class scene;

// What the preview's command line asks for:
// kestrine-preview SCENE.xml [--at SECONDS] [--loop A:B] [--size WxH] [--no-overlay]
struct preview_options {
    std::string scene;
    double at = 0.0;                // scene time to start from
    std::optional<section> loop;    // looped from the start when given
    int width = 1280, height = 720; // window size
    bool overlay = true; // the studio's panels, shown at the start (--no-overlay: hidden)
    bool trace = false;  // the loading trace on standard output (--trace)
};

// Reads the arguments after the program name into out. Returns an empty string, or a
// one-line reason naming the argument that is wrong.
std::string parsePreviewArgs(int argc, const char* const* argv, preview_options& out);

// What the preview shows an overlay with each frame.
struct preview_view {
    double time = 0.0; // the scene time of the frame under the overlay
    int camera = -1;   // the filming camera's index, or -1
    bool paused = false;
    bool director = false; // drawn from the overlay's viewer, not the filming camera
    std::optional<section> loop;
    double frame_ms = 0.0;   // drawing the scene, per frame, over the last second
    double reload_ms = -1.0; // how long the last load took; below 0 before the first
};

// What an overlay asks of the preview after a frame: applied before the next frame, through
// the same calls as the keys.
struct preview_requests {
    std::optional<double> seek;
    std::optional<section> loop;
    bool hold = false;    // the playhead is held under the pointer: pause until released
    bool release = false; // the hold ends: play on if playing before it
    bool snippet = false; // let a moment of the music at the seek be heard (scrubbing)
    bool reread = false;  // the overlay wrote the scene file: look at it now
};

// Panels drawn over the preview's frames, after each frame is copied into the window. The
// preview's own library knows nothing of how they are drawn.
class preview_overlay {
public:
    virtual ~preview_overlay() = default;
    // The window is open and current; its key callback is set. shown: start visible.
    virtual void attach(GLFWwindow* window, bool shown) = 0;
    virtual void toggle() = 0; // Tab
    virtual bool visible() const = 0;
    // After each load of the scene file: the scene now playing, what the load and the checker
    // found in the file as it was read, and when a reload was refused, the errors that refused
    // it (its load error, programs that do not compile or link, assets it could not use).
    // The overlay may change the scene's records, to show an edit before the file says it.
    virtual void loaded(const std::string& path, scene& playing,
                        const std::vector<diagnostic>& found,
                        const std::vector<diagnostic>& refusal) = 0;
    // Rows at the bottom of a window of that height that the next draw() paints over whole (0
    // when hidden): the frame is shown whole, scaled to fit the rows above them.
    virtual int covers(int /*height*/) { return 0; }
    virtual preview_requests draw(const preview_view& view) = 0;
    // Every key event (the window library's key, action and modifiers), before the preview's:
    // true when the overlay takes it (a field of its has the focus).
    virtual bool key(int /*key*/, int /*action*/, int /*mods*/) { return false; }
    // A key press the preview itself does not use.
    virtual void otherKey(int /*key*/, int /*mods*/) {}
    // The camera the picture is drawn from instead of the filming one, or none.
    virtual const camera* viewer() const { return nullptr; }
    // Draws over the scene's picture before it is copied in; filming: the camera that films it
    // at that time. The milliseconds it took, or below 0 when it drew nothing.
    virtual double overPicture(const scene&, const camera& /*filming*/, double /*time*/) {
        return -1.0;
    }
    // Before the window goes, with its context current.
    virtual void detach() = 0;
};

// The authoring preview: the scene in a resizable window with its music, from any second, with
// pause, seeks, looping and reloading when its files change. Returns the process status: 0
// after Escape or closing the window, 1 when the scene or the window can't be opened, 2 on a
// wrong command line.
// With an overlay, it is drawn over each frame.
int runPreview(int argc, char** argv, preview_overlay* overlay = nullptr);
