// Exact bytes of the writer's chunks and events.
#include <cmath>
#include <limits>

#include "midi_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;

Track FluteTrack() {
  Track t;
  t.settings = {.port = 0, .channel = 2, .program = 130, .volume = 100, .pan = 64, .name = "Flute"};
  t.events = {{0, 0x92, 60, 100}, {0, 0x92, 64, 100}, {240, 0x82, 60, 0}, {0, 0x82, 64, 0}};
  return t;
}

const Bytes kFluteSetup = B({0x00, 0xFF, 0x21, 0x01, 0x00,                             // port
                             0x00, 0xFF, 0x03, 0x05, 'F',  'l', 'u', 't', 'e',         // name
                             0x00, 0xB2, 0x00, 0x01,                                   // bank 1
                             0x00, 0xB2, 0x20, 0x00,                                   // bank LSB
                             0x00, 0xC2, 0x02,                                         // program 2
                             0x00, 0xB2, 0x0A, 0x40,                                   // pan
                             0x00, 0xB2, 0x07, 0x64});                                 // volume
const Bytes kConductorStart = Cat({B({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x78, 0x08,  // 4/4
                                      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}),      // 120
                                   KeyAndBlankText()});
const Bytes kEndOfTrack = B({0x00, 0xFF, 0x2F, 0x00});

TEST_F(MidiWriterTest, Type1FileIsHeaderConductorAndOneChunkPerTrackWithRunningStatus) {
  Piece piece;
  piece.tracks = {FluteTrack()};
  const Bytes expected = Cat({
      B({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 0x78}),
      Chunk("MTrk", Cat({kConductorStart, kEndOfTrack})),
      Chunk("MTrk", Cat({kFluteSetup,
                         B({0x00, 0x92, 0x3C, 0x64,        // the first body event: status
                            0x00, 0x40, 0x64,              // running status
                            0x81, 0x70, 0x82, 0x3C, 0x00,  // 240 ticks later
                            0x00, 0x40, 0x00}),
                         kEndOfTrack})),
  });
  EXPECT_EQ(Write(piece, MidiFileType::kType1), expected);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(MidiWriterTest, Type0FileIsHeaderAndOneMergedChunk) {
  Piece piece;
  piece.tracks = {FluteTrack()};
  // The track's own buffer carries every status; the merged stream leaves out a status equal to
  // the last one written, except after a meta event.
  const Bytes merged =
      Cat({kConductorStart, B({0x00, 0xFF, 0x21, 0x01, 0x00}),
           B({0x00, 0xFF, 0x03, 0x05, 'F', 'l', 'u', 't', 'e'}),
           B({0x00, 0xB2, 0x00, 0x01,  // status after a meta event
              0x00, 0x20, 0x00,        // B2 again
              0x00, 0xC2, 0x02, 0x00, 0xB2, 0x0A, 0x40, 0x00, 0x07, 0x64, 0x00, 0x92, 0x3C,
              0x64, 0x00, 0x40, 0x64, 0x81, 0x70, 0x82, 0x3C, 0x00, 0x00, 0x40, 0x00}),
           kEndOfTrack});
  const Bytes expected =
      Cat({B({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0x78}), Chunk("MTrk", merged)});
  EXPECT_EQ(Write(piece, MidiFileType::kType0), expected);
}

TEST_F(MidiWriterTest, Type0TrackBufferKeepsEveryStatusAndNoEndOfTrack) {
  MidiOutput output;
  ASSERT_TRUE(Open(output));
  const Track t = FluteTrack();
  ASSERT_TRUE(
      writer.WriteInstrumentTrack(7, MidiFileType::kType0, t.events, t.lyrics, t.settings, output));
  EXPECT_EQ(writer.TrackBuffer(7),
            Cat({kFluteSetup, B({0x00, 0x92, 0x3C, 0x64, 0x00, 0x92, 0x40, 0x64, 0x81, 0x70, 0x82,
                                 0x3C, 0x00, 0x00, 0x82, 0x40, 0x00})}));
  EXPECT_EQ(writer.InstrumentChunks(), 0);
}

TEST_F(MidiWriterTest, HeaderCountsTheConductorAndEveryInstrumentChunk) {
  Piece piece;
  for (int n : {1, 5, 9}) {
    Track t = FluteTrack();
    t.number = n;
    piece.tracks.push_back(t);
  }
  const Bytes bytes = Write(piece, MidiFileType::kType1);
  ASSERT_GE(bytes.size(), 14u);
  EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 14), B({0, 1, 0, 4, 0, 0x78}));
  EXPECT_EQ(ReadMidiFile(bytes)->tracks.size(), 4u);
  // The next file counts its own tracks.
  piece.tracks.resize(1);
  const Bytes next = Write(piece, MidiFileType::kType1, false);
  ASSERT_GE(next.size(), 14u);
  EXPECT_EQ(next[11], 2);
}

