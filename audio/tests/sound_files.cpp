#include "audio/tests/sound_files.h"

#include <mpg123.h>
#include <sndfile.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>

namespace audio_test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nuv-audio-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

Signal Sine(int rate, int channels, double seconds, double frequency, double amplitude) {
    Signal s{rate, channels, {}};
    const auto frames = static_cast<std::int64_t>(std::llround(seconds * rate));
    s.samples.resize(static_cast<std::size_t>(frames * channels));
    for (std::int64_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c)
            s.samples[static_cast<std::size_t>(i * channels + c)] = static_cast<float>(v);
    }
    return s;
}

Signal SpeechLike(int rate, int channels, double seconds, std::uint32_t seed) {
    Signal s{rate, channels, {}};
    const auto frames = static_cast<std::int64_t>(std::llround(seconds * rate));
    s.samples.resize(static_cast<std::size_t>(frames * channels));
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    // Syllables of 80–300 ms with short gaps; band-limited noise with a voiced hum.
    std::int64_t i = 0;
    float low = 0, lower = 0;
    while (i < frames) {
        const auto syllable =
            static_cast<std::int64_t>(rate * (0.08 + 0.22 * (random() % 1000) / 1000.0));
        const auto gap =
            static_cast<std::int64_t>(rate * (0.02 + 0.15 * (random() % 1000) / 1000.0));
        const double pitch = 90 + random() % 160;
        const float loud = 0.2f + 0.4f * static_cast<float>(random() % 1000) / 1000.0f;
        for (std::int64_t k = 0; k < syllable && i < frames; ++k, ++i) {
            const double env =
                std::sin(std::numbers::pi * static_cast<double>(k) / static_cast<double>(syllable));
            low += 0.3f * (noise(random) - low);
            lower += 0.3f * (low - lower);
            const double hum =
                std::sin(2 * std::numbers::pi * pitch * static_cast<double>(i) / rate);
            const auto v = static_cast<float>(env * loud * (0.6 * lower * 3 + 0.4 * hum));
            for (int c = 0; c < channels; ++c)
                s.samples[static_cast<std::size_t>(i * channels + c)] = c == 0 ? v : 0.8f * v;
        }
        for (std::int64_t k = 0; k < gap && i < frames; ++k, ++i)
            for (int c = 0; c < channels; ++c)
                s.samples[static_cast<std::size_t>(i * channels + c)] = 0.01f * noise(random);
    }
    return s;
}

bool WriteSound(const std::string& path, const Signal& signal, int format) {
    SF_INFO info{};
    info.samplerate = signal.rate;
    info.channels = signal.channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const sf_count_t frames = signal.Frames();
    const sf_count_t written = sf_writef_float(f, signal.samples.data(), frames);
    sf_close(f);
    return written == frames;
}

bool WriteWav16(const std::string& path, const Signal& signal) {
    return WriteSound(path, signal, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}
bool WriteOgg(const std::string& path, const Signal& signal) {
    return WriteSound(path, signal, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
}
bool WriteMp3(const std::string& path, const Signal& signal) {
    return WriteSound(path, signal, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
}

bool LameEncode(const std::string& wav, const std::string& mp3, const std::string& options) {
    const std::string command = "lame --quiet " + options + " '" + wav + "' '" + mp3 + "'";
    return std::system(command.c_str()) == 0;
}

bool FfmpegEncode(const std::string& input, const std::string& output, const std::string& options) {
    const std::string command =
        "ffmpeg -nostdin -v error -y -i '" + input + "' " + options + " '" + output + "'";
    return std::system(command.c_str()) == 0;
}

std::vector<float> DecodeWithFfmpegProgram(const std::string& path, int channels) {
    const std::string raw = path + ".f32";
    const std::string command = "ffmpeg -nostdin -v error -y -i '" + path + "' -ac " +
                                std::to_string(channels) + " -f f32le -c:a pcm_f32le '" + raw + "'";
    std::vector<float> samples;
    if (std::system(command.c_str()) != 0) return samples;
    const std::vector<unsigned char> bytes = ReadBytes(raw);
    samples.resize(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    std::remove(raw.c_str());
    return samples;
}

void WriteAmrNb(const std::string& path, int frames, std::uint32_t seed) {
    const std::string magic = "#!AMR\n";
    std::vector<unsigned char> bytes(magic.begin(), magic.end());
    std::mt19937 random(seed);
    for (int i = 0; i < frames; ++i) {
        bytes.push_back(0x3C);  // frame type 7 (12.2 kbit/s), quality bit set
        for (int b = 0; b < 31; ++b) bytes.push_back(static_cast<unsigned char>(random()));
    }
    WriteBytes(path, bytes);
}

Decoded DecodeWithSndfile(const std::string& path) {
    Decoded d;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return d;
    d.rate = info.samplerate;
    d.channels = info.channels;
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_float(f, block.data(), 4096)) > 0)
        d.samples.insert(d.samples.end(), block.begin(), block.begin() + n * info.channels);
    sf_close(f);
    return d;
}

Decoded DecodeWithMpg123(const std::string& path) {
    Decoded d;
    mpg123_init();
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    // The scan that gives the exact length is part of reading an MP3 exactly; it also
    // settles the decoder's state (without it MPEG-2 files differ in the last bit).
    if (mpg123_open(h, path.c_str()) == MPG123_OK && mpg123_scan(h) == MPG123_OK) {
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(h, &rate, &channels, &encoding);
        d.rate = static_cast<int>(rate);
        d.channels = channels;
        std::vector<float> block(8192);
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, block.data(), block.size() * sizeof(float), &done);
            d.samples.insert(d.samples.end(), block.begin(), block.begin() + done / sizeof(float));
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    return d;
}

Decoded DecodeWithVorbisfile(const std::string& path) {
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return d;
    const vorbis_info* info = ov_info(&vf, -1);
    d.rate = static_cast<int>(info->rate);
    d.channels = info->channels;
    for (;;) {
        float** pcm = nullptr;
        int link = 0;
        const long n = ov_read_float(&vf, &pcm, 4096, &link);
        if (n == OV_HOLE) continue;
        if (n <= 0) break;
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < d.channels; ++c) d.samples.push_back(pcm[c][i]);
    }
    ov_clear(&vf);
    return d;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace audio_test
