# The player for web browsers, built with Emscripten: the same core, gpu, scene and frame sources
# as the native player, tinyxml2 9.0.0 from third_party/ (the version the native build links),
# and the browser's side of the platform layer (web/ and platform/). Writes kestrine.js and
# kestrine.wasm; scripts/web adds the page and the packed scene.

# GLM is headers only, and the host's: Emscripten may see its folder, never /usr/include itself,
# which would bring in the host's C library.
set(KESTRINE_GLM_DIR /usr/include/glm CACHE PATH "GLM's header folder")
if(NOT EXISTS ${KESTRINE_GLM_DIR}/glm.hpp)
    message(FATAL_ERROR "GLM not found at ${KESTRINE_GLM_DIR} (install libglm-dev)")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/glm-include)
file(CREATE_LINK ${KESTRINE_GLM_DIR} ${CMAKE_BINARY_DIR}/glm-include/glm SYMBOLIC)

# The loader reports scene errors by throwing.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

add_library(tinyxml2 STATIC third_party/tinyxml2/tinyxml2.cpp)
target_include_directories(tinyxml2 SYSTEM PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/third_party/tinyxml2)
# Offscreen targets, program checks and the preview panels' pictures serve the native programs only.
# Offscreen targets and program checks serve the native tools only.
set(web_sources ${KESTRINE_CORE_SOURCES} ${KESTRINE_GPU_SOURCES} ${KESTRINE_SCENE_SOURCES}
                platform/draw_state.cpp platform/gl_target_web.cpp)
list(REMOVE_ITEM web_sources gpu/offscreen.cpp gpu/program_check.cpp gpu/panel.cpp)
add_executable(kestrine web/main.cpp app/frame.cpp app/offline.cpp ${web_sources})
target_include_directories(kestrine PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_include_directories(kestrine SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/glm-include)
target_compile_definitions(kestrine PRIVATE GLM_FORCE_CTOR_INIT)
target_compile_options(kestrine PRIVATE -Wall -Wextra -Wpedantic)
target_link_libraries(kestrine PRIVATE tinyxml2)
set_target_properties(kestrine PROPERTIES SUFFIX .js)
target_link_options(kestrine PRIVATE
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
    # The scene folder arrives as a packed file system of its own, after the build.
    -sFORCE_FILESYSTEM=1
    -sALLOW_MEMORY_GROWTH=1
    -sENVIRONMENT=web
    # The page writes a given scene into the file system, reads the music out of it, and starts
    # the player once the scene is there.
    -sEXPORTED_RUNTIME_METHODS=FS,callMain)
