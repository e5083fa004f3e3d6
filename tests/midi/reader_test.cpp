// The SMF reader: running status, meta events, and files whose lengths lie.
#include "midi_fixture.h"

namespace vellumix::test {
namespace {

Bytes Header(int format, int tracks, int division = 96) {
  return Chunk("MThd", B({0, format, 0, tracks, division >> 8, division & 0xFF}));
}

Bytes OneTrack(const Bytes& body) {
  return Cat({Header(0, 1), Chunk("MTrk", body)});
}

TEST(MidiReader, ReadsEventsWithAbsoluteTicksAndRunningStatus) {
  const Bytes bytes = Cat({
      Header(1, 2, 120),
      Chunk("MTrk", B({0x00, 0xFF, 0x03, 0x02, 'H', 'i',    // track name
                       0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7,  // sysex
                       0x00, 0xFF, 0x2F, 0x00})),
      Chunk("XFIL", B({1, 2, 3})),                                // unknown chunk: skipped
      Chunk("MTrk", B({0x00, 0x90, 0x3C, 0x40,                    //
                       0x81, 0x00, 0x3E, 0x40,                    // running status, tick 128
                       0x10, 0xE0, 0x00, 0x40,                    // pitch bend centre
                       0x00, 0xC5, 0x07, 0x00, 0x15,              // program, then running
                       0x83, 0x00, 0xFF, 0x7F, 0x02, 0xAB, 0xCD,  // other meta
                       0x00, 0xFF, 0x59, 0x02, 0xFD, 0x01,        // 3 flats minor
                       0x00, 0xFF, 0x05, 0x03, 'l',  0x22, 0x01,  // lyric with odd bytes
                       0x00, 0xFF, 0x2F, 0x00})),
  });
  const auto file = ReadMidiFile(bytes);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(DumpMidiFile(*file),
            "format 1 division 120 tracks 2\n"
            "track 0\n"
            "0 track-name \"Hi\"\n"
            "0 sysex 0xF0 7E 01 F7\n"
            "track 1\n"
            "0 ch0 note-on 60 64\n"
            "128 ch0 note-on 62 64 (running)\n"
            "144 ch0 pitch-bend 8192\n"
            "144 ch5 program 7\n"
            "144 ch5 program 21 (running)\n"
            "528 meta 0x7F AB CD\n"
            "528 key-signature -3 minor\n"
            "528 lyric \"l\\x22\\x01\"\n");
}

TEST(MidiReader, TrackWithoutEndIsKeptAndSaysSo) {
  const auto file = ReadMidiFile(OneTrack(B({0x00, 0x90, 0x3C, 0x40})));
  ASSERT_TRUE(file.has_value());
  EXPECT_FALSE(file->tracks[0].endOfTrack);
  EXPECT_EQ(DumpMidiFile(*file),
            "format 0 division 96 tracks 1\ntrack 0\n0 ch0 note-on 60 64\n(no end of track)\n");
}

TEST(MidiReader, RefusesFilesThatBreakTheFormat) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"not a header", Chunk("MTrk", B({0x00, 0xFF, 0x2F, 0x00}))},
      {"short header", Chunk("MThd", B({0, 0, 0, 1}))},
      {"header longer than the file", B({'M', 'T', 'h', 'd', 0, 0, 0, 60, 0, 0, 0, 1})},
      {"track longer than the file",
       Cat({Header(0, 1), B({'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xF0, 0x00})})},
      {"cut chunk header", Cat({Header(0, 1), B({'M', 'T', 'r'})})},
      {"five-byte delta", OneTrack(B({0x81, 0x81, 0x81, 0x81, 0x00, 0x90, 0x3C, 0x40}))},
      {"running status with no status", OneTrack(B({0x00, 0x3C, 0x40}))},
      {"running status after a meta event",
       OneTrack(B({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x3C, 0x00}))},
      {"status where data belongs", OneTrack(B({0x00, 0x90, 0x3C, 0x90, 0x40}))},
      {"cut channel message", OneTrack(B({0x00, 0x90, 0x3C}))},
      {"meta longer than the track", OneTrack(B({0x00, 0xFF, 0x01, 0x7F, 'a'}))},
      {"meta length of 2^28", OneTrack(B({0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F}))},
      {"sysex longer than the track", OneTrack(B({0x00, 0xF0, 0x05, 0x01}))},
      {"real-time byte", OneTrack(B({0x00, 0xF8}))},
      {"bytes after the end of track", OneTrack(B({0x00, 0xFF, 0x2F, 0x00, 0x00}))},
  };
  for (const auto& [what, bytes] : cases) EXPECT_FALSE(ReadMidiFile(bytes).has_value()) << what;
}

TEST_F(MidiWriterTest, EveryCutOfAWrittenFileIsRefusedOrReadWhole) {
  Piece piece;
  Track t;
  t.settings.name = "Cello";
  t.events = {{0, 0x90, 48, 90}, {0, 0x90, 55, 90}, {480, 0x80, 48, 0}, {0, 0x80, 55, 0}};
  t.lyrics = {{0, "la"}};
  piece.tracks = {t};
  const Bytes bytes = Write(piece, MidiFileType::kType1);
  ASSERT_FALSE(bytes.empty());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const auto file = ReadMidiFile(std::span(bytes.data(), n));
    // Only a cut between chunks reads, and then it lacks the cut tracks.
    if (file) {
      EXPECT_LT(file->tracks.size(), 2u) << n;
    }
  }
  // Flipping any byte never crashes the reader.
  Bytes flipped = bytes;
  for (std::size_t i = 0; i < flipped.size(); ++i) {
    flipped[i] ^= 0xFF;
    (void)ReadMidiFile(flipped);
    flipped[i] ^= 0xFF;
  }
}

}  // namespace
}  // namespace vellumix::test
