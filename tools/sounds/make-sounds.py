#!/usr/bin/python3
"""Synthesises the six default sounds of Wintermoot into resources/sounds/.

Every sound is additive synthesis: decaying sine partials, shaped by a short fade in and a fade
out so that nothing clicks, then scaled to a fixed peak well below full scale. Noise comes from
a seeded generator, so every run writes the same bytes. Prints duration, peak and RMS per file.

Usage: /usr/bin/python3 tools/sounds/make-sounds.py [output-folder]
"""

import math
import os
import sys
import wave

import numpy as np

RATE = 22050
FADE_IN = 0.003


def timeline(seconds):
    return np.arange(int(round(seconds * RATE))) / RATE


def partials(freq, seconds, spec, start=0.0, total=None):
    """A struck tone: spec is a list of (frequency ratio, amplitude, decay time constant)."""
    total = seconds if total is None else total
    t = timeline(total)
    out = np.zeros_like(t)
    local = t - start
    on = local >= 0
    for ratio, amp, tau in spec:
        f = freq * ratio
        if f >= RATE / 2:
            continue
        out[on] += amp * np.sin(2 * math.pi * f * local[on]) * np.exp(-local[on] / tau)
    # A few milliseconds of rise per note keep each strike free of clicks.
    rise = np.clip(local / 0.004, 0.0, 1.0)
    return out * np.where(on, 0.5 - 0.5 * np.cos(math.pi * rise), 0.0)


def finish(samples, peak, fade_out=0.030):
    """Fades both ends and scales the sound to the given peak (a fraction of full scale). Sounds
    that still ring at their end get a longer fade out, so they die away instead of stopping."""
    samples = samples.copy()
    n_in = int(FADE_IN * RATE)
    n_out = int(fade_out * RATE)
    samples[:n_in] *= 0.5 - 0.5 * np.cos(np.linspace(0, math.pi, n_in))
    samples[-n_out:] *= 0.5 + 0.5 * np.cos(np.linspace(0, math.pi, n_out))
    samples[-1] = 0.0
    return samples * (peak / np.max(np.abs(samples)))


CHIME = [(1.0, 1.0, 0.22), (2.0, 0.22, 0.10), (3.0, 0.06, 0.05), (4.07, 0.05, 0.03)]


def chimes():
    """Move: a soft two-note chime rising a fourth, G5 then C6."""
    length = 0.50
    s = partials(783.99, length, CHIME, 0.0) + partials(1046.50, length, CHIME, 0.085)
    return finish(s, 0.42, 0.12)


def notify():
    """Capture: a short wooden "tock" with a falling pitch and a low body under it."""
    length = 0.22
    t = timeline(length)
    # The pitch falls from 560 Hz to 400 Hz in the first 40 ms, as a struck block does.
    freq = 400 + 160 * np.exp(-t / 0.015)
    phase = 2 * math.pi * np.cumsum(freq) / RATE
    tock = np.sin(phase) * np.exp(-t / 0.035) + 0.35 * np.sin(2.31 * phase) * np.exp(-t / 0.012)
    body = 0.6 * np.sin(2 * math.pi * 190 * t) * np.exp(-t / 0.050)
    rng = np.random.default_rng(7)
    click = rng.standard_normal(len(t)) * np.exp(-t / 0.002) * 0.25
    click = np.convolve(click, np.ones(4) / 4, mode="same")
    return finish(tock + body + click, 0.60)


def chord():
    """Check: a bright alert, two quick tones (D6, G6) and then both together."""
    length = 0.62
    bright = [(1.0, 1.0, 0.30), (2.0, 0.25, 0.20), (3.0, 0.30, 0.15), (5.0, 0.12, 0.08)]
    t = timeline(length)

    def tone(freq, start, stop):
        s = partials(freq, length, bright, start)
        # Each short tone is cut by a 15 ms release so the next one stands out.
        gate = np.clip((stop - t) / 0.015, 0.0, 1.0)
        return s * gate

    s = tone(1174.66, 0.0, 0.12) + tone(1567.98, 0.14, 0.26)
    s += 0.7 * (partials(1174.66, length, bright, 0.28) + partials(1567.98, length, bright, 0.28))
    return finish(s, 0.50, 0.08)


