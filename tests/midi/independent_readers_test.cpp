// Files written by the writer, read back by midicsv and by python3-mido: both must see the events,
// ticks, tempos and tracks that were written.
#include <filesystem>
#include <sstream>

#include "midi_fixture.h"
#include "run_program.h"

namespace vellumix::test {
namespace {

constexpr const char* kMidicsv = "/usr/bin/midicsv";
constexpr const char* kPython = "/usr/bin/python3";

// Each message as "track tick hex-bytes", end of track included, after a "type division count"
// line. mido decodes every meta event and encodes it again, so a byte it misread shows.
constexpr const char* kMidoScript = R"(
import sys, mido
m = mido.MidiFile(sys.argv[1])
print(m.type, m.ticks_per_beat, len(m.tracks))
for i, t in enumerate(m.tracks):
    tick = 0
    for msg in t:
        tick += msg.time
        print(i, tick, msg.bin().hex())
)";

Piece RichPiece() {
  Piece piece;
  piece.bars = {Bar(3.0f, 3, 2, 4), Bar(3.0f), Bar(1.5f, 3, 3, 3), Bar(3.0f, 6, 3)};
  piece.tempos = {{0, 96, 0}, {200, 80, 0}, {400, 70, -1}, {900, 132, 0}};
  Track violin;
  violin.number = 1;
  violin.settings = {
      .port = 1, .channel = 0, .program = 40, .volume = 110, .pan = 30, .name = "Violin"};
  violin.events = {{0, 0x90, 76, 90}, {120, 0x80, 76, 0}, {0, 0x90, 74, 85},    {60, 0xE0, 0, 80},
                   {60, 0x80, 74, 0}, {0, 0x90, 72, 80},  {0, 0x90, 79, 60},    {360, 0x80, 72, 0},
                   {0, 0x80, 79, 0},  {0, 0xB0, 64, 127}, {180, 0x90, 71, 100}, {300, 0x80, 71, 0}};
  violin.lyrics = {{0, "Glo"}, {120, "ri"}, {240, std::string(130, 'a')}, {1100, "late"}};
  Track drums;
  drums.number = 7;
  drums.settings = {
      .port = 0, .channel = 9, .program = 128 * 2 + 1, .volume = 127, .pan = 64, .name = ""};
  for (int i = 0; i < 12; ++i) {
    drums.events.push_back({i == 0 ? 0 : 60, 0x99, static_cast<std::uint8_t>(i % 2 ? 38 : 36),
                            static_cast<std::uint8_t>(70 + i)});
    drums.events.push_back({60, 0x89, static_cast<std::uint8_t>(i % 2 ? 38 : 36), 0});
  }
  drums.events.push_back({0, 0xC9, 5, 0});
  drums.events.push_back({30, 0xD9, 40, 0});
  piece.tracks = {violin, drums};
  return piece;
}

std::string Hex(const Bytes& bytes) {
  std::string s;
  for (std::uint8_t b : bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

// What mido should print, from our own reading of the file.
std::string AsMido(const MidiFile& file) {
  std::ostringstream out;
  out << file.format << " " << file.division << " " << file.tracks.size() << "\n";
  for (std::size_t i = 0; i < file.tracks.size(); ++i) {
    for (const MidiEvent& e : file.tracks[i].events) {
      Bytes bytes = {e.status};
      if (e.status == 0xFF) {
        bytes.push_back(e.metaType);
        std::size_t n = e.data.size();
        Bytes length = {static_cast<std::uint8_t>(n & 0x7F)};
        for (n >>= 7; n > 0; n >>= 7) length.insert(length.begin(), 0x80 | (n & 0x7F));
        bytes.insert(bytes.end(), length.begin(), length.end());
      }
      bytes.insert(bytes.end(), e.data.begin(), e.data.end());
      out << i << " " << e.tick << " " << Hex(bytes) << "\n";
    }
    out << i << " " << file.tracks[i].endTick << " ff2f00\n";
  }
  return out.str();
}

std::string Quoted(const std::vector<std::uint8_t>& text) {
  std::string out = "\"";
  out.append(text.begin(), text.end());
  out += '"';
  return out;
}

// What midicsv should print, from our own reading of the file.
std::string AsMidicsv(const MidiFile& file) {
  std::ostringstream out;
  out << "0, 0, Header, " << file.format << ", " << file.tracks.size() << ", " << file.division
      << "\n";
  for (std::size_t i = 0; i < file.tracks.size(); ++i) {
    const std::size_t n = i + 1;
    out << n << ", 0, Start_track\n";
    for (const MidiEvent& e : file.tracks[i].events) {
      out << n << ", " << e.tick << ", ";
      const auto& d = e.data;
      const int ch = e.status & 0x0F;
      if (e.status == 0xFF) {
        switch (e.metaType) {
          case 0x58:
            out << "Time_signature, " << +d[0] << ", " << +d[1] << ", " << +d[2] << ", " << +d[3];
            break;
          case 0x51:
            out << "Tempo, " << ((d[0] << 16) | (d[1] << 8) | d[2]);
            break;
          case 0x59:
            out << "Key_signature, " << +static_cast<std::int8_t>(d[0]) << ", "
                << (d[1] ? "\"minor\"" : "\"major\"");
            break;
          case 0x01:
            out << "Text_t, " << Quoted(d);
            break;
          case 0x03:
            out << "Title_t, " << Quoted(d);
            break;
          case 0x05:
            out << "Lyric_t, " << Quoted(d);
            break;
          case 0x21:
            out << "MIDI_port, " << +d[0];
            break;
          default:
            out << "?";
            break;
        }
      } else {
        switch (e.status & 0xF0) {
          case 0x80:
            out << "Note_off_c, " << ch << ", " << +d[0] << ", " << +d[1];
            break;
          case 0x90:
            out << "Note_on_c, " << ch << ", " << +d[0] << ", " << +d[1];
            break;
          case 0xB0:
            out << "Control_c, " << ch << ", " << +d[0] << ", " << +d[1];
            break;
          case 0xC0:
            out << "Program_c, " << ch << ", " << +d[0];
            break;
          case 0xD0:
            out << "Channel_aftertouch_c, " << ch << ", " << +d[0];
            break;
          case 0xE0:
            out << "Pitch_bend_c, " << ch << ", " << (d[0] | (d[1] << 7));
            break;
          default:
            out << "?";
            break;
        }
      }
      out << "\n";
    }
    out << n << ", " << file.tracks[i].endTick << ", End_track\n";
  }
  out << "0, 0, End_of_file\n";
  return out.str();
}

class IndependentReaderTest : public MidiWriterTest,
                              public ::testing::WithParamInterface<MidiFileType> {
 protected:
  // Writes the rich piece and checks our own reading of it before anyone else's.
  MidiFile WriteRichPiece() {
    const Bytes bytes = Write(RichPiece(), GetParam());
    EXPECT_FALSE(bytes.empty());
    auto file = ReadMidiFile(bytes);
    EXPECT_TRUE(file.has_value());
    if (!file) return {};
    const bool type1 = GetParam() == MidiFileType::kType1;
    EXPECT_EQ(file->format, type1 ? 1 : 0);
    EXPECT_EQ(file->tracks.size(), type1 ? 3u : 1u);
    EXPECT_EQ(file->declaredTracks, static_cast<int>(file->tracks.size()));
    std::size_t notes = 0, lyrics = 0, tempos = 0;
    for (const MidiTrack& t : file->tracks) {
      EXPECT_TRUE(t.endOfTrack);
      for (const MidiEvent& e : t.events) {
        notes += (e.status & 0xE0) == 0x80;
        lyrics += e.status == 0xFF && e.metaType == 0x05;
        tempos += e.status == 0xFF && e.metaType == 0x51;
      }
    }
    EXPECT_EQ(notes, 10u + 24u);
    EXPECT_EQ(lyrics, 3u);  // "late" at 1100 comes after the violin's last event
    // 96 at 0, 80 at 200, 132 at 900 (the repeat's second pass); not the cancelled 70.
    EXPECT_EQ(tempos, 3u);
    return *file;
  }
};

TEST_P(IndependentReaderTest, MidoReadsWhatWasWritten) {
  if (!std::filesystem::exists(kPython) || RunProgram(kPython, {"-c", "import mido"}).status != 0)
    GTEST_SKIP() << "python3-mido is not installed";
  const MidiFile file = WriteRichPiece();
  const ProgramResult r = RunProgram(kPython, {"-c", kMidoScript, OutPath()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, AsMido(file));
  EXPECT_NE(r.out.find(" 0 ff5103098968\n"), std::string::npos);  // 96 bpm
}

TEST_P(IndependentReaderTest, MidicsvReadsWhatWasWritten) {
  if (!std::filesystem::exists(kMidicsv)) GTEST_SKIP() << "midicsv is not installed";
  const MidiFile file = WriteRichPiece();
  const ProgramResult r = RunProgram(kMidicsv, {OutPath()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, AsMidicsv(file));
  EXPECT_NE(r.out.find(", 0, Tempo, 625000\n"), std::string::npos);  // 96 bpm
  EXPECT_NE(r.out.find(", 200, Tempo, 750000\n"), std::string::npos);
  EXPECT_NE(r.out.find(", 900, Tempo, 454545\n"), std::string::npos);
  EXPECT_EQ(r.out.find("Tempo, 857142"), std::string::npos);  // the cancelled one
}

INSTANTIATE_TEST_SUITE_P(BothTypes, IndependentReaderTest,
                         ::testing::Values(MidiFileType::kType1, MidiFileType::kType0),
                         [](const auto& info) {
                           return info.param == MidiFileType::kType1 ? "Type1" : "Type0";
                         });

}  // namespace
}  // namespace vellumix::test
