// The equalizer command on the playback stream (`ApplyEqualizer`): every band set, and the
// output left playing. No widgets; the window passes the sliders' settings.
#pragma once

#include <span>

#include "audio/audio.h"

namespace player {

// Sets band i's effect to `bands[i]` (centre, bandwidth, gain), then plays the stream
// from where it is. A stream that is playing goes on without a break: its filters glide
// to the new gains, nothing queued is dropped or played again. A paused or stopped one
// starts playing from its position; one at its end stays stopped. Stream 0 does nothing.
void ApplyEqualizer(audio::HSTREAM stream, std::span<const audio::HFX> effects,
                    std::span<const audio::ParamEqParams> bands);

}  // namespace player
