// Specials in force over a span: trills, hairpins, accelerando, ritenuto, named specials and
// tremolos.
#include "engine/engine.h"

namespace vellumix {

// An ornament line of kind 0: a trill into slot 0.
void Engine::StartTrill(const TrackLine&) {}
// A line whose right step is 999: a hairpin into slot 1.
void Engine::StartHairpin(const TrackLine&) {}
// A beam read as a one-note or two-note tremolo into slot 4.
void Engine::StartTremolo(const TrackLine&) {}
// Each returns true when its pattern sounds instead of the plain note.
bool Engine::PlayHairpin(const SoundingNote&) {
  return false;
}
bool Engine::PlaySlotSpecial(const SoundingNote&) {
  return false;
}
bool Engine::PlayTrill(const SoundingNote&) {
  return false;
}
bool Engine::PlayTremolo(const SoundingNote&) {
  return false;
}

}  // namespace vellumix
