# Shared by scripts/test and scripts/demo: install what is missing, then build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the build, the tests and the asset tools need, all from Debian 12.
PACKAGES=(
    cmake make g++ pkg-config clang-14 libclang-rt-14-dev
    libx11-dev libglfw3-dev libglew-dev libtinyxml2-dev libglm-dev libsdl2-mixer-dev
    libgtest-dev libbenchmark-dev libtinyobjloader-dev
    xvfb xauth xdotool procps libgl1-mesa-dri libegl-dev libegl-mesa0
    imagemagick sox vorbis-tools assimp-utils libnvtt-bin python3
    libpng-dev ffmpeg libxml2-utils libvorbis-dev libimgui-dev parallel
    dpkg-dev lintian help2man slurm-wlm munge strace libcli11-dev
)
# What scripts/web needs: Emscripten with its prebuilt system libraries, and the headers of GLM
# and CLI11.
WEB_PACKAGES=(cmake make python3 libglm-dev libcli11-dev emscripten)
# The web test's browser, on top of both.
BROWSER_PACKAGES=(chromium)

# install_missing [PACKAGE...]: those given, or PACKAGES.
install_missing() {
    local wanted=("$@")
    [ ${#wanted[@]} -eq 0 ] && wanted=("${PACKAGES[@]}")
    local missing=()
    local p
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# build DIR [cmake options...]
build() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

# Runs a command on the current display, or on a private Xvfb one when there is none.
with_display() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    fi
}
