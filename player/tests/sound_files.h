// Sound files for the waveform tests, written at run time with libsndfile.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// Writes `frames` frames of `channels` channels at `rate`; sample(frame, channel) gives
// each value. Float WAV by default, so values such as 0.5 arrive exactly.
inline bool WriteSoundFile(const std::string& path, int rate, int channels, long frames,
                           const std::function<float(long, int)>& sample,
                           int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    std::vector<float> block;
    const long step = 65536;
    for (long start = 0; start < frames; start += step) {
        const long n = std::min(step, frames - start);
        block.resize(static_cast<std::size_t>(n * channels));
        for (long f = 0; f < n; ++f)
            for (int c = 0; c < channels; ++c)
                block[static_cast<std::size_t>(f * channels + c)] = sample(start + f, c);
        sf_writef_float(file, block.data(), n);
    }
    return sf_close(file) == 0;
}
