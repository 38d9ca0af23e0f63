#!/usr/bin/env bash
# The core configures and builds with the GL, window, sound and PNG packages hidden from CMake,
# and a full configure without one of them stops and names the Debian package to install.
# usage: core_only_test.sh SOURCE_ROOT SCRATCH_DIR
set -euo pipefail
src="$1"
scratch="$2"
rm -rf "$scratch"
mkdir -p "$scratch"
hidden=()
for p in OpenGL glfw3 GLEW SDL2 SDL2_mixer PNG tinyxml2 PkgConfig CLI11; do
    hidden+=("-DCMAKE_DISABLE_FIND_PACKAGE_$p=ON")
done

cmake -S "$src" -B "$scratch/core" -DKESTRINE_CORE_ONLY=ON "${hidden[@]}" >"$scratch/core.log" 2>&1 ||
    { cat "$scratch/core.log"; echo "FAIL: the core-only configure needs a hidden package"; exit 1; }
cmake --build "$scratch/core" --target kestrine_core -j2 >>"$scratch/core.log" 2>&1 ||
    { tail -40 "$scratch/core.log"; echo "FAIL: the core does not build alone"; exit 1; }
echo "ok: the core configures and builds with GL, GLFW, GLEW, SDL2, PNG, tinyxml2 and CLI11 hidden"

# One hidden package at a time: each must be named with what to install.
while read -r package debian; do
    if cmake -S "$src" -B "$scratch/full-$package" "-DCMAKE_DISABLE_FIND_PACKAGE_$package=ON" \
        >"$scratch/full-$package.log" 2>&1; then
        echo "FAIL: a configure without $package succeeded"
        exit 1
    fi
    grep -q "install $debian" "$scratch/full-$package.log" ||
        { cat "$scratch/full-$package.log"; echo "FAIL: no word of $debian"; exit 1; }
    echo "ok: without $package the configure stops and says: install $debian"
done <<'LIST'
glfw3 libglfw3-dev
GLEW libglew-dev
SDL2_mixer libsdl2-mixer-dev
PNG libpng-dev
CLI11 libcli11-dev
LIST
rm -rf "$scratch"