def tada():
    """Checkmate: a rising fanfare C5 E5 G5 C6 that lands on the whole C major chord."""
    length = 1.15
    t = timeline(length)
    brass = [(n, 1.0 / n ** 1.3, 0.9 / n ** 0.5) for n in range(1, 7)]
    out = np.zeros_like(t)
    notes = [(523.25, 0.00), (659.25, 0.10), (783.99, 0.20), (1046.50, 0.32)]
    for freq, start in notes:
        # Earlier notes of the run are quieter; the top C carries a slow vibrato.
        weight = 1.0 if start >= 0.32 else 0.7
        if start >= 0.32:
            vib = 1 + 0.004 * np.sin(2 * math.pi * 5.5 * np.clip(t - 0.45, 0, None))
            local = np.clip(t - start, 0, None)
            phase = 2 * math.pi * freq * np.cumsum(vib) / RATE
            phase -= phase[int(start * RATE)]
            tone = sum(a * np.sin(n * phase) * np.exp(-local / tau) for n, a, tau in brass)
            rise = np.clip(local / 0.015, 0, 1)
            out += weight * tone * (t >= start) * (0.5 - 0.5 * np.cos(math.pi * rise))
        else:
            out += weight * partials(freq, length, brass, start)
    # The held chord under the top note.
    for freq in (523.25, 659.25, 783.99):
        out += 0.35 * partials(freq, length, brass, 0.32)
    return finish(out, 0.55, 0.55)


def ding():
    """Stalemate: one calm bell on E5 that rings out slowly."""
    length = 1.20
    bell = [
        (0.5, 0.30, 0.60),
        (1.0, 1.00, 0.45),
        (2.0, 0.30, 0.22),
        (3.0, 0.10, 0.12),
        (4.2, 0.06, 0.06),
    ]
    # Two partials a fraction of a hertz apart give the slow beat of a real bell.
    s = partials(659.25, length, bell) + 0.25 * partials(660.0, length, [(1.0, 1.0, 0.45)])
    return finish(s, 0.45, 0.30)


def ringout():
    """Incoming chat line: a soft trill of E6 and G#6 that rings out."""
    length = 0.80
    trill = [(1.0, 1.0, 0.12), (2.0, 0.15, 0.05)]
    out = np.zeros(len(timeline(length)))
    for i in range(8):
        freq = 1318.51 if i % 2 == 0 else 1661.22
        # The strikes fade along the trill; the last ones ring longer.
        gain = 0.9 ** i
        spec = [(r, a, tau * (1 + i * 0.25)) for r, a, tau in trill]
        out += gain * partials(freq, length, spec, i * 0.045)
    return finish(out, 0.42, 0.20)


SOUNDS = {
    "chimes.wav": chimes,
    "notify.wav": notify,
    "chord.wav": chord,
    "tada.wav": tada,
    "ding.wav": ding,
    "ringout.wav": ringout,
}


def write(path, samples):
    pcm = np.round(samples * 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())
    return pcm


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "sounds")
    os.makedirs(folder, exist_ok=True)
    print(f"{'file':<12} {'seconds':>7} {'peak dBFS':>9} {'RMS dBFS':>9} {'bytes':>7}")
    for name, make in SOUNDS.items():
        path = os.path.join(folder, name)
        pcm = write(path, make()).astype(np.float64) / 32768
        peak = 20 * math.log10(np.max(np.abs(pcm)))
        rms = 20 * math.log10(np.sqrt(np.mean(pcm ** 2)))
        print(f"{name:<12} {len(pcm) / RATE:7.3f} {peak:9.1f} {rms:9.1f} {os.path.getsize(path):7}")


if __name__ == "__main__":
    main()
