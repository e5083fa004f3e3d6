// The least a transcription of this design has to do, as a yardstick for bench/run: read the
// SCORE bytes of a list, write the intermediate files' exact lines with cheap fixed-point
// formatting, read them back and parse them, and write a MIDI file of the same size (to a hidden
// name, renamed into place). The lines come from a reference run, prepared beforehand.
//
//   vellumix_floor prepare REF_FOLDER REF_MIDI PREPARED   the .TMP files of a run, in numbers
//   vellumix_floor run PREPARED LIST OUT_FOLDER OUT_MIDI  the timed part
//   vellumix_floor check REF_FOLDER OUT_FOLDER            the written lines are the reference's
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  char chunk[1 << 16];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, n);
  std::fclose(f);
  return bytes;
}

bool WriteFile(const fs::path& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// "-12.5000" into units of 1/10000; false for anything else.
bool Fixed4(std::string_view word, std::int64_t& units) {
  const bool negative = !word.empty() && word[0] == '-';
  if (negative) word.remove_prefix(1);
  if (word.size() < 6 || word[word.size() - 5] != '.') return false;
  std::int64_t v = 0;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (i == word.size() - 5) continue;
    if (word[i] < '0' || word[i] > '9') return false;
    v = v * 10 + (word[i] - '0');
  }
  units = negative ? -v : v;
  return true;
}

void AppendFixed4(std::string& out, std::int64_t units) {
  char buf[32];
  char* p = buf + sizeof buf;
  const bool negative = units < 0;
  std::uint64_t u = negative ? static_cast<std::uint64_t>(-units) : static_cast<std::uint64_t>(units);
  *--p = ' ';
  for (int i = 0; i < 4; ++i, u /= 10) *--p = static_cast<char>('0' + u % 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (negative) *--p = '-';
  out.append(p, buf + sizeof buf);
}

// The prepared form: per file its name and lines; per line its numbers (each written with a
// blank after it) and the rest of the line as it stands.
struct Line {
  std::vector<std::int64_t> numbers;
  std::string rest;
};
struct TrackFile {
  std::string name;
  std::vector<Line> lines;
};

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T Take(const char*& p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  p += sizeof value;
  return value;
}

int Prepare(const fs::path& ref, const fs::path& midi, const fs::path& prepared) {
  std::string out;
  Put<std::uint64_t>(out, fs::file_size(midi));
  for (const auto& entry : fs::directory_iterator(ref)) {
    const std::string name = entry.path().filename().string();
    if (name == "NAMELIST.TMP" || entry.path().extension() != ".TMP") continue;
    const std::string text = ReadFile(entry.path());
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      std::string_view line(text.data() + pos, end - pos);
      Line l;
      for (;;) {
        const std::size_t blank = line.find(' ');
        std::int64_t units = 0;
        if (blank == std::string_view::npos || !Fixed4(line.substr(0, blank), units)) break;
        l.numbers.push_back(units);
        line.remove_prefix(blank + 1);
      }
      l.rest = line;
      lines.push_back(std::move(l));
      pos = end + 2;
    }
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(name.size()));
    out += name;
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(lines.size()));
    for (const Line& l : lines) {
      Put<std::uint8_t>(out, static_cast<std::uint8_t>(l.numbers.size()));
      for (std::int64_t n : l.numbers) Put(out, n);
      Put<std::uint32_t>(out, static_cast<std::uint32_t>(l.rest.size()));
      out += l.rest;
    }
  }
  return WriteFile(prepared, out) ? 0 : 1;
}

int Run(const fs::path& prepared, const fs::path& list, const fs::path& folder,
        const fs::path& midi) {
  // The SCORE files of the list ("path count" lines).
  std::uint64_t checksum = 0;
  const std::string entries = ReadFile(list);
  for (std::size_t pos = 0; pos < entries.size();) {
    std::size_t end = entries.find('\n', pos);
    if (end == std::string::npos) end = entries.size();
    const std::string line = entries.substr(pos, end - pos);
    pos = end + 1;
    const std::string bytes = ReadFile(line.substr(0, line.rfind(' ')));
    checksum += bytes.size();
  }

  const std::string data = ReadFile(prepared);
  const char* p = data.data();
  const char* const last = data.data() + data.size();
  const auto midiSize = Take<std::uint64_t>(p);
  std::vector<TrackFile> files;
  while (p < last) {
    TrackFile f;
    const auto nameSize = Take<std::uint32_t>(p);
    f.name.assign(p, nameSize);
    p += nameSize;
    f.lines.resize(Take<std::uint32_t>(p));
    for (Line& l : f.lines) {
      l.numbers.resize(Take<std::uint8_t>(p));
      for (auto& v : l.numbers) v = Take<std::int64_t>(p);
      const auto restSize = Take<std::uint32_t>(p);
      l.rest.assign(p, restSize);
      p += restSize;
    }
    files.push_back(std::move(f));
  }

  // Written, read back and parsed.
  std::string text;
  for (const TrackFile& f : files) {
    text.clear();
    for (const Line& l : f.lines) {
      for (std::int64_t n : l.numbers) AppendFixed4(text, n);
      text += l.rest;
      text += "\r\n";
    }
    // Written anew, as a run deletes its earlier files first: rewriting a file in place makes
    // ext4 put the old blocks on disk.
    std::error_code ec;
    fs::remove(folder / f.name, ec);
    if (!WriteFile(folder / f.name, text)) return 1;
  }
  for (const TrackFile& f : files) {
    const std::string back = ReadFile(folder / f.name);
    std::size_t pos = 0;
    while (pos < back.size()) {
      while (pos < back.size() && (back[pos] == ' ' || back[pos] == '\r' || back[pos] == '\n'))
        ++pos;
      std::size_t end = pos;
      while (end < back.size() && back[end] != ' ' && back[end] != '\r') ++end;
      std::int64_t units = 0;
      if (Fixed4(std::string_view(back.data() + pos, end - pos), units))
        checksum += static_cast<std::uint64_t>(units);
      pos = end;
    }
  }

  std::string bytes(midiSize, '\0');
  std::memcpy(bytes.data(), "MThd", 4);
  bytes[bytes.size() - 1] = static_cast<char>(checksum);
  std::string hidden = ".";
  hidden += midi.filename().string();
  hidden += ".part";
  const fs::path partial = midi.parent_path() / hidden;
  if (!WriteFile(partial, bytes)) return 1;
  fs::rename(partial, midi);
  return 0;
}

int Check(const fs::path& ref, const fs::path& folder) {
  int differing = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (ReadFile(entry.path()) != ReadFile(ref / entry.path().filename())) {
      std::cerr << entry.path().filename().string() << " differs\n";
      ++differing;
    }
  }
  return differing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "prepare") return Prepare(a[1], a[2], a[3]);
  if (a.size() == 5 && a[0] == "run") return Run(a[1], a[2], a[3], a[4]);
  if (a.size() == 3 && a[0] == "check") return Check(a[1], a[2]);
  std::cerr << "usage: vellumix_floor prepare REF_FOLDER REF_MIDI PREPARED\n"
               "       vellumix_floor run PREPARED LIST OUT_FOLDER OUT_MIDI\n"
               "       vellumix_floor check REF_FOLDER OUT_FOLDER\n";
  return 2;
}
