// The peaking equalizer: a sine at a band's centre comes out with the band's gain, one an
// octave away much less. Expected values come from the gains asked for, measured on the
// rendered sound.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <complex>

#include "audio/audio.h"
#include "audio/equalizer.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;

// RMS of the left channel after the filter has settled (the first 0.2 s skipped).
double RenderedRms(const std::string& path, const std::vector<ParamEqParams>& bands) {
    EXPECT_TRUE(OpenManualOutput(44100));
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    EXPECT_NE(s, 0u);
    EXPECT_TRUE(ResetStreamEffects(s));
    for (const ParamEqParams& band : bands) {
        const HFX fx = AddStreamEffect(s, FX_PARAMEQ, 1);
        EXPECT_NE(fx, 0u);
        EXPECT_TRUE(SetEffectParameters(fx, &band));
    }
    EXPECT_TRUE(PlayStream(s, false));
    std::vector<float> mix;
    AdvanceManualOutput(44100, &mix);
    CloseDevice();
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 8820; i < 44100; ++i, ++n) sum += double(mix[2 * i]) * mix[2 * i];
    return std::sqrt(sum / static_cast<double>(n));
}

double Db(double ratio) {
    return 20 * std::log10(ratio);
}

class Equalizer : public ::testing::TestWithParam<float> {};

TEST_P(Equalizer, SineAtTheCentreGetsTheBandsGain) {
    const float centre = GetParam();
    audio_test::TempFolder dir;
    const std::string path = dir.Path("sine.wav");
    ASSERT_TRUE(audio_test::WriteSound(path, audio_test::Sine(44100, 2, 1.0, centre, 0.1),
                                       SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const double reference = 0.1 / std::sqrt(2.0);
    for (float gain : {15.0f, 0.0f, -15.0f}) {
        const double rms = RenderedRms(path, {{centre, 10.0f, gain}});
        EXPECT_NEAR(Db(rms / reference), gain, 0.5) << "centre " << centre << " gain " << gain;
    }
}

INSTANTIATE_TEST_SUITE_P(Centres, Equalizer,
                         ::testing::Values(80.0f, 250.0f, 1000.0f, 4000.0f, 12000.0f, 16000.0f));

TEST(EqualizerBand, AnOctaveAwayMuchLessAndTwelveBandsTogether) {
    audio_test::TempFolder dir;
    const std::string path = dir.Path("sine.wav");
    ASSERT_TRUE(audio_test::WriteSound(path, audio_test::Sine(44100, 2, 1.0, 2000, 0.1),
                                       SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const double reference = 0.1 / std::sqrt(2.0);
    const double boosted = Db(RenderedRms(path, {{1000, 10, 15}}) / reference);
    const double cut = Db(RenderedRms(path, {{1000, 10, -15}}) / reference);
    EXPECT_GT(boosted, 0.5);
    EXPECT_LT(boosted, 6.0);
    EXPECT_LT(cut, -0.5);
    EXPECT_GT(cut, -6.0);
    // The player's twelve bands, all flat: the sound passes unchanged.
    std::vector<ParamEqParams> flat;
    for (float c : {80, 100, 250, 500, 750, 1000, 1500, 2500, 4000, 8000, 12000, 16000})
        flat.push_back({c, 10, 0});
    EXPECT_NEAR(Db(RenderedRms(path, flat) / reference), 0.0, 0.01);
}

TEST(EqualizerBand, ParametersOutsideTheRangeAreRefused) {
    audio_test::TempFolder dir;
    const std::string path = dir.Path("sine.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::Sine(44100, 2, 0.1, 1000, 0.1)));
    ASSERT_TRUE(OpenManualOutput(44100));
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    const HFX fx = AddStreamEffect(s, FX_PARAMEQ, 1);
    ASSERT_NE(fx, 0u);
    const ParamEqParams bad[] = {{79, 10, 0},           {16001, 10, 0},    {1000, 0.5f, 0},
                                 {1000, 37, 0},         {1000, 10, 15.5f}, {1000, 10, -16},
                                 {std::nanf(""), 10, 0}};
    for (const ParamEqParams& p : bad) EXPECT_FALSE(SetEffectParameters(fx, &p));
    EXPECT_FALSE(SetEffectParameters(fx, nullptr));
    const ParamEqParams good{80, 10, -15};
    EXPECT_TRUE(SetEffectParameters(fx, &good));
    // Resetting removes the effects: their handles stop working.
    EXPECT_TRUE(ResetStreamEffects(s));
    EXPECT_FALSE(SetEffectParameters(fx, &good));
    // Decoding streams take no effects.
    const HSTREAM d =
        OpenFileStream(false, path, 0, 0, STREAM_DECODE | STREAM_PRESCAN | SAMPLE_FLOAT);
    EXPECT_EQ(AddStreamEffect(d, FX_PARAMEQ, 1), 0u);
    CloseDevice();
}

TEST(EqualizerBand, ResponseAtTheCentreAndTheBandEdgesIsTheCookbooks) {
    // |H| evaluated independently on the unit circle: the gain at the centre, half the
    // gain (in dB) at the edges 5 semitones either side, for a 10-semitone band.
    const double rate = 44100, centre = 1000, gain = 12;
    const BiquadCoefficients c = PeakingCoefficients(rate, centre, 10, gain);
    auto response = [&](double f) {
        const std::complex<double> z = std::polar(1.0, -2 * M_PI * f / rate);
        return Db(std::abs((c.b0 + c.b1 * z + c.b2 * z * z) / (1.0 + c.a1 * z + c.a2 * z * z)));
    };
    EXPECT_NEAR(response(centre), gain, 1e-9);
    // The cookbook's BW is set in the digital domain through w0/sin(w0): close to the
    // analogue edges at 1 kHz.
    EXPECT_NEAR(response(centre * std::pow(2.0, 5.0 / 12)), gain / 2, 0.3);
    EXPECT_NEAR(response(centre * std::pow(2.0, -5.0 / 12)), gain / 2, 0.3);
    EXPECT_NEAR(response(20), 0, 0.1);
    EXPECT_NEAR(response(20000), 0, 0.1);
}

}  // namespace
