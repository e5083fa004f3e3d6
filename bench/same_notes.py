#!/usr/bin/python3
"""Whether a MIDI file holds the same notes as one or more others played one after the other:
every note's pitch and start in quarter notes, whatever the tracks, channels, velocities and
lengths, counted from the first note (each further file starts at the 4/4 bar after the last
note before it). Prints the count; exit 1 on a difference.
usage: same_notes.py FILE OTHER [OTHER...]"""
import math
import sys

import mido


def notes(path, offset=0.0):
    midi = mido.MidiFile(path)
    found = []
    for track in midi.tracks:
        now = 0
        for event in track:
            now += event.time
            if event.type == "note_on" and event.velocity > 0:
                found.append((now / midi.ticks_per_beat, event.note))
    # abc2midi starts a tick late; the first note is the origin.
    origin = min((start for start, _ in found), default=0)
    return sorted((round(start - origin + offset, 3), pitch) for start, pitch in found)


def joined(paths):
    found = []
    for path in paths:
        offset = math.floor(found[-1][0] / 4 + 1) * 4 if found else 0.0
        found += notes(path, offset)
    return found


a, b = notes(sys.argv[1]), joined(sys.argv[2:])
if a != b:
    first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    print(f"different: {len(a)} and {len(b)} notes, first difference at note {first}: "
          f"{a[first:first + 3]} against {b[first:first + 3]}")
    sys.exit(1)
print(f"{len(a)} notes alike")