TEST_F(MidiWriterTest, VariableLengthQuantities) {
  const std::vector<std::pair<std::int64_t, Bytes>> cases = {
      {0, B({0x00})},
      {127, B({0x7F})},
      {128, B({0x81, 0x00})},
      {0x3FFF, B({0xFF, 0x7F})},
      {0x4000, B({0x81, 0x80, 0x00})},
      {0x0FFFFFFF, B({0xFF, 0xFF, 0xFF, 0x7F})},
      // Four bytes are all the format has; a longer time is cut, a negative one is no time.
      {0x10000000, B({0xFF, 0xFF, 0xFF, 0x7F})},
      {std::numeric_limits<std::int64_t>::max(), B({0xFF, 0xFF, 0xFF, 0x7F})},
      {-1, B({0x00})},
  };
  for (const auto& [value, bytes] : cases) {
    writer.Reset();
    writer.WriteVarLen(value, 3);
    EXPECT_EQ(writer.TrackBuffer(3), bytes) << value;
  }
}

TEST_F(MidiWriterTest, TimeSignatureClocksPerClick) {
  struct Case {
    int n, d, clocks;
  };
  for (const Case& c :
       {Case{6, 3, 0xB4}, Case{3, 3, 60}, Case{5, 4, 30}, Case{6, 4, 90}, Case{4, 2, 120},
        Case{3, 2, 120}, Case{2, 1, 120}, Case{9, 3, 180}, Case{12, 4, 90}, Case{7, 3, 60}}) {
    writer.Reset();
    ASSERT_TRUE(writer.WriteTimeSignature(0, c.n, c.d));
    EXPECT_EQ(writer.TrackBuffer(kConductorBuffer),
              B({0x00, 0xFF, 0x58, 0x04, c.n, c.d, c.clocks, 0x08}))
        << c.n << "/" << c.d;
  }
  // Nothing that is not a time signature reaches the file.
  writer.Reset();
  for (auto [n, d] : {std::pair{0, 2}, {-3, 2}, {256, 2}, {4, -1}, {4, 8}, {4, 40}})
    EXPECT_FALSE(writer.WriteTimeSignature(0, n, d)) << n << "/" << d;
  EXPECT_TRUE(writer.TrackBuffer(kConductorBuffer).empty());
  EXPECT_EQ(ClocksPerClick(4, 40), 0);
}

TEST_F(MidiWriterTest, TempoMicrosecondsInThreeBytes) {
  const std::vector<std::pair<int, Bytes>> cases = {
      {120, B({0x07, 0xA1, 0x20})},
      {0, B({0x07, 0xA1, 0x20})},
      {-40, B({0x07, 0xA1, 0x20})},
      {60, B({0x0F, 0x42, 0x40})},
      {100, B({0x09, 0x27, 0xC0})},
      {70, B({0x0D, 0x14, 0x36})},
      {4, B({0xE4, 0xE1, 0xC0})},
      // 20000000 microseconds would need a fourth byte: the slowest three bytes hold.
      {3, B({0xFF, 0xFF, 0xFF})},
      {1, B({0xFF, 0xFF, 0xFF})},
      // Never zero microseconds, which no player can divide by.
      {100000000, B({0x00, 0x00, 0x01})},
  };
  for (const auto& [bpm, us] : cases) {
    writer.Reset();
    writer.WriteTempo(200, bpm);
    EXPECT_EQ(writer.TrackBuffer(kConductorBuffer), Cat({B({0x81, 0x48, 0xFF, 0x51, 0x03}), us}))
        << bpm;
  }
}

