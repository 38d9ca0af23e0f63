#!/usr/bin/env bash
# The Debian package from a plain Release build (no sanitizer, no fuzzing, no tests): its files,
# its dependencies, lintian's verdict, and the unpacked programs run from where dpkg -x put them.
# usage: package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
fail() {
    echo "package: $*"
    exit 1
}

# The compiler a newcomer's first build uses (GCC, not the suite's clang): a warning fails here.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
rm -f "$build"/kestrine_*.deb
(cd "$build" && cpack >/dev/null)
deb=$(ls "$build"/kestrine_*.deb)

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/kestrine ./usr/bin/kestrine-preview ./usr/bin/kestrine-check \
    ./usr/bin/kestrine-capture ./usr/share/kestrine/scene.xsd ./usr/share/kestrine/demo/demo.xml \
    ./usr/share/kestrine/demo/Music/evil-2005.ogg ./usr/share/doc/kestrine/copyright \
    ./usr/share/man/man1/kestrine.1.gz ./usr/share/man/man1/kestrine-preview.1.gz \
    ./usr/share/man/man1/kestrine-check.1.gz ./usr/share/man/man1/kestrine-capture.1.gz; do
    grep -qxF "$f" <<<"$files" || fail "$f is missing"
done
if grep -E '_tests|_bench|_fuzz|x11_close|make-assets' <<<"$files"; then
    fail "test, benchmark or generator files are in the package"
fi
[ "$(grep -c '^\./usr/bin/.' <<<"$files")" -eq 4 ] || fail "not exactly the four programs"

depends=$(dpkg-deb -f "$deb" Depends)
for d in ffmpeg libgl1-mesa-dri libegl-mesa0 libc6 libglfw3 libglew2.2 libsdl2-mixer-2.0-0 \
    libpng16-16 libtinyxml2-9 libvorbisfile3 libegl1; do
    grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done

lintian --fail-on error,warning "$deb" >"$build/lintian.txt" 2>&1 || {
    cat "$build/lintian.txt"
    fail "lintian reports errors or warnings"
}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
# The installed demo's README is about what is installed, not about the generators left out.
grep -q "Play it from here" "$root/usr/share/kestrine/demo/README.md" &&
    ! grep -q "make-assets" "$root/usr/share/kestrine/demo/README.md" ||
    fail "the installed demo's README is not the one about the installed folder"
for page in kestrine kestrine-preview kestrine-check kestrine-capture; do
    for section in SYNOPSIS DESCRIPTION OPTIONS; do
        grep -q "^\.SH $section" <(zcat "$root/usr/share/man/man1/$page.1.gz") ||
            fail "the manual page of $page has no $section"
    done
done
version=$("$root/usr/bin/kestrine-check" --version)
if [ "$(head -n1 <<<"$version")" != "kestrine-check 1.0.0" ] || ! grep -q 'MIT licence' <<<"$version"; then
    fail "the unpacked kestrine-check does not say its version and licence: $version"
fi
grep -q '^License: Expat$' "$root/usr/share/doc/kestrine/copyright" ||
    fail "the copyright file does not name the MIT (Expat) licence"
zcat "$root/usr/share/man/man1/kestrine-check.1.gz" | grep -q 'MIT licence' ||
    fail "the manual page does not name the licence"
(cd "$root/usr/share/kestrine/demo" &&
    env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/kestrine-capture" demo.xml \
        --out "$root/frames" --size 160x90 --frames 0:2 >/dev/null 2>&1) ||
    fail "the unpacked kestrine-capture cannot capture without an X server"
[ "$(ls "$root/frames" | wc -l)" -eq 3 ] || fail "the headless capture did not write 3 frames"
echo "package: $(basename "$deb"): files, dependencies and lintian as they should be; the unpacked tools run"
