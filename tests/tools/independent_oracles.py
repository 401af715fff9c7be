#!/usr/bin/python3
"""kelvarin-convert and kelvarin-render checked by other implementations: Standard MIDI
Files written and read by mido, with times worked out here from its messages in exact
fractions, and the rendered sound measured with numpy and sox.

    independent_oracles.py KELVARIN_RENDER KELVARIN_CONVERT
"""
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave
from fractions import Fraction

SKIP = 77
try:
    import mido
    import numpy
except ImportError as missing:
    print(f"SKIP: Python's {missing.name} is missing (Debian's python3-mido and python3-numpy)")
    sys.exit(SKIP)
if not shutil.which("sox"):
    print("SKIP: sox is missing")
    sys.exit(SKIP)

render, convert = sys.argv[1:3]
work = tempfile.mkdtemp(prefix="kelvarin-oracles.")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(*arguments):
    """Runs a tool in the work directory; what it said on the error stream."""
    done = subprocess.run(arguments, cwd=work, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"FAIL: {' '.join(arguments)} ended with {done.returncode}: {done.stderr}")
    return done.stderr


def path(name):
    return os.path.join(work, name)


def midi_dat(events):
    return b"".join(struct.pack("<BBHI", note, velocity, 0, tick) for note, velocity, tick in events)


def read_midi_dat(name):
    data = open(path(name), "rb").read()
    return [(n, v, t) for n, v, _, t in struct.iter_unpack("<BBHI", data)]


def note_times(midi_file):
    """Every Note On and Note Off as (note, velocity, ms rounded half up): tracks merged
    by tick, then track, then order; the tempo map of every track applied."""
    merged = []
    for number, track in enumerate(midi_file.tracks):
        tick = 0
        for order, message in enumerate(track):
            tick += message.time
            merged.append((tick, number, order, message))
    merged.sort(key=lambda entry: entry[:3])
    ms, tempo, last, notes = Fraction(0), 500000, 0, []
    for tick, _, _, message in merged:
        ms += Fraction((tick - last) * tempo, midi_file.ticks_per_beat * 1000)
        last = tick
        if message.type == "set_tempo":
            tempo = message.tempo
        elif message.type in ("note_on", "note_off"):
            velocity = message.velocity if message.type == "note_on" else 0
            notes.append((message.note, velocity, math.floor(ms + Fraction(1, 2))))
    return notes


def from_mido(name, midi_file):
    midi_file.save(path(name + ".mid"))
    run(convert, name + ".mid", name + ".dat")
    check(read_midi_dat(name + ".dat") == note_times(midi_file), f"{name}: the records are not mido's notes")


# Running status (mido writes it), Note On at velocity 0, tempo changes, SysEx, text.
single = mido.MidiFile(type=0, ticks_per_beat=480)
single.tracks.append(mido.MidiTrack([
    mido.MetaMessage("set_tempo", tempo=400000, time=0),
    mido.Message("note_on", note=60, velocity=100, time=0),
    mido.Message("note_on", note=64, velocity=90, time=480),
    mido.MetaMessage("set_tempo", tempo=250000, time=0),
    mido.Message("sysex", data=[1, 2, 3], time=100),
    mido.Message("note_on", note=60, velocity=0, time=380),
    mido.MetaMessage("text", text="fine", time=7),
    mido.Message("note_off", note=64, velocity=30, channel=5, time=473),
]))
from_mido("format_0", single)

# A tempo track and two note tracks with notes at the same ticks.
multi = mido.MidiFile(type=1, ticks_per_beat=96)
multi.tracks.append(mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=600000, time=0),
                                    mido.MetaMessage("set_tempo", tempo=300000, time=96),
                                    mido.MetaMessage("set_tempo", tempo=1000000, time=200)]))
multi.tracks.append(mido.MidiTrack([mido.Message("note_on", note=50, velocity=10, time=96),
                                    mido.Message("note_off", note=50, time=200)]))
multi.tracks.append(mido.MidiTrack([mido.Message("note_on", note=70, velocity=20, channel=9, time=96),
                                    mido.Message("note_on", note=70, velocity=0, channel=9, time=200)]))
from_mido("format_1", multi)

# Many random events in four tracks, tempo changes in any of them, at a coarse and a
# fine division.
rng = random.Random(19)
for ticks_per_beat in (1, 384):
    busy = mido.MidiFile(type=1, ticks_per_beat=ticks_per_beat)
    for number in range(4):
        track = mido.MidiTrack()
        for _ in range(300):
            kind = rng.random()
            time = rng.choice([0, 0, rng.randrange(1, 400)])
            if kind < 0.05:
                track.append(mido.MetaMessage("set_tempo", tempo=rng.randrange(100000, 2000000), time=time))
            elif kind < 0.15:
                track.append(mido.Message("control_change", control=7, value=rng.randrange(128), time=time))
            else:
                track.append(mido.Message(rng.choice(["note_on", "note_off"]), note=rng.randrange(128),
                                          velocity=rng.randrange(128), channel=rng.randrange(16), time=time))
        busy.tracks.append(track)
    from_mido(f"random_{ticks_per_beat}", busy)

# From a midi.dat: mido reads one track, one tick a millisecond; what it cannot hold is
# left out and counted.
open(path("played.dat"), "wb").write(midi_dat([(60, 100, 0), (62, 90, 250), (60, 0, 700), (200, 1, 700),
                                               (62, 200, 800), (62, 0, 1500)]))
said = run(convert, "played.dat", "played.mid")
check("left out 2 event(s)" in said, f"no count of the events left out: {said!r}")
played = mido.MidiFile(path("played.mid"))
check(played.type == 0 and len(played.tracks) == 1 and played.ticks_per_beat == 500,
      f"not one track at 500 ticks a quarter: type {played.type}, {len(played.tracks)} tracks")