TEST_F(MidiWriterTest, LengthsBecomeTicksWithoutOverflow) {
  EXPECT_EQ(LengthToTicks(4.0f), 480);
  // A hair below a whole tick is that tick; anything further below is truncated.
  EXPECT_EQ(LengthToTicks(0.3333f), 40);
  EXPECT_EQ(LengthToTicks(0.332f), 39);
  EXPECT_EQ(LengthToTicks(0.0f), 0);
  EXPECT_EQ(LengthToTicks(-2.0f), 0);
  EXPECT_EQ(LengthToTicks(std::nanf("")), 0);
  EXPECT_EQ(LengthToTicks(std::numeric_limits<float>::infinity()), kMaxVarLen);
  EXPECT_EQ(LengthToTicks(1e30f), kMaxVarLen);
}

TEST_F(MidiWriterTest, SetUpEventsClampValuesAndCodeLongNamesAsVariableLength) {
  MidiOutput output;
  ASSERT_TRUE(Open(output));
  TrackSettings s{.port = 3,
                  .channel = 20,
                  .program = 99999,
                  .volume = 300,
                  .pan = -5,
                  .name = std::string(200, 'x')};
  ASSERT_TRUE(writer.WriteInstrumentTrack(2, MidiFileType::kType0, {}, {}, s, output));
  Bytes expected = B({0x00, 0xFF, 0x21, 0x01, 0x03, 0x00, 0xFF, 0x03, 0x81, 0x48});
  expected.insert(expected.end(), 200, 'x');
  expected = Cat({expected, B({0x00, 0xBF, 0x00, 0x7F, 0x00, 0xBF, 0x20, 0x00, 0x00, 0xCF, 0x7F,
                               0x00, 0xBF, 0x0A, 0x00, 0x00, 0xBF, 0x07, 0x7F})});
  EXPECT_EQ(writer.TrackBuffer(2), expected);

  // An empty name: no name event, the rest all the same.
  writer.Reset();
  s = {.port = 0, .channel = 0, .program = 0, .volume = 90, .pan = 10, .name = ""};
  ASSERT_TRUE(writer.WriteInstrumentTrack(2, MidiFileType::kType0, {}, {}, s, output));
  EXPECT_EQ(writer.TrackBuffer(2),
            B({0x00, 0xFF, 0x21, 0x01, 0x00, 0x00, 0xB0, 0x00, 0x00, 0x00, 0xB0, 0x20,
               0x00, 0x00, 0xC0, 0x00, 0x00, 0xB0, 0x0A, 0x0A, 0x00, 0xB0, 0x07, 0x5A}));
}

// The body events of a track written as Type 1, after its set-up events.
class TrackBodyTest : public MidiWriterTest {
 protected:
  Bytes Body(const std::vector<CMidiDataEvent>& events, const std::vector<CLyricEvent>& lyrics,
             MidiFileType type = MidiFileType::kType1) {
    writer.Reset();
    MidiOutput output;
    EXPECT_TRUE(Open(output));
    TrackSettings s;
    s.name = "";
    EXPECT_TRUE(writer.WriteInstrumentTrack(1, type, events, lyrics, s, output));
    Bytes body;
    if (type == MidiFileType::kType1) {
      output.trackFile.Close();
      body = files::ReadAll(TrackPath()).value_or(Bytes{});
      if (body.size() < 8) return {};
      body.erase(body.begin(), body.begin() + 8);
    } else {
      body = writer.TrackBuffer(1);
    }
    const std::size_t setup = 5 + 4 + 4 + 3 + 4 + 4;
    return body.size() < setup ? Bytes{} : Bytes(body.begin() + setup, body.end());
  }
};

