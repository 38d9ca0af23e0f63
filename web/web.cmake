# The player for web browsers, built with Emscripten: the same core, gpu, scene and frame sources
# as the native player, tinyxml2 9.0.0 from third_party/ (the version the native build links),
# and the browser's side of the platform layer (web/ and platform/). Writes kestrine.js and
# kestrine.wasm; scripts/web adds the page and the packed scene.

# GLM and CLI11 are headers only, and the host's: Emscripten may see their folders, never
# /usr/include itself, which would bring in the host's C library.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-include)
function(kestrine_host_headers folder header debian)
    if(NOT EXISTS /usr/include/${folder}/${header})
        message(FATAL_ERROR "/usr/include/${folder}/${header} not found (install ${debian})")
    endif()
    file(CREATE_LINK /usr/include/${folder} ${CMAKE_BINARY_DIR}/host-include/${folder} SYMBOLIC)
endfunction()
kestrine_host_headers(glm glm.hpp libglm-dev)
kestrine_host_headers(CLI CLI.hpp libcli11-dev)

# The loader reports scene errors by throwing.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

add_library(tinyxml2 STATIC third_party/tinyxml2/tinyxml2.cpp)
target_include_directories(tinyxml2 SYSTEM PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/third_party/tinyxml2)

# Offscreen targets and the preview panels' pictures serve the native programs only.
set(web_sources ${KESTRINE_CORE_SOURCES} ${KESTRINE_GPU_SOURCES} ${KESTRINE_SCENE_SOURCES}
                platform/draw_state.cpp platform/gl_target_web.cpp)
list(REMOVE_ITEM web_sources gpu/offscreen.cpp gpu/panel.cpp gpu/guides.cpp gpu/depth_probe.cpp)
add_executable(kestrine web/main.cpp app/frame.cpp app/offline.cpp ${web_sources})
target_include_directories(kestrine PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_include_directories(kestrine SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/host-include)
target_compile_definitions(kestrine PRIVATE GLM_FORCE_CTOR_INIT KESTRINE_VERSION="${PROJECT_VERSION}")
target_compile_options(kestrine PRIVATE -Wall -Wextra -Wpedantic)
target_link_libraries(kestrine PRIVATE tinyxml2)
set_target_properties(kestrine PROPERTIES SUFFIX .js)
target_link_options(kestrine PRIVATE
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web
    # The scene folder arrives as a packed file system of its own, after the build.
    -sFORCE_FILESYSTEM=1
    # The page writes a given scene into the file system, reads the music out of it, and starts
    # the player once the scene is there.
    -sEXPORTED_RUNTIME_METHODS=FS,callMain)
