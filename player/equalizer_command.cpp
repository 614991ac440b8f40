#include "player/equalizer_command.h"

#include <algorithm>

namespace player {

void ApplyEqualizer(audio::HSTREAM stream, std::span<const audio::HFX> effects,
                    std::span<const audio::ParamEqParams> bands) {
    if (stream == 0) return;
    // No stop first: a stop lets go of the sound queued for the card and starts the
    // stream's filters afresh, which is heard as a click at every slider step.
    const std::size_t n = std::min(effects.size(), bands.size());
    for (std::size_t band = 0; band < n; ++band)
        audio::SetEffectParameters(effects[band], &bands[band]);
    audio::PlayStream(stream, false);
}

}  // namespace player