TEST_F(TrackBodyTest, LyricsFollowTheirEventAndThoseAfterTheLastEventAreDropped) {
  const std::vector<CMidiDataEvent> events = {{10, 0x90, 60, 80}, {110, 0x90, 62, 80},
                                              {0, 0x90, 64, 80},  {120, 0x80, 60, 0},
                                              {0, 0x80, 62, 0},   {0, 0x80, 64, 0}};
  const std::vector<CLyricEvent> lyrics = {
      {0, "A"}, {120, "ve"}, {200, "Ma"}, {240, "ri"}, {241, "a"}};
  EXPECT_EQ(Body(events, lyrics),
            B({0x0A, 0x90, 0x3C, 0x50,             // tick 10
               0x00, 0xFF, 0x05, 0x01, 'A',        // a lyric at 0 waits for the first event
               0x6E, 0x90, 0x3E, 0x50,             // tick 120: status again after a lyric
               0x00, 0xFF, 0x05, 0x02, 'v',  'e',  // at the event's own tick
               0x00, 0x90, 0x40, 0x50,             // status again after a lyric
               0x78, 0x80, 0x3C, 0x00,             // tick 240
               0x00, 0xFF, 0x05, 0x02, 'M',  'a',  0x00, 0xFF,
               0x05, 0x02, 'r',  'i',  0x00, 0x80, 0x3E, 0x00,  // status again after a lyric
               0x00, 0x40, 0x00,                                // running status
               0x00, 0xFF, 0x2F, 0x00}));  // "a" at 241 lies after the last event
}

TEST_F(TrackBodyTest, LongLyricLengthIsAVariableLengthQuantity) {
  const std::string text(130, 'o');
  Bytes expected = B({0x00, 0x90, 0x3C, 0x50, 0x00, 0xFF, 0x05, 0x81, 0x02});
  expected.insert(expected.end(), text.begin(), text.end());
  expected = Cat({expected, B({0x00, 0xFF, 0x2F, 0x00})});
  EXPECT_EQ(Body({{0, 0x90, 60, 80}}, {{0, text}}), expected);
}

TEST_F(TrackBodyTest, NegativeDeltasNeverGoBackInTimeAndLaterEventsKeepTheirTicks) {
  // Absolute ticks 100, 90 (a grace note placed before its barline), 150.
  EXPECT_EQ(Body({{100, 0x90, 60, 80}, {-10, 0x90, 59, 80}, {60, 0x80, 60, 0}}, {}),
            B({0x64, 0x90, 0x3C, 0x50, 0x00, 0x3B, 0x50, 0x32, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F,
               0x00}));
}

TEST_F(TrackBodyTest, OnlyChannelMessagesWithSevenBitDataAreWritten) {
  // A system status and a data byte as status are dropped, their time kept; data is clamped.
  EXPECT_EQ(
      Body({{10, 0xF0, 1, 2},
            {10, 0x40, 1, 2},
            {10, 0x91, 200, 255},
            {5, 0xC1, 130, 9},
            {5, 0xD1, 20, 99},
            {5, 0xE1, 0, 64}},
           {}, MidiFileType::kType0),
      B({0x1E, 0x91, 0x7F, 0x7F, 0x05, 0xC1, 0x7F, 0x05, 0xD1, 0x14, 0x05, 0xE1, 0x00, 0x40}));
}

