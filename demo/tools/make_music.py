#!/usr/bin/env python3
"""Synthesises the demo's music with sox and encodes it with oggenc: 64 seconds at 120 beats a
minute in A minor (32 bars of 2 s), with sections that change where the demo's cameras cut.

Usage: make_music.py OUTPUT.ogg
"""
import os
import shutil
import subprocess
import sys
import tempfile

RATE = 44100
BAR = 2.0  # seconds: four beats at 120 a minute
BARS = 32

# A minor: i - VI - III - VII, two bars each (MIDI note numbers of the triads).
CHORDS = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62)]

# Which bars each layer plays in (bar = 2 s; the cameras cut at 8, 20, 30, 40, 50, 56 s).
SECTIONS = {
    "pad": range(0, 32),
    "bass": [b for b in range(4, 28) if not 20 <= b < 24],
    "kick": [b for b in range(4, 28) if not 20 <= b < 24],
    "hat": [b for b in range(10, 30) if not 20 <= b < 22],
    "snare": [b for b in range(15, 28) if not 20 <= b < 24],
    "arp": range(10, 32),
}
# Mix levels.
LEVELS = {"pad": 0.55, "bass": 0.7, "kick": 0.9, "hat": 0.25, "snare": 0.4, "arp": 0.3}


def hz(note):
    return 440.0 * 2 ** ((note - 69) / 12.0)


class Studio:
    """Renders and caches sounds in a scratch folder; every file is mono, 16-bit, RATE Hz."""

    def __init__(self, folder):
        self.folder = folder
        self.cache = {}
        self.count = 0

    def sox(self, *args):
        subprocess.run(["sox", "-q", "-V1"] + [str(a) for a in args], check=True)

    def new_path(self):
        self.count += 1
        return os.path.join(self.folder, "s%05d.wav" % self.count)

    def sound(self, key, length, synth_and_effects):
        """A sound of exactly `length` seconds, made once per key."""
        if key not in self.cache:
            path = self.new_path()
            # fade cuts a sound at its stop position: pad, then trim, keeps every slot exact.
            self.sox("-n", "-r", RATE, "-c", 1, "-b", 16, path, "synth", length,
                     *synth_and_effects, "pad", 0, length, "trim", 0, length)
            self.cache[key] = path
        return self.cache[key]

    def silence(self, length):
        return self.sound(("rest", length), length, ["sine", 0, "vol", 0])

    def chain(self, paths):
        """Concatenates sounds, in groups so that sox never holds too many files open."""
        while len(paths) > 1:
            joined = []
            for i in range(0, len(paths), 32):
                group = paths[i:i + 32]
                if len(group) == 1:
                    joined.append(group[0])
                    continue
                out = self.new_path()
                self.sox(*group, out)
                joined.append(out)
            paths = joined
        return paths[0]


def chord_of(bar):
    return CHORDS[(bar // 2) % len(CHORDS)]


def pad(st, bar):
    root, third, fifth = chord_of(bar)
    tones = []
    for n in (root - 12, root, third, fifth, third + 12):
        tones += ["triangle", "%.3f" % hz(n)]
    # Five tones on five channels, folded to one and softened at both ends of the bar.
    key = ("pad", root, third, fifth)
    if key not in st.cache:
        path = st.new_path()
        st.sox("-n", "-r", RATE, "-c", 5, "-b", 16, path, "synth", BAR, *tones,
               "remix", "1v0.2,2v0.2,3v0.2,4v0.2,5v0.15", "lowpass", 1400,
               "tremolo", 0.5, 20, "fade", "h", 0.25, BAR, 0.35, "trim", 0, BAR)
        st.cache[key] = path
    return [st.cache[key]]


def bass(st, bar):
    root = chord_of(bar)[0] - 24
    pattern = [0, 0, 12, 0, 0, 12, 0, 7]  # eighths, semitones above the root
    return [st.sound(("bass", root + p), 0.25,
                     ["sawtooth", "%.3f" % hz(root + p), "lowpass", 500, "fade", "q", 0.005,
                      0.25, 0.2, "vol", 0.8])
            for p in pattern]


def kick(st, bar):
    hit = st.sound("kick", 0.5, ["sine", "160:40", "fade", "q", 0.002, 0.35, 0.33, "vol", 1.0])
    return [hit] * 4


def hat(st, bar):
    hit = st.sound("hat", 0.25, ["whitenoise", "highpass", 7000, "fade", "q", 0.001, 0.06, 0.055,
                                 "vol", 0.5])
    rest = st.silence(0.25)
    return [rest, hit] * 4  # the off-beats


def snare(st, bar):
    hit = st.sound("snare", 0.5, ["pinknoise", "bandpass", 1800, 1500, "fade", "q", 0.001, 0.22,
                                  0.2, "vol", 0.9])
    rest = st.silence(0.5)
    return [rest, hit, rest, hit]  # beats two and four


def arp(st, bar):
    root, third, fifth = chord_of(bar)
    tones = [root + 12, third + 12, fifth + 12, root + 24, fifth + 12, third + 12]
    out = []
    for k in range(16):  # sixteenths
        n = tones[k % len(tones)]
        out.append(st.sound(("arp", n), 0.125,
                            ["square", "%.3f" % hz(n), "lowpass", 2500, "fade", "q", 0.003, 0.125,
                             0.1, "vol", 0.6]))
    return out


LAYERS = {"pad": pad, "bass": bass, "kick": kick, "hat": hat, "snare": snare, "arp": arp}


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "evil-2005.ogg"
    folder = tempfile.mkdtemp(prefix="kestrine-music-")
    try:
        st = Studio(folder)
        layers = []
        for name, render in LAYERS.items():
            bars = []
            for b in range(BARS):
                bars.append(st.chain(render(st, b)) if b in SECTIONS[name] else st.silence(BAR))
            layers += ["-v", LEVELS[name], st.chain(bars)]
        mix = os.path.join(folder, "mix.wav")
        total = BAR * BARS
        # Stereo with a light room, levelled, faded in over the intro and out at the end.
        st.sox("-m", *layers, mix, "remix", "1", "1", "reverb", 35, 50, 70, 100, 10, 0,
               "fade", "t", 3, total, 6, "trim", 0, total, "gain", "-n", -1.5)
        subprocess.run(["oggenc", "-Q", "-q", "3", "-o", target, mix], check=True)
    finally:
        shutil.rmtree(folder)
    print("%s: %.0f s" % (target, BAR * BARS))


if __name__ == "__main__":
    main()
