// Playback speed: the CPU time of playing with the player's twelve bands at 0.5x and 2.0x
// against normal speed in the same run, and how long a tempo change takes to be heard.
#include <time.h>

#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "bench/bench_common.h"

namespace {

// A smoke run (NUVTOLVEK_BENCH_SMOKE set and not 0) plays a minute-long WAV for a few
// seconds: it shows that the program works, its figures mean nothing.
bool Smoke() {
    const char* value = std::getenv("NUVTOLVEK_BENCH_SMOKE");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

using bench::ThreadCpuSeconds;

// The recording with the player's twelve bands, ten minutes in (twenty seconds in a smoke
// run), at `tempo`.
audio::HSTREAM OpenWithBands(const std::string& mp3, double tempo) {
    const audio::HSTREAM s = audio::OpenFileStream(false, mp3, 0, 0, audio::STREAM_PRESCAN);
    audio::ResetStreamEffects(s);
    const float centres[12] = {80, 100, 250, 500, 750, 1000, 1500, 2500, 4000, 8000, 12000, 16000};
    for (int b = 0; b < 12; ++b) {
        const audio::HFX fx = audio::AddStreamEffect(s, audio::FX_PARAMEQ, 1);
        const audio::ParamEqParams p{centres[b], 10.0f, static_cast<float>(b % 2 ? 6 - b : b - 8)};
        audio::SetEffectParameters(fx, &p);
    }
    audio::SeekStream(s, 44100ull * 4 * (Smoke() ? 20 : 600), audio::POS_BYTE);
    audio::SetStreamTempo(s, tempo);
    audio::PlayStream(s, false);
    return s;
}

// CPU milliseconds per second of output, rendered through the manual output.
double RenderCpuMsPerSecond(const std::string& mp3, double tempo) {
    audio::OpenManualOutput(44100);
    OpenWithBands(mp3, tempo);
    const int seconds = Smoke() ? 3 : 60;
    std::vector<float> mix;
    mix.reserve(44100 * 2);
    const double cpu = ThreadCpuSeconds();
    for (int i = 0; i < seconds; ++i) {
        mix.clear();
        audio::AdvanceManualOutput(44100, &mix);
    }
    const double used = ThreadCpuSeconds() - cpu;
    audio::CloseDevice();
    return used * 1000 / seconds;
}

// Plays from ten minutes in at `from` for `before` frames, then asks for `to` (unless
// `change` is false) and renders `after` frames more; returns those frames.
std::vector<float> Render(const std::string& mp3, double from, double to, bool change,
                          std::size_t before, std::size_t after) {
    audio::OpenManualOutput(44100);
    const audio::HSTREAM s = OpenWithBands(mp3, from);
    audio::AdvanceManualOutput(before);
    if (change) audio::SetStreamTempo(s, to);
    std::vector<float> mix;
    audio::AdvanceManualOutput(after, &mix);
    audio::CloseDevice();
    return mix;
}

// Request to heard change: the same playing rendered twice, once with the change asked
// for and once without; the change is heard at the first frame where the two differ (it
// then fades in over 6 ms). The worst of several changes, each asked for at three places
// of the stretcher's sequences.
double TempoChangeMs(const std::string& mp3) {
    struct Change {
        double from, to;
    };
    const Change changes[] = {{1.0, 0.5},  {1.0, 2.0},  {0.5, 2.0}, {2.0, 0.75},
                              {0.75, 1.0}, {0.6, 0.65}, {1.5, 1.45}};
    const std::size_t after = 44100;  // one second: a change not heard by then is a fault
    double worst = 0;
    for (const Change& c : Smoke() ? std::vector<Change>(changes, changes + 2)
                                   : std::vector<Change>(std::begin(changes), std::end(changes))) {
        // Requests at different places of a block and of the stretcher's sequences.
        for (std::size_t before : {22050u + 37u, 30000u + 611u, 44100u + 1023u}) {
            const std::vector<float> kept = Render(mp3, c.from, c.to, false, before, after);
            const std::vector<float> changed = Render(mp3, c.from, c.to, true, before, after);
            std::size_t frame = 0;
            while (frame < after && kept[2 * frame] == changed[2 * frame] &&
                   kept[2 * frame + 1] == changed[2 * frame + 1])
                ++frame;
            worst = std::max(worst, static_cast<double>(frame) * 1000.0 / 44100.0);
        }
    }
    return worst;
}

}  // namespace

int main() {
    const std::string mp3 = Smoke() ? bench::LongWav(1) : bench::LongMp3(60);
    if (mp3.empty()) {
        std::fprintf(stderr, "bench_tempo: could not make the sound file\n");
        return 1;
    }
    RenderCpuMsPerSecond(mp3, 1.0);  // warms the page cache and the decoder
    bench::Print("render_cpu_ms_per_s_tempo10", RenderCpuMsPerSecond(mp3, 1.0), "ms");
    bench::Print("render_cpu_ms_per_s_tempo05", RenderCpuMsPerSecond(mp3, 0.5), "ms");
    bench::Print("render_cpu_ms_per_s_tempo20", RenderCpuMsPerSecond(mp3, 2.0), "ms");
    bench::Print("tempo_change_ms", TempoChangeMs(mp3), "ms");
    return 0;
}