TEST_F(MidiWriterTest, TrackLongerThanThirtyThousandBytesIsOneChunk) {
  Piece piece;
  Track t;
  t.settings.name = "Long";
  for (int i = 0; i < 6000; ++i) {  // about 50000 bytes with running status broken each time
    t.events.push_back({i == 0 ? 0 : 60, 0x90, static_cast<std::uint8_t>(40 + i % 40), 100});
    t.events.push_back({60, 0x80, static_cast<std::uint8_t>(40 + i % 40), 0});
  }
  piece.tracks = {t};
  const MidiFile file = WriteAndRead(piece, MidiFileType::kType1);
  ASSERT_EQ(file.tracks.size(), 2u);
  std::vector<MidiEvent> notes;
  for (const MidiEvent& e : file.tracks[1].events)
    if (e.status == 0x90 || e.status == 0x80) notes.push_back(e);
  ASSERT_EQ(notes.size(), 12000u);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].tick, static_cast<std::int64_t>(60 * i)) << i;
    EXPECT_EQ(notes[i].status, i % 2 == 0 ? 0x90 : 0x80) << i;
    EXPECT_EQ(notes[i].data[0], 40 + (i / 2) % 40) << i;
  }
  EXPECT_GT(files::ReadAll(OutPath())->size(), 48000u);
}

TEST_F(MidiWriterTest, StatusLinesAreShownAndEachCancels) {
  Piece piece;
  piece.tracks = {FluteTrack()};
  ASSERT_FALSE(Write(piece, MidiFileType::kType1).empty());
  const std::string writing = "Writing track to file " + OutPath();
  std::vector<std::string> texts;
  for (const auto& s : host.statuses) texts.push_back(s.text);
  EXPECT_THAT(texts, ElementsAre(writing, "Preparing MIDI data", "Writing MIDI data"));

  host.statuses.clear();
  ASSERT_FALSE(Write(piece, MidiFileType::kType0).empty());
  texts.clear();
  for (const auto& s : host.statuses) texts.push_back(s.text);
  EXPECT_THAT(texts, ElementsAre("Preparing MIDI data", writing, "Preparing MIDI data",
                                 "Writing MIDI data"));

  // A cancel at any of them stops the file, silently.
  for (auto type : {MidiFileType::kType1, MidiFileType::kType0}) {
    const int reports = type == MidiFileType::kType1 ? 3 : 4;
    for (int at = 1; at <= reports; ++at) {
      host.statuses.clear();
      host.cancelAtReport = at;
      EXPECT_TRUE(Write(piece, type).empty()) << at;
      EXPECT_EQ(host.statuses.size(), static_cast<std::size_t>(at));
    }
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(MidiWriterTest, WriteFailuresNameTheFileAndTheReason) {
  Piece piece;
  piece.tracks = {FluteTrack()};
  // The track file was never opened.
  MidiOutput output;
  ASSERT_TRUE(output.file.Open(OutPath()));
  const Track t = FluteTrack();
  EXPECT_FALSE(
      writer.WriteInstrumentTrack(1, MidiFileType::kType1, t.events, t.lyrics, t.settings, output));
  EXPECT_THAT(host.MessageIds(), ElementsAre(res::kCannotWrite));

  // A full disk shows when the output is flushed and closed.
  if (std::filesystem::exists("/dev/full")) {
    host.messages.clear();
    MidiOutput full;
    ASSERT_TRUE(full.file.Open("/dev/full"));
    ASSERT_TRUE(full.trackFile.Open(TrackPath()));
    ASSERT_TRUE(
        writer.WriteHeaderAndConductor(MidiFileType::kType1, piece.bars, piece.tempos, true, full));
    EXPECT_FALSE(AppendTrackFile(host, full));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Unable to write file /dev/full: No space left on device");
  }
}

TEST_F(MidiWriterTest, TrackNumbersOutsideTheInstrumentBuffersAreRefused) {
  MidiOutput output;
  ASSERT_TRUE(Open(output));
  for (int n : {0, 350, -1})
    EXPECT_FALSE(writer.WriteInstrumentTrack(n, MidiFileType::kType0, {}, {}, {}, output));
}

}  // namespace
}  // namespace vellumix::test
