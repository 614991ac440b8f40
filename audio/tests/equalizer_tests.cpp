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

namespace {

// The largest step from one sample to the next on the left channel of `mix`.
double LargestStep(const std::vector<float>& mix, std::size_t fromFrame, std::size_t toFrame) {
    double largest = 0;
    for (std::size_t i = std::max<std::size_t>(fromFrame, 1); i < toFrame; ++i)
        largest = std::max(largest, std::abs(double(mix[2 * i]) - mix[2 * i - 2]));
    return largest;
}

}  // namespace

TEST(EqualizerBand, MovingBandsResettingAndDefaultsDuringATonNeverClick) {
    // A 1 kHz tone under the player's 1000 Hz band: the band moved in jumps while it
    // plays, as slider clicks and "Значения по умолчанию" do, and removed with a reset.
    audio_test::TempFolder dir;
    const std::string path = dir.Path("tone.wav");
    const double amplitude = 0.5;
    ASSERT_TRUE(audio_test::WriteSound(path, audio_test::Sine(44100, 2, 4.0, 1000, amplitude),
                                       SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    ASSERT_TRUE(OpenManualOutput(44100));
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    HFX fx = AddStreamEffect(s, FX_PARAMEQ, 1);
    const ParamEqParams start{1000, 10, -15};
    ASSERT_TRUE(SetEffectParameters(fx, &start));
    ASSERT_TRUE(PlayStream(s, false));
    std::vector<float> mix;
    AdvanceManualOutput(22050, &mix);
    for (float gain : {0.0f, -15.0f, -9.0f, 0.0f, -3.0f, -15.0f}) {
        const ParamEqParams p{1000, 10, gain};
        ASSERT_TRUE(SetEffectParameters(fx, &p));
        AdvanceManualOutput(2205, &mix);
    }
    ASSERT_TRUE(ResetStreamEffects(s));  // the -15 dB band goes
    AdvanceManualOutput(2205, &mix);
    fx = AddStreamEffect(s, FX_PARAMEQ, 1);
    ASSERT_TRUE(SetEffectParameters(fx, &start));
    AdvanceManualOutput(2205, &mix);
    const ParamEqParams flat{1000, 10, 0};
    ASSERT_TRUE(SetEffectParameters(fx, &flat));
    AdvanceManualOutput(22050, &mix);
    CloseDevice();

    // The loudest steady state here is the tone itself (0 dB): its largest step.
    const double steady = 2 * amplitude * std::sin(M_PI * 1000 / 44100);
    EXPECT_LE(LargestStep(mix, 22050, mix.size() / 2), steady * 1.01);
    // And the changes do arrive: the end is the tone unchanged, the start 15 dB down.
    double end = 0, begin = 0;
    for (std::size_t i = mix.size() / 2 - 4410; i < mix.size() / 2; ++i)
        end = std::max(end, std::abs(double(mix[2 * i])));
    for (std::size_t i = 8820; i < 22050; ++i)
        begin = std::max(begin, std::abs(double(mix[2 * i])));
    EXPECT_NEAR(Db(end / amplitude), 0.0, 0.1);
    EXPECT_NEAR(Db(begin / amplitude), -15.0, 0.5);
}

TEST(EqualizerBand, AChangeArrivesWithinTheGlideAndSettlesOnTheNewDesign) {
    // A band that has been heard glides; once the glide is over it filters exactly as a
    // band made with the new parameters from the start would.
    const std::size_t frames = 44100;
    std::vector<float> tone(frames);
    for (std::size_t i = 0; i < frames; ++i)
        tone[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 700 * double(i) / 44100));
    PeakingBand gliding, direct;
    gliding.SetParameters(1000, 10, -12);
    std::vector<float> a(tone.begin(), tone.begin() + 4410);
    gliding.Process(a.data(), a.size(), 1, 44100);
    gliding.SetParameters(1000, 10, 9);
    EXPECT_FALSE(gliding.IsFlat());
    std::vector<float> b(tone.begin() + 4410, tone.end());
    gliding.Process(b.data(), b.size(), 1, 44100);
    direct.SetParameters(1000, 10, 9);
    std::vector<float> c(tone);
    direct.Process(c.data(), c.size(), 1, 44100);
    // Well after the glide (and the filter's memory of it) both agree.
    for (std::size_t i = 22050; i < frames; i += 97)
        EXPECT_NEAR(b[i - 4410], c[i], 1e-4) << "frame " << i;
}
