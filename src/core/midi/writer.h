// The Standard MIDI File writer: builds the conductor and instrument tracks from the engine's
// records in per-track byte buffers and writes the file in two stages, the track chunks through
// the temporary track file and the header and conductor into the .mid file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/events.h"
#include "platform/host.h"

namespace vellumix {

// A binary file opened for writing by the caller of the writer; it closes itself.
class OutputFile {
 public:
  // Creates or empties `path`; false when it can't be opened. Messages name it `shown` (the
  // file the user asked for, when `path` is a partial file standing in for it) or `path`.
  bool Open(const std::filesystem::path& path, const std::string& shown = {});
  bool IsOpen() const { return file_ != nullptr; }
  // The path as messages show it.
  const std::string& Path() const { return path_; }
  // False when not every byte was written.
  bool Write(std::span<const std::uint8_t> bytes);
  // Flushes and closes; false when buffered bytes could not be written.
  bool Close();

 private:
  struct Closer {
    void operator()(std::FILE* f) const;
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::string path_;
};

// The two files of one output: the .mid file and the temporary track file ("%sVLMIXMID.TMP")
// that holds the track chunks until they are copied behind the header.
struct MidiOutput {
  OutputFile file;
  OutputFile trackFile;
};

// Closes the temporary track file, appends its content to the .mid file in 4096-byte blocks and
// closes the .mid file. False after message 10 (or 9 when the track file can't be read back).
bool AppendTrackFile(Host& host, MidiOutput& output);

enum class MidiFileType { kType0 = 0, kType1 = 1 };

// The "Midi file type" option: "Type 0" is Type 0, anything else Type 1.
MidiFileType FileTypeFromOption(std::string_view option);

// What a track's set-up events say. Values out of their MIDI range are clamped into it.
struct TrackSettings {
  std::uint8_t port = 0;
  int channel = 0;   // 0..15
  int program = 0;   // bank * 128 + program
  int volume = 100;  // 0..127
  int pan = 64;      // 0..127
  std::string name;  // no track-name event when empty
};

// Track buffer numbers.
inline constexpr int kConductorBuffer = 0;
inline constexpr int kFirstInstrumentBuffer = 1;
inline constexpr int kLastInstrumentBuffer = 349;
inline constexpr int kMergeBuffer = 350;  // the Type 0 merge's output
inline constexpr int kTrackBufferCount = 360;

// The largest delta time a variable-length quantity can hold in the standard's four bytes.
inline constexpr std::int64_t kMaxVarLen = 0x0FFFFFFF;

// The document's MIDI output subsystem. Calling order for one file:
//   Type 1: WriteInstrumentTrack for each track, then WriteHeaderAndConductor, AppendTrackFile.
//   Type 0: WriteInstrumentTrack for each track, WriteHeaderAndConductor, MergeTracks,
//           AppendTrackFile.
// Every operation that returns bool answers false on cancel (no message) or after message 10.
class MidiWriter {
 public:
  explicit MidiWriter(Host& host);
  MidiWriter(const MidiWriter&) = delete;
  MidiWriter& operator=(const MidiWriter&) = delete;

  // Empties every buffer: the start of a new output file, or the end of an abandoned one.
  void Reset();

  // Builds instrument track `number` (1..349) in its buffer: set-up events, the events (deltas
  // in order, summing to absolute ticks) and the lyrics (absolute ticks, ascending). Type 1 also
  // writes its chunk to the temporary track file; Type 0 keeps it for MergeTracks.
  bool WriteInstrumentTrack(int number, MidiFileType type, std::span<const CMidiDataEvent> events,
                            std::span<const CLyricEvent> lyrics, const TrackSettings& settings,
                            MidiOutput& output);
  // Writes the header to the .mid file and builds the conductor track from the bars (walked
  // through their repeats when `repeatBarlines`) and the tempo list (ascending ticks). Type 1
  // writes the conductor chunk to the .mid file; Type 0 keeps it for MergeTracks.
  bool WriteHeaderAndConductor(MidiFileType type, std::span<const CBar> bars,
                               std::span<const CTempoEvent> tempos, bool repeatBarlines,
                               MidiOutput& output);
  // Type 0: merges the conductor and instrument buffers into one chunk in the track file.
  bool MergeTracks(MidiOutput& output);

  // Appends `value` as a variable-length quantity, limited to 0..kMaxVarLen.
  void WriteVarLen(std::int64_t value, int buffer);
  // Appends a time-signature event to the conductor buffer; false (nothing written) when the
  // numerator or the denominator power can't be a time signature.
  bool WriteTimeSignature(std::int64_t delta, int numerator, int denominatorPower);
  // Appends a tempo event to the conductor buffer.
  void WriteTempo(std::int64_t delta, int bpm);

  // The bytes built so far in buffer `index`.
  const std::vector<std::uint8_t>& TrackBuffer(int index) const;
  // Instrument chunks written to the track file for the file whose header is still to come.
  int InstrumentChunks() const { return instrumentChunks_; }

 private:
  bool Status(std::string_view text);
  bool WriteChunk(OutputFile& file, std::vector<std::uint8_t>& body);
  void WriteConductor(std::span<const CBar> bars, std::span<const CTempoEvent> tempos,
                      bool repeatBarlines);

  Host& host_;
  // Each buffer is one stream however long it grows; the file holds the same bytes as a chain of
  // fixed blocks would.
  std::array<std::vector<std::uint8_t>, kTrackBufferCount> buffers_;
  int instrumentChunks_ = 0;
};

// Microseconds per quarter note for a tempo in quarter notes per minute, as a tempo event holds
// it: 500000 for a tempo of 0 or less, limited to what three bytes hold.
std::uint32_t MicrosecondsPerQuarter(int bpm);
// The clocks-per-click byte of a time signature.
std::uint8_t ClocksPerClick(int numerator, int denominatorPower);
// Ticks of a length in quarter notes, truncated; 0 for a negative or not-a-number length, at
// most kMaxVarLen.
std::int64_t LengthToTicks(float quarters);

}  // namespace vellumix
