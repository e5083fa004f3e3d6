// A MIDI writer with a scripted host and a scratch folder, and a whole piece written to a file.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "midi/reader.h"
#include "midi/writer.h"
#include "platform/files.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out;
  out.reserve(8 + body.size());
  out.assign(id, id + 4);
  const auto n = static_cast<std::uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// The conductor's fixed events after the first time signature and tempo.
inline Bytes KeyAndBlankText() {
  Bytes out = B({0x00, 0xFF, 0x59, 0x02, 0x00, 0x00, 0x00, 0xFF, 0x01, 0x1E});
  out.insert(out.end(), 30, 0x20);
  return out;
}

inline CBar Bar(float length, int numerator = 0, int power = 0, int barline = 0) {
  CBar b;
  b.length = length;
  b.numerator = numerator;
  b.denominatorPower = power;
  b.barlineType = barline;
  return b;
}

struct Track {
  int number = 1;
  std::vector<CMidiDataEvent> events;
  std::vector<CLyricEvent> lyrics;
  TrackSettings settings;
};

struct Piece {
  std::vector<CBar> bars = {Bar(4.0f, 4, 2)};
  std::vector<CTempoEvent> tempos = {{0, 120, 0}};
  std::vector<Track> tracks;
  bool repeatBarlines = true;
};

class MidiWriterTest : public ::testing::Test {
 protected:
  std::string OutPath() const { return (folder.path() / "out.mid").string(); }
  std::string TrackPath() const { return (folder.path() / "VLMIXMID.TMP").string(); }

  bool Open(MidiOutput& output) {
    return output.file.Open(OutPath()) && output.trackFile.Open(TrackPath());
  }

  // Writes the piece in the calling order of a run; empty when a step failed.
  Bytes Write(const Piece& piece, MidiFileType type, bool reset = true) {
    if (reset) writer.Reset();
    MidiOutput output;
    if (!Open(output)) return {};
    for (const Track& t : piece.tracks)
      if (!writer.WriteInstrumentTrack(t.number, type, t.events, t.lyrics, t.settings, output))
        return {};
    if (!writer.WriteHeaderAndConductor(type, piece.bars, piece.tempos, piece.repeatBarlines,
                                        output))
      return {};
    if (type == MidiFileType::kType0 && !writer.MergeTracks(output)) return {};
    if (!AppendTrackFile(host, output)) return {};
    return files::ReadAll(OutPath()).value_or(Bytes{});
  }

  MidiFile WriteAndRead(const Piece& piece, MidiFileType type) {
    const Bytes bytes = Write(piece, type);
    auto file = ReadMidiFile(bytes);
    EXPECT_TRUE(file.has_value()) << "the written file does not read back";
    return file.value_or(MidiFile{});
  }

  // The conductor events alone (a Type 0 conductor stays in its buffer, without end of track).
  Bytes Conductor(const std::vector<CBar>& bars, const std::vector<CTempoEvent>& tempos,
                  bool repeat = true) {
    writer.Reset();
    MidiOutput output;
    EXPECT_TRUE(Open(output));
    EXPECT_TRUE(writer.WriteHeaderAndConductor(MidiFileType::kType0, bars, tempos, repeat, output));
    return writer.TrackBuffer(kConductorBuffer);
  }

  ScriptedHost host;
  TempFolder folder;
  MidiWriter writer{host};
};

}  // namespace vellumix::test
