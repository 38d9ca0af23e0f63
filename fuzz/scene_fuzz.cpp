// Arbitrary text through the scene reader: groups, cameras and window, no assets.
#include <cstddef>
#include <cstdint>

#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    load_options options;
    options.load_assets = false;
    options.text = reinterpret_cast<const char*>(data);
    options.text_size = size;
    options.trace = nullptr;
    options.print_diagnostics = false;
    scene s("fuzz.xml", options);
    // Evaluate what was read, as the first frame would.
    for (camera& c : s.cameras)
        if (c.is_on_time(1.5)) c.position_update(1.5);
    for (group& g : s.groups)
        for (transform& t : g.transforms) {
            t.update(1.5);
            (void)t.apply(glm::mat4(1.0f), 1.5);
        }
    return 0;
}
