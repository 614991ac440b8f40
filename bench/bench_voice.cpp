// Clear voice: the CPU time of playing with every voice stage on and the player's twelve
// bands against the same playing without them, how long a change of the stages takes to
// be heard, how far noise reduction lowers the noise between words of real (synthesised)
// speech, and how close levelling brings a quiet and a loud speaker.
#include <sndfile.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "audio/audio.h"
#include "bench/bench_common.h"

namespace {

bool Smoke() {
    const char* value = std::getenv("NUVTOLVEK_BENCH_SMOKE");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

constexpr int kRate = 44100;
constexpr audio::VoiceSettings kAllOn{audio::VoiceChannel::Mix, audio::VoiceNoise::Medium, true};
constexpr audio::VoiceSettings kBothSidesOn{audio::VoiceChannel::Both, audio::VoiceNoise::Medium,
                                            true};

audio::HSTREAM OpenWithBands(const std::string& file, const audio::VoiceSettings& voice,
                             std::uint64_t startFrame) {
    const audio::HSTREAM s = audio::OpenFileStream(false, file, 0, 0, audio::STREAM_PRESCAN);
    const float centres[12] = {80, 100, 250, 500, 750, 1000, 1500, 2500, 4000, 8000, 12000, 16000};
    for (int b = 0; b < 12; ++b) {
        const audio::HFX fx = audio::AddStreamEffect(s, audio::FX_PARAMEQ, 1);
        const audio::ParamEqParams p{centres[b], 10.0f, static_cast<float>(b % 2 ? 6 - b : b - 8)};
        audio::SetEffectParameters(fx, &p);
    }
    audio::SeekStream(s, startFrame * 4, audio::POS_BYTE);
    audio::SetStreamVoice(s, voice);
    audio::PlayStream(s, false);
    return s;
}

double RenderCpuMsPerSecond(const std::string& mp3, const audio::VoiceSettings& voice) {
    audio::OpenManualOutput(kRate);
    OpenWithBands(mp3, voice, kRate * (Smoke() ? 20ull : 600ull));
    const int seconds = Smoke() ? 3 : 60;
    std::vector<float> mix;
    mix.reserve(kRate * 2);
    const double cpu = bench::ThreadCpuSeconds();
    for (int i = 0; i < seconds; ++i) {
        mix.clear();
        audio::AdvanceManualOutput(kRate, &mix);
    }
    const double used = bench::ThreadCpuSeconds() - cpu;
    audio::CloseDevice();
    return used * 1000 / seconds;
}

// Request to heard change: the same playing rendered with and without the change; it is
// heard from the first frame where the two differ. The worst of several changes, each
// asked for at three places of a block and of the stages' frames.
double VoiceLatencyMs(const std::string& file) {
    using audio::VoiceChannel, audio::VoiceNoise;
    struct Change {
        audio::VoiceSettings from, to;
    };
    const Change changes[] = {
        {{}, kAllOn},
        {kBothSidesOn, {VoiceChannel::Right, VoiceNoise::Medium, true}},
        {{VoiceChannel::Left, VoiceNoise::Off, true},
         {VoiceChannel::Left, VoiceNoise::Strong, true}},
        {kAllOn, {VoiceChannel::Mix, VoiceNoise::Medium, false}},
        {kAllOn, {}},
    };
    double worst = 0;
    for (const Change& c : changes) {
        for (std::size_t before : {22050u + 37u, 30000u + 611u, 44100u + 1023u}) {
            std::vector<float> runs[2];
            for (int changed = 0; changed < 2; ++changed) {
                audio::OpenManualOutput(kRate);
                const audio::HSTREAM s = OpenWithBands(file, c.from, kRate * 5);
                audio::AdvanceManualOutput(before);
                if (changed) audio::SetStreamVoice(s, c.to);
                audio::AdvanceManualOutput(kRate / 2, &runs[changed]);
                audio::CloseDevice();
            }
            std::size_t frame = 0;
            while (2 * frame < runs[0].size() && runs[0][2 * frame] == runs[1][2 * frame] &&
                   runs[0][2 * frame + 1] == runs[1][2 * frame + 1])
                ++frame;
            worst = std::max(worst, static_cast<double>(frame) * 1000.0 / kRate);
        }
    }
    return worst;
}

// espeak-ng's Russian voice, 22050 Hz mono: what the test files of a phone call sound like.
std::vector<float> Speech() {
    const std::string wav = (bench::CacheDir() / "voice_speech.wav").string();
    const std::string command =
        "espeak-ng -v ru -s 150 -w '" + wav +
        "' 'Добрый день. Расскажите, пожалуйста, как прошла встреча с заказчиком на прошлой "
        "неделе. Мы обсудили сроки поставки, цены и условия оплаты. Следующая встреча назначена "
        "на понедельник.' 2>/dev/null";
    std::vector<float> samples;
    if (std::system(command.c_str()) != 0) return samples;
    SF_INFO info{};
    SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
    if (!f) return samples;
    samples.resize(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    if (info.channels != 1 || info.samplerate != 22050) samples.clear();
    return samples;
}

bool WriteMono(const std::string& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return true;
}

// The whole file as the engine plays it (left channel), at 44100 Hz.
std::vector<float> PlayAll(const std::string& path, const audio::VoiceSettings& voice) {
    audio::OpenManualOutput(kRate);
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::SetStreamVoice(s, voice);
    audio::PlayStream(s, false);
    const double seconds = audio::BytesToSeconds(s, audio::StreamLength(s, audio::POS_BYTE));
    std::vector<float> mix;
    audio::AdvanceManualOutput(static_cast<std::size_t>(seconds * kRate) + 1, &mix);
    audio::CloseDevice();
    std::vector<float> left(mix.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i) left[i] = mix[2 * i];
    return left;
}

double Db(double power) {
    return 10 * std::log10(power + 1e-30);
}

// Mean power per 20 ms window.
std::vector<double> Windows(const std::vector<float>& x) {
    const std::size_t w = kRate / 50;
    std::vector<double> out(x.size() / w);
    for (std::size_t k = 0; k < out.size(); ++k) {
        double e = 0;
        for (std::size_t i = k * w; i < (k + 1) * w; ++i) e += double{x[i]} * x[i];
        out[k] = e / w;
    }
    return out;
}

// Speech with white noise 30 dB under it, medium strength: the drop of the level between
// words (windows where the clean speech is 50 dB under its loudest) from the noisy
// recording to the denoised one.
double NoiseFloorDropDb(const std::vector<float>& speech, double* speechChangeDb) {
    std::vector<float> noisy = speech;
    double power = 0;
    for (float v : speech) power += double{v} * v;
    power /= static_cast<double>(speech.size());
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(std::sqrt(power) * 0.0316));
    for (float& v : noisy) v += noise(random);
    const std::string clean = (bench::CacheDir() / "voice_clean.wav").string();
    const std::string dirty = (bench::CacheDir() / "voice_noisy.wav").string();
    if (!WriteMono(clean, speech) || !WriteMono(dirty, noisy)) return 0;
    const std::vector<double> ref = Windows(PlayAll(clean, {}));
    const std::vector<double> in = Windows(PlayAll(dirty, {}));
    const std::vector<double> out =
        Windows(PlayAll(dirty, {audio::VoiceChannel::Both, audio::VoiceNoise::Medium, false}));
    const double loudest = *std::max_element(ref.begin(), ref.end());
    double pauseIn = 0, pauseOut = 0, speechIn = 0, speechOut = 0;
    // The first second lets the noise estimate settle.
    for (std::size_t k = 50; k < ref.size(); ++k) {
        if (ref[k] < loudest * 1e-5) {
            pauseIn += in[k];
            pauseOut += out[k];
        } else if (ref[k] > loudest * 1e-2) {
            speechIn += in[k];
            speechOut += out[k];
        }
    }
    *speechChangeDb = Db(speechOut) - Db(speechIn);
    return Db(pauseIn) - Db(pauseOut);
}

// Turns of the same speech at −30 and −10 dBFS, levelling on: the difference between the
// loud and the quiet turns' levels over the second halves of the turns.
double LevelSpreadDb(const std::vector<float>& speech) {
    double power = 0;
    for (float v : speech) power += double{v} * v;
    const double rmsDb = Db(power / static_cast<double>(speech.size()));
    std::vector<float> turns;
    for (int t = 0; t < 6; ++t) {
        const double gain = std::pow(10.0, ((t % 2 ? -10 : -30) - rmsDb) / 20);
        for (float v : speech) turns.push_back(static_cast<float>(v * gain));
    }
    const std::string path = (bench::CacheDir() / "voice_turns.wav").string();
    if (!WriteMono(path, turns)) return 99;
    const std::vector<float> out =
        PlayAll(path, {audio::VoiceChannel::Both, audio::VoiceNoise::Off, true});
    const std::size_t turn = speech.size() * 2;  // at 44100 Hz
    double quiet = 0, loud = 0;
    for (std::size_t t = 2; t < 6; ++t) {
        double e = 0;
        for (std::size_t i = t * turn + turn / 2; i < (t + 1) * turn && i < out.size(); ++i)
            e += double{out[i]} * out[i];
        (t % 2 ? loud : quiet) += e;
    }
    return std::abs(Db(loud) - Db(quiet));
}

}  // namespace

int main() {
    const std::string mp3 = Smoke() ? bench::LongWav(1) : bench::LongMp3(60);
    const std::vector<float> speech = Speech();
    if (mp3.empty() || speech.empty()) {
        std::fprintf(stderr, "bench_voice: could not make the sound files\n");
        return 1;
    }
    RenderCpuMsPerSecond(mp3, {});  // warms the page cache and the decoder
    bench::Print("render_cpu_ms_per_s_voice_off", RenderCpuMsPerSecond(mp3, {}), "ms");
    bench::Print("render_cpu_ms_per_s_voice", RenderCpuMsPerSecond(mp3, kAllOn), "ms");
    // Both sides kept: noise reduction runs once per side.
    bench::Print("render_cpu_ms_per_s_voice_stereo", RenderCpuMsPerSecond(mp3, kBothSidesOn), "ms");
    bench::Print("voice_latency_ms", VoiceLatencyMs(mp3), "ms");
    double speechChange = 0;
    bench::Print("noise_floor_drop_db", NoiseFloorDropDb(speech, &speechChange), "dB");
    bench::Print("noise_speech_change_db", speechChange, "dB");
    bench::Print("level_spread_db", LevelSpreadDb(speech), "dB");
    return 0;
}
