// The Type 0 merge of the conductor and the instrument buffers.
#include "midi_fixture.h"

namespace vellumix::test {
namespace {

TEST_F(MidiWriterTest, MergeOrdersByTickThenBufferAndWritesStatusAfterMeta) {
  Piece piece;
  piece.bars = {Bar(8.0f, 4, 2)};
  piece.tempos = {{0, 120, 0}, {240, 60, 0}};
  Track three;
  three.number = 3;
  three.settings.channel = 2;
  three.events = {{0, 0x92, 64, 100}, {480, 0x82, 64, 0}};
  Track two;
  two.number = 2;
  two.settings.channel = 1;
  two.events = {{0, 0x91, 60, 100}, {240, 0x91, 62, 100}, {240, 0x81, 60, 0}, {0, 0x81, 62, 0}};
  piece.tracks = {three, two};  // written out of order: the buffer number decides
  const MidiFile file = WriteAndRead(piece, MidiFileType::kType0);
  EXPECT_EQ(DumpMidiFile(file),
            "format 0 division 120 tracks 1\n"
            "track 0\n"
            "0 time-signature 4/4 clocks 120 32nds 8\n"
            "0 tempo 500000\n"
            "0 key-signature 0 major\n"
            "0 text \"                              \"\n"
            "0 port 0\n"
            "0 ch1 control 0 0\n"
            "0 ch1 control 32 0 (running)\n"
            "0 ch1 program 0\n"
            "0 ch1 control 10 64\n"
            "0 ch1 control 7 100 (running)\n"
            "0 ch1 note-on 60 100\n"
            "0 port 0\n"
            "0 ch2 control 0 0\n"
            "0 ch2 control 32 0 (running)\n"
            "0 ch2 program 0\n"
            "0 ch2 control 10 64\n"
            "0 ch2 control 7 100 (running)\n"
            "0 ch2 note-on 64 100\n"
            "240 tempo 1000000\n"
            "240 ch1 note-on 62 100\n"  // the same status as before the tempo: written again
            "480 ch1 note-off 60 0\n"
            "480 ch1 note-off 62 0 (running)\n"
            "480 ch2 note-off 64 0\n");
  // Every buffer was consumed.
  for (int b = 0; b <= kLastInstrumentBuffer; ++b) EXPECT_TRUE(writer.TrackBuffer(b).empty()) << b;
}

TEST_F(MidiWriterTest, MergedTrackBeyondTenBlocksKeepsEveryEvent) {
  Piece piece;
  piece.bars = {Bar(1e6f, 4, 2)};
  for (int n : {1, 2}) {
    Track t;
    t.number = n;
    t.settings.channel = n;
    for (int i = 0; i < 30000; ++i) {
      t.events.push_back({i == 0 ? 0 : 5, static_cast<std::uint8_t>(0x90 | n), 60, 90});
      t.events.push_back({5, static_cast<std::uint8_t>(0x80 | n), 60, 0});
    }
    piece.tracks.push_back(t);
  }
  const Bytes bytes = Write(piece, MidiFileType::kType0);
  EXPECT_GT(bytes.size(), 360000u);
  const auto file = ReadMidiFile(bytes);
  ASSERT_TRUE(file.has_value());
  ASSERT_EQ(file->tracks.size(), 1u);
  ASSERT_TRUE(file->tracks[0].endOfTrack);
  std::array<std::int64_t, 3> count{}, lastTick{};
  for (const MidiEvent& e : file->tracks[0].events) {
    if ((e.status & 0xE0) != 0x80) continue;  // notes only
    const int ch = e.status & 0x0F;
    ASSERT_TRUE(ch == 1 || ch == 2);
    EXPECT_EQ(e.tick, 5 * count[static_cast<std::size_t>(ch)]);
    lastTick[static_cast<std::size_t>(ch)] = e.tick;
    ++count[static_cast<std::size_t>(ch)];
  }
  EXPECT_EQ(count[1], 60000);
  EXPECT_EQ(count[2], 60000);
  EXPECT_EQ(lastTick[1], 299995);
}

}  // namespace
}  // namespace vellumix::test
