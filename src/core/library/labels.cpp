#include "library/labels.h"

#include <cstdio>

namespace vellumix {
namespace {

std::string Flag(std::int32_t v) { return v != 0 ? "on" : "off"; }

std::string Num(std::int32_t v, const char* unit) {
  std::string s = std::to_string(v);
  if (unit && *unit) s += std::string(" ") + unit;
  return s;
}

}  // namespace

std::vector<LabelledValue> DescribeOptions(const Options& o) {
  return {
      {"Transcribe all instruments", Flag(o.transcribeAllInstruments)},
      {"Only instruments", std::to_string(o.firstInstrument)},
      {"to", std::to_string(o.lastInstrument)},
      {"Midi file type", o.midiFileType},
      {"Delete .tmp files after transcription", Flag(o.deleteTemporaryFiles)},
      {"code 9 symbols", Flag(o.interpretCode9Symbols)},
      {"special symbols", Flag(o.interpretSpecialSymbols)},
      {"repeat barlines", Flag(o.interpretRepeatBarlines)},
      {"tremolos", Flag(o.interpretTremolos)},
      {"octava", Flag(o.interpretOctava)},
      {"graphic pedalling", Flag(o.interpretGraphicPedalling)},
      {"text symbols", Flag(o.interpretTextSymbols)},
      {"metronome marks", Flag(o.interpretMetronomeMarks)},
      {"lyrics", Flag(o.interpretLyrics)},
      {"Remove punctuation when converting lyrics", Flag(o.removeLyricPunctuation)},
      {"Interpret multiple systems", Flag(o.interpretMultipleSystems)},
      {"Ignore cue notes", Flag(o.ignoreCueNotes)},
      {"Auto playback after transcription", Flag(o.autoPlayback)},
      {"Duplicate dynamics on braced staves", Flag(o.duplicateDynamicsOnBracedStaves)},
      {"Open / switch to notation on playback", Flag(o.switchToNotationOnPlayback)},
      {"Sort files in filelist", Flag(o.sortFileList)},
      {"Read Code 4 lines as ties; accidentals on all notes; no naturals",
       Flag(o.code4LinesAsTies)},
      {"Use Explorer-style Filelist Window (allows long filenames with spaces which are "
       "implemented in Davidare)",
       Flag(o.explorerFileList)},
      {"Prompt when a symbol used is missing from the library", Flag(o.promptMissingSymbol)},
      {"Use Davidare's stave transposition feature (p13) [overrides template instruments and "
       "default transposition]",
       Flag(o.useStaveTransposition)},
  };
}

std::vector<LabelledValue> DescribeDefaults(const Defaults& d) {
  char width[32];
  std::snprintf(width, sizeof width, "%g Score units", static_cast<double>(d.tieHorizontalWidth));
  return {
      {"Default dynamic", Num(d.dynamic, "units")},
      {"Default note length", Num(d.noteLength, "%")},
      {"Default transposition", Num(d.transposition, "half-tones")},
      {"Default tempo for playback", Num(d.tempo, "mm")},
      {"Grace notes on the beat", Flag(d.graceNotesOnBeat)},
      {"Grace note length", Num(d.graceNoteLength, "ticks")},
      {"Tie vertical search width", Num(d.tieVerticalWidth, "half-tones")},
      {"Tie horizontal search width", width},
      {"Relative event rhythmic unit", Num(d.relativeEventUnit, "ticks")},
      {"Lyrics vertical position", Num(d.lyricsVerticalPosition, "Score units")},
      {"Lyrics vertical search width", Num(d.lyricsVerticalWidth, "Score units")},
  };
}

}  // namespace vellumix
