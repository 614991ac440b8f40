// The FFmpeg decoder's costs on an hour-long AAC/M4A: a full float decode through a
// decoding stream against FFmpeg's own libraries decoding the same file in the same run,
// the exact-length open, and a seek with its first block. Also FLAC through libsndfile
// (which reads it) against FFmpeg, to show which is faster, and the open and the seek of an
// hour of WMA.
//
// --smoke: one minute instead of sixty, for a quick check that everything runs.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#include <time.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "audio/audio.h"
#include "audio/decoder.h"
#include "bench/bench_common.h"

namespace {

using bench::EngineDecodeSeconds;
using bench::ThreadCpuSeconds;

using Clock = std::chrono::steady_clock;

// The long WAV through the ffmpeg program, cached beside the other long files.
std::string LongEncoded(int minutes, const char* suffix, const char* options) {
    const std::string wav = bench::LongWav(minutes);
    if (wav.empty()) return {};
    return bench::EnsureFile(
        bench::CacheDir() / ("speech-" + std::to_string(minutes) + "min" + suffix),
        [&](const std::string& part) {
            const std::string command = "ffmpeg -nostdin -v error -y -i '" + wav + "' " + options +
                                        " -f " +
                                        (std::strstr(suffix, "m4a")   ? "mp4"
                                         : std::strstr(suffix, "wma") ? "asf"
                                                                      : "flac") +
                                        " '" + part + "'";
            return std::system(command.c_str()) == 0;
        });
}

// FFmpeg's libraries alone: demux, decode, and deliver interleaved floats into the same
// block, as any user of the libraries who wants samples must.
double FfmpegSeconds(const std::string& path, std::uint64_t* samples) {
    const double start = ThreadCpuSeconds();
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
    avformat_find_stream_info(format, nullptr);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, stream->codecpar);
    context->thread_count = 1;
    avcodec_open2(context, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<float> block(5'292'000);
    std::size_t at = 0;
    std::uint64_t total = 0;
    bool more = true;
    while (more) {
        more = av_read_frame(format, packet) >= 0;
        if (more && packet->stream_index != index) {
            av_packet_unref(packet);
            continue;
        }
        avcodec_send_packet(context, more ? packet : nullptr);
        av_packet_unref(packet);
        while (avcodec_receive_frame(context, frame) >= 0) {
            const int channels = frame->ch_layout.nb_channels;
            const auto n = static_cast<std::size_t>(frame->nb_samples);
            if (at + n * static_cast<std::size_t>(channels) > block.size()) at = 0;
            float* out = block.data() + at;
            if (frame->format == AV_SAMPLE_FMT_FLTP) {
                for (int c = 0; c < channels; ++c) {
                    const auto* in = reinterpret_cast<const float*>(frame->extended_data[c]);
                    for (std::size_t i = 0; i < n; ++i) out[i * channels + c] = in[i];
                }
            } else if (frame->format == AV_SAMPLE_FMT_S16) {
                const auto* in = reinterpret_cast<const std::int16_t*>(frame->data[0]);
                for (std::size_t i = 0; i < n * channels; ++i) out[i] = in[i] * (1.0f / 32768);
            }
            at += n * static_cast<std::size_t>(channels);
            total += n * static_cast<std::uint64_t>(channels);
            av_frame_unref(frame);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    *samples = total;
    return ThreadCpuSeconds() - start;
}

// One decoder of the engine's own, straight through.
double DecoderSeconds(std::unique_ptr<audio::Decoder> (*open)(const std::string&),
                      const std::string& path, std::uint64_t* samples) {
    const double start = ThreadCpuSeconds();
    auto decoder = open(path);
    if (!decoder) return -1;
    std::vector<float> block(4096 * static_cast<std::size_t>(decoder->Channels()));
    std::uint64_t total = 0;
    while (const std::size_t n = decoder->Read(block.data(), 4096))
        total += n * static_cast<std::uint64_t>(decoder->Channels());
    *samples = total;
    return ThreadCpuSeconds() - start;
}

// A random seek plus the first block rendered, averaged over many seeks.
double SeekMs(const std::string& path) {
    audio::OpenManualOutput(44100);
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::PlayStream(s, false);
    const std::uint64_t length = audio::StreamLength(s, audio::POS_BYTE);
    std::mt19937_64 random(5);
    std::vector<float> mix;
    mix.reserve(2048);
    const int seeks = 200;
    double total = 0;
    for (int i = 0; i < seeks; ++i) {
        const std::uint64_t target = random() % length / 4 * 4;
        const auto start = Clock::now();
        audio::SeekStream(s, target, audio::POS_BYTE);
        mix.clear();
        audio::AdvanceManualOutput(1024, &mix);
        total += bench::SecondsSince(start);
    }
    audio::CloseDevice();
    return total * 1000 / seeks;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int minutes = smoke ? 1 : 60;
    const std::string m4a = LongEncoded(minutes, "-128k.m4a", "-c:a aac -b:a 128k");
    const std::string flac = LongEncoded(minutes, ".flac", "-c:a flac");
    if (m4a.empty() || flac.empty()) {
        std::fprintf(stderr, "bench_formats: could not make the sound files\n");
        return 1;
    }
    std::uint64_t ignored = 0;
    FfmpegSeconds(m4a, &ignored);  // warm the page cache and the decoder's first use

    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        const audio::HSTREAM s = audio::OpenFileStream(false, m4a, 0, 0, audio::STREAM_PRESCAN);
        opens.push_back(bench::SecondsSince(start) * 1000);
        if (s == 0) std::fprintf(stderr, "bench_formats: the M4A does not open\n");
        audio::FreeStream(s);
    }
    std::sort(opens.begin(), opens.end());
    bench::Print("open_prescan_m4a_ms", opens[2], "ms");
    bench::Print("seek_ms_m4a", SeekMs(m4a), "ms");

    // Best of three alternating runs each, so both sides see the same cache and machine.
    double engine = 1e9, library = 1e9;
    std::uint64_t engineSamples = 0, librarySamples = 0;
    for (int round = 0; round < 3; ++round) {
        library = std::min(library, FfmpegSeconds(m4a, &librarySamples));
        engine = std::min(engine, EngineDecodeSeconds(m4a, &engineSamples));
    }
    // The engine ends where the edit list ends; FFmpeg decodes the last frame whole.
    if (engineSamples > librarySamples || librarySamples - engineSamples > 2 * 1024 * 2)
        std::fprintf(stderr, "bench_formats: engine %llu samples, FFmpeg %llu\n",
                     static_cast<unsigned long long>(engineSamples),
                     static_cast<unsigned long long>(librarySamples));
    bench::Print("decode_ratio_m4a", engine / library, "x");

    // FLAC stays with libsndfile: the time FFmpeg's decoder takes against libsndfile's.
    double sndfile = 1e9, ffmpeg = 1e9;
    std::uint64_t sndfileSamples = 0, ffmpegSamples = 0;
    for (int round = 0; round < 3; ++round) {
        sndfile =
            std::min(sndfile, DecoderSeconds(&audio::OpenSndfileDecoder, flac, &sndfileSamples));
        ffmpeg = std::min(ffmpeg, DecoderSeconds(&audio::OpenFfmpegDecoder, flac, &ffmpegSamples));
    }
    if (sndfileSamples != ffmpegSamples)
        std::fprintf(stderr, "bench_formats: FLAC: libsndfile %llu samples, FFmpeg %llu\n",
                     static_cast<unsigned long long>(sndfileSamples),
                     static_cast<unsigned long long>(ffmpegSamples));
    bench::Print("flac_ffmpeg_vs_sndfile", ffmpeg / sndfile, "x");

    // WMA: the open of an hour, the time until the player can show its length and play.
    const std::string wma = LongEncoded(minutes, "-64k.wma", "-c:a wmav2 -b:a 64k");
    if (wma.empty()) {
        std::fprintf(stderr, "bench_formats: could not make the WMA file\n");
        return 1;
    }
    std::vector<double> wmaOpens;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const audio::HSTREAM s = audio::OpenFileStream(false, wma, 0, 0, audio::STREAM_PRESCAN);
        wmaOpens.push_back(bench::SecondsSince(start) * 1000);
        if (s == 0) std::fprintf(stderr, "bench_formats: the WMA does not open\n");
        audio::FreeStream(s);
    }
    std::sort(wmaOpens.begin(), wmaOpens.end());
    bench::Print(smoke ? "open_wma_1min_ms" : "open_wma_60min_ms", wmaOpens[1], "ms");
    // WMA seeks by time and decodes from there: what a cycle's jump back costs.
    bench::Print("seek_ms_wma", SeekMs(wma), "ms");
    return 0;
}
