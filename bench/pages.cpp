#include "pages.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "score_builder.h"

namespace vellumix::bench {
namespace {

constexpr int kBars = 8;
constexpr double kStart = 22.0;  // after clef, key and time signature
constexpr double kBarWidth = 21.5;
constexpr int kPagesPerTune = 100;

void Line(std::string& out, const char* format, double a, double b = 0, double c = 0,
          double d = 0) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, a, b, c, d);
  out += buffer;
}

}  // namespace

int NotesPerPage() {
  return kBars * (8 + 4);
}

std::string PageText(int page) {
  std::string t;
  // Staves, clefs, key and time signatures.
  t += "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 1\n";
  t += "3 1 1.5 0 0\n3 2 1.5 0 1\n";
  t += "17 1 8 0 1\n17 2 8 0 1\n";
  t += "18 1 14 0 4 4\n18 2 14 0 4 4\n";
  static const int kDynamics[] = {53, 55, 56, 54, 57, 52};
  for (int bar = 0; bar < kBars; ++bar) {
    const double x0 = kStart + bar * kBarWidth;
    const double step = kBarWidth / 8.0;
    // Treble: eight eighth notes, beamed in fours, a slur over the first group.
    for (int n = 0; n < 8; ++n) {
      const int pitch = 4 + (page * 3 + bar * 2 + n * (n % 3 == 0 ? 2 : 1)) % 8;
      Line(t, "1 1 %.4f %.0f 20 0 0.5\n", x0 + n * step, pitch);
    }
    for (int g = 0; g < 2; ++g) {
      const double left = x0 + g * 4 * step;
      Line(t, "6 1 %.4f 14 14 %.4f 0 -1\n", left, left + 3 * step);
    }
    if (bar % 2 == 0) Line(t, "5 1 %.4f 12 12 %.4f 2 -1\n", x0, x0 + 3 * step);
    // Bass: four quarter notes; the last two tied in odd bars.
    for (int n = 0; n < 4; ++n) {
      const int pitch =
          (bar % 2 == 1 && n == 3) ? 2 + (page + bar + 2) % 5 : 2 + (page + bar + n) % 5;
      Line(t, "1 2 %.4f %.0f 10 0 1\n", x0 + n * 2 * step, pitch);
    }
    if (bar % 2 == 1) {
      const int pitch = 2 + (page + bar + 2) % 5;
      Line(t, "5 2 %.4f %.0f %.0f %.4f -2 -2\n", x0 + 4 * step, pitch - 1, pitch - 1,
           x0 + 6 * step);
    }
    if (bar % 4 == 0) Line(t, "9 2 %.4f -3 %.0f\n", x0, kDynamics[(page + bar / 4) % 6]);
    Line(t, "14 1 %.4f 2 0\n", x0 + kBarWidth - 1.0);
  }
  return t;
}

namespace {

// A diatonic step as ABC spells it: 0 is C4 ("C"), 7 is C5 ("c"), -7 is C3 ("C,").
std::string AbcNote(int step) {
  const int octave = step >= 0 ? step / 7 : -((6 - step) / 7);
  std::string note(1, "CDEFGAB"[step - octave * 7]);
  if (octave >= 1) note[0] = static_cast<char>(note[0] - 'A' + 'a');
  for (int o = 1; o < octave; ++o) note += '\'';
  for (int o = 0; o > octave; --o) note += ',';
  return note;
}

}  // namespace

// Staff steps as the SCORE pages use them: treble 1 is C4, bass 1 is E2.
std::string PageAbc(int page) {
  static const char* const kMarks[] = {"p", "f", "ff", "mf", "fff", "mp"};
  std::string treble, bass;
  for (int bar = 0; bar < kBars; ++bar) {
    for (int n = 0; n < 8; ++n) {
      const int pitch = 4 + (page * 3 + bar * 2 + n * (n % 3 == 0 ? 2 : 1)) % 8;
      if (n == 0 && bar % 2 == 0) treble += '(';
      treble += AbcNote(pitch - 1);
      if (n == 3 && bar % 2 == 0) treble += ')';
      if (n == 3) treble += ' ';
    }
    treble += " | ";
    if (bar % 4 == 0) bass += std::string("!") + kMarks[(page + bar / 4) % 6] + "!";
    for (int n = 0; n < 4; ++n) {
      const int pitch =
          (bar % 2 == 1 && n == 3) ? 2 + (page + bar + 2) % 5 : 2 + (page + bar + n) % 5;
      bass += AbcNote(pitch - 1 + 2 - 14) + "2";
      if (bar % 2 == 1 && n == 2) bass += '-';
      bass += ' ';
    }
    bass += "| ";
  }
  return "V:1\n" + treble + "\nV:2\n" + bass + "\n";
}

std::string WritePages(const std::string& folder, int count) {
  std::filesystem::create_directories(folder);
  const std::string list = folder + "/pages.lst";
  std::ofstream out(list, std::ios::binary);
  for (int page = 0; page < count; ++page) {
    char name[32];
    std::snprintf(name, sizeof name, "page%04d.mus", page + 1);
    const std::string path = folder + "/" + name;
    std::string error;
    auto bytes = test::BuildScoreFile(PageText(page), &error);
    if (!bytes || !files::WriteAtomic(path, *bytes)) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
      return {};
    }
    out << path << " 1\r\n";
  }
  // abc2midi stops writing a file at about 500 KB, so every kPagesPerTune pages are a tune (and a
  // MIDI file) of their own.
  std::ofstream abc(folder + "/pages.abc", std::ios::binary);
  for (int page = 0; page < count; ++page) {
    if (page % kPagesPerTune == 0)
      abc << (page ? "\n" : "") << "X:" << page / kPagesPerTune + 1
          << "\nT:Pages\nM:4/4\nL:1/8\nQ:1/4=120\nV:1 clef=treble\nV:2 clef=bass\nK:G\n";
    abc << PageAbc(page);
  }
  return out && abc ? list : std::string();
}

bool WriteCollection(const std::string& folder, int count) {
  for (int page = 0; page < count; ++page) {
    char word[4] = {};
    for (int n = page, i = 2; i >= 0; --i, n /= 26) word[i] = static_cast<char>('a' + n % 26);
    char book[16];
    std::snprintf(book, sizeof book, "book%02d", page / 100 + 1);
    const std::string dir = folder + "/" + book;
    std::filesystem::create_directories(dir);
    // The name ends in a letter that never changes, so the grouping rule finds no next page.
    const std::string path = dir + "/tune-" + std::string(word) + "x.mus";
    std::string error;
    auto bytes = test::BuildScoreFile(PageText(page), &error);
    if (!bytes || !files::WriteAtomic(path, *bytes)) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace vellumix::bench