tick, seen, tempos = 0, [], []
for message in played.tracks[0]:
    tick += message.time
    if message.type == "set_tempo":
        tempos.append((tick, message.tempo))
    elif message.type in ("note_on", "note_off"):
        seen.append((message.type, message.note, message.velocity if message.type == "note_on" else 0,
                     message.channel, tick))
check(tempos == [(0, 500000)], f"tempo map {tempos}")
check(seen == [("note_on", 60, 100, 0, 0), ("note_on", 62, 90, 0, 250), ("note_off", 60, 0, 0, 700),
               ("note_off", 62, 0, 0, 1500)], f"mido reads {seen}")
check(abs(played.length - 1.5) < 1e-9, f"mido finds {played.length} s")

# The round trip gives back the same bytes.
tick, events = 0, []
for _ in range(500):
    tick += rng.choice([0, rng.randrange(1, 3000)])
    events.append((rng.randrange(128), rng.randrange(128), tick))
events[0] = (events[0][0], events[0][1], 0)
open(path("trip.dat"), "wb").write(midi_dat(events))
run(convert, "trip.dat", "trip.mid")
run(convert, "trip.mid", "back.dat")
check(open(path("trip.dat"), "rb").read() == open(path("back.dat"), "rb").read(), "the round trip changed bytes")

# The sound: note 57 struck at 127 and released 2 s later, with the first-run tone (the
# fundamental alone at full weight, release step 21 a block). Its level is the
# Amplitude, 4000; it fades from block 882 (2000 ms * 44.1 / 100) for 191 blocks.
open(path("a440.dat"), "wb").write(midi_dat([(57, 127, 0), (57, 0, 2000)]))
open(path("octave.ini"), "w").write("[Kelvarin]\nsl1=0\nsl2=100\n")


def samples_of(name):
    with wave.open(path(name)) as w:
        check(w.getnchannels() == 1 and w.getsampwidth() == 2, f"{name} is not 16-bit mono")
        return w.getframerate(), numpy.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(float)


def decoded(name):
    raw = subprocess.run(["sox", path(name), "-t", "raw", "-e", "signed", "-b", "16", "-L", "-"],
                         capture_output=True, check=True).stdout
    return numpy.frombuffer(raw, dtype="<i2").astype(float)


def peak_hz(samples, rate):
    steady = samples[rate // 10: 2 * rate - rate // 10]
    spectrum = numpy.abs(numpy.fft.rfft(steady * numpy.hanning(len(steady)), 16 * len(steady)))
    return numpy.argmax(spectrum) * rate / (16 * len(steady))


def rms(samples, rate):
    steady = samples[rate // 10: 2 * rate - rate // 10]
    return math.sqrt(numpy.mean(steady ** 2))


run(render, "a440.dat", "a440.wav")
rate, a440 = samples_of("a440.wav")
check(rate == 44100, f"the WAV runs at {rate} Hz")
check(len(a440) == (882 + 191) * 100, f"{len(a440)} samples, not {(882 + 191) * 100}")
check(abs(peak_hz(a440, rate) - 440) < 0.5, f"note 57 sounds at {peak_hz(a440, rate)} Hz")
check(3990 <= numpy.max(numpy.abs(a440)) <= 4000, f"peak {numpy.max(numpy.abs(a440))}, not 4000")
check(abs(rms(a440, rate) - 4000 / math.sqrt(2)) < 0.005 * 4000, f"RMS {rms(a440, rate)}")
stats = subprocess.run(["sox", path("a440.wav"), "-n", "stat"], capture_output=True, text=True).stderr
found = {line.split(":")[0].strip(): line.split(":")[1].strip() for line in stats.splitlines() if ":" in line}
check(abs(float(found["Maximum amplitude"]) - 4000 / 32768) < 0.001, f"sox: {found['Maximum amplitude']}")
check(abs(float(found["Rough   frequency"]) - 440) < 5, f"sox: {found['Rough   frequency']} Hz")

run(render, "--settings", "octave.ini", "a440.dat", "octave.wav")
check(abs(peak_hz(samples_of("octave.wav")[1], 44100) - 880) < 0.5, "harmonic 2 alone is not at 880 Hz")

run(render, "--rate", "48000", "a440.dat", "a440_48k.wav")
rate, resampled = samples_of("a440_48k.wav")
check(rate == 48000, f"--rate 48000 gives {rate} Hz")
check(abs(len(resampled) - len(a440) * 48000 / 44100) <= 2, f"{len(resampled)} samples at 48000 Hz")
check(abs(peak_hz(resampled, rate) - 440) < 0.5, f"resampled, note 57 sounds at {peak_hz(resampled, rate)} Hz")
check(abs(rms(resampled, rate) / rms(a440, 44100) - 1) < 0.01, "resampling changed the level")

run(render, "a440.dat", "a440.flac")
check(numpy.array_equal(decoded("a440.flac"), a440), "the FLAC file holds other samples than the WAV file")
run(render, "a440.dat", "a440.ogg")
vorbis = decoded("a440.ogg")
check(abs(peak_hz(vorbis, 44100) - 440) < 0.5, f"Ogg Vorbis: {peak_hz(vorbis, 44100)} Hz")
check(abs(rms(vorbis, 44100) / rms(a440, 44100) - 1) < 0.03, "Ogg Vorbis changed the level")

shutil.rmtree(work)
for failure in failures:
    print("FAIL:", failure)
if failures:
    sys.exit(1)
print("mido, numpy and sox agree with both tools")
