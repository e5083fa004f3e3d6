// The FluidSynth functions playback uses, looked up when playback is first needed, so that the
// programs start without loading the synthesizer and the many libraries it brings (transcribing
// a page takes less time than linking them).
#pragma once

#include <fluidsynth.h>

#include <string>

namespace vellumix::playback {

#define VELLUMIX_FLUID_FUNCTIONS(X)                                                             \
  X(new_fluid_settings)                                                                         \
  X(delete_fluid_settings) X(fluid_settings_setstr) X(fluid_settings_setnum) X(new_fluid_synth) \
      X(delete_fluid_synth) X(fluid_synth_sfload) X(fluid_synth_all_notes_off)                  \
          X(fluid_synth_all_sounds_off) X(fluid_synth_write_float) X(fluid_synth_write_s16)     \
              X(new_fluid_audio_driver) X(delete_fluid_audio_driver) X(new_fluid_player)        \
                  X(delete_fluid_player) X(fluid_player_add) X(fluid_player_play)               \
                      X(fluid_player_stop) X(fluid_player_seek) X(fluid_player_set_tempo)       \
                          X(fluid_player_get_current_tick) X(fluid_player_get_status)           \
                              X(fluid_set_log_function)

struct FluidApi {
#define VELLUMIX_FLUID_MEMBER(name) decltype(&::name) name = nullptr;
  VELLUMIX_FLUID_FUNCTIONS(VELLUMIX_FLUID_MEMBER)
#undef VELLUMIX_FLUID_MEMBER
};

// FluidSynth's functions, loaded on the first call; nothing (and `error` says why) when the
// library is not installed or lacks one of them.
const FluidApi* LoadFluidSynth(std::string& error);

}  // namespace vellumix::playback
