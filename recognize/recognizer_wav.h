// The recording as recognisers want it: 16 kHz, mono, 16-bit PCM WAV, made by our own engine
// so that every format the player opens can be recognised.
#pragma once

#include <QString>
#include <atomic>

namespace recognize {

inline constexpr int kRecognizerRate = 16000;

// Decodes `recording`, mixes it down to mono, resamples it to 16 kHz and writes `wav`.
// Returns the seconds written. Throws exchange::ExchangeError (in Russian) when the recording
// does not decode or the file cannot be written; stops early, throwing, when `cancel` is set.
// Memory stays bounded whatever the length. Any thread.
double WriteRecognizerWav(const QString& recording, const QString& wav,
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace recognize
