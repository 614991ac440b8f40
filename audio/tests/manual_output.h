// What the engine's tests through the manual output share: a fixture that opens it and plays
// sound files written into a temporary folder, and the size of a click in what comes out.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/tests/sound_files.h"

namespace audio_test {

inline constexpr int kManualOutputRate = 44100;

class ManualOutputTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(audio::OpenManualOutput(kManualOutputRate)); }
    void TearDown() override { audio::CloseDevice(); }

    // `signal` written as a float WAV named `name`, opened as a stream.
    audio::HSTREAM Open(const std::string& name, const Signal& signal) {
        const std::string path = dir.Path(name);
        EXPECT_TRUE(WriteSound(path, signal, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
        EXPECT_NE(s, 0u);
        return s;
    }

    TempFolder dir;
};

// Largest step between neighbouring samples of the left channel of interleaved stereo `mix`:
// a click is a step far above what the tone itself makes.
inline float LargestStep(const std::vector<float>& mix) {
    float largest = 0;
    for (std::size_t i = 2; i < mix.size(); i += 2)
        largest = std::max(largest, std::abs(mix[i] - mix[i - 2]));
    return largest;
}

}  // namespace audio_test
