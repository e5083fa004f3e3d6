// Symbol rules, tempo marks and lyrics.
#include "engine/engine.h"

namespace vellumix {

// Symbols, texts, articulations, rest fermatas and special accidentals: their rules.
void Engine::ApplySymbolRules(const TrackLine&) {}
// A text in the lyric band, or a hyphen line; true when the item was taken as lyric.
bool Engine::ConvertLyric(const TrackLine&) {
  return false;
}

}  // namespace vellumix
