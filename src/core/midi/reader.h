// A Standard MIDI File reader: bytes in, tracks of events with absolute ticks out. Every length
// in the file is checked against the bytes that remain; a file that breaks the format is refused
// whole.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vellumix {

struct MidiEvent {
  std::int64_t tick = 0;      // absolute
  std::uint8_t status = 0;    // channel status with running status resolved; 0xFF meta; 0xF0/0xF7
  std::uint8_t metaType = 0;  // meta events only
  std::vector<std::uint8_t> data;  // a channel message's data bytes, or the meta or sysex payload
  bool runningStatus = false;      // the status byte was left out in the file
};

struct MidiTrack {
  std::vector<MidiEvent> events;
  bool endOfTrack = false;   // closed by FF 2F 00 (which is not kept in events)
  std::int64_t endTick = 0;  // tick of the end of track, or of the last event without one
  std::int64_t notes = 0;    // note-ons with a velocity, counted even when timing alone is kept
};

struct MidiFile {
  int format = 0;
  int division = 0;        // as the header holds it
  int declaredTracks = 0;  // the header's track count
  std::vector<MidiTrack> tracks;
};

// With `timingOnly`, only the tempo events are kept (the file is still checked whole): enough
// for PlayingSeconds without holding every event.
std::optional<MidiFile> ReadMidiFile(std::span<const std::uint8_t> bytes, bool timingOnly = false);

// How long the file plays, in seconds: its last tick through its tempo events (120 quarter notes
// a minute until the first).
double PlayingSeconds(const MidiFile& file);

// The file as text, one event a line, for test expectations and diagnostics.
std::string DumpMidiFile(const MidiFile& file);

}  // namespace vellumix
