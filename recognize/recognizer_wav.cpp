#include "recognize/recognizer_wav.h"

#include <soxr.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/audio.h"
#include "exchange/exchange_error.h"

namespace recognize {
namespace {

using exchange::ExchangeError;

struct StreamCloser {
    audio::HSTREAM stream;
    ~StreamCloser() { audio::FreeStream(stream); }
};
struct SoxrDeleter {
    void operator()(soxr* s) const { soxr_delete(s); }
};

QByteArray WavHeader(quint32 dataBytes) {
    QByteArray header(44, '\0');
    char* h = header.data();
    auto put32 = [](char* at, quint32 v) { qToLittleEndian(v, at); };
    auto put16 = [](char* at, quint16 v) { qToLittleEndian(v, at); };
    std::copy_n("RIFF", 4, h);
    put32(h + 4, 36 + dataBytes);
    std::copy_n("WAVEfmt ", 8, h + 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, 1);  // mono
    put32(h + 24, kRecognizerRate);
    put32(h + 28, kRecognizerRate * 2);
    put16(h + 32, 2);
    put16(h + 34, 16);
    std::copy_n("data", 4, h + 36);
    put32(h + 40, dataBytes);
    return header;
}

}  // namespace

double WriteRecognizerWav(const QString& recording, const QString& wav,
                          const std::atomic<bool>* cancel) {
    const audio::HSTREAM stream =
        audio::OpenFileStream(false, recording.toStdString(), 0, 0,
                              audio::STREAM_DECODE | audio::STREAM_MONO | audio::SAMPLE_FLOAT);
    if (stream == 0) throw ExchangeError(QStringLiteral("Запись не читается: %1").arg(recording));
    StreamCloser closer{stream};
    audio::StreamInfoRecord info;
    if (!audio::StreamInfo(stream, &info) || info.freq == 0 || info.chans == 0)
        throw ExchangeError(QStringLiteral("Запись не читается: %1").arg(recording));

    soxr_error_t error = nullptr;
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
    // soxr dithers 16-bit output from a seed of the clock: the same recording would give a
    // recogniser different samples, and a different draft, on every run.
    io.flags |= SOXR_NO_DITHER;
    // Low quality (a shorter filter): recognisers hear speech below 8 kHz, and a slightly
    // wider transition band loses none of it.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_LQ, 0);
    std::unique_ptr<soxr, SoxrDeleter> resampler(
        soxr_create(info.freq, kRecognizerRate, 1, &error, &io, &quality, nullptr));
    if (error != nullptr)
        throw ExchangeError(QStringLiteral("Запись не читается: %1").arg(recording));

    QFile out(wav);
    if (!out.open(QIODevice::WriteOnly) || out.write(WavHeader(0)) != 44)
        throw ExchangeError(QStringLiteral("Не удалось записать файл %1").arg(wav));

    const std::uint32_t chans = info.chans;
    constexpr std::size_t kFrames = 8192;
    std::vector<float> interleaved(kFrames * chans);
    std::vector<float> mono(kFrames);
    std::vector<qint16> resampled(kFrames + 64);
    std::size_t leftover = 0;  // samples of an incomplete frame kept from the last read
    quint64 written = 0;       // output samples

    auto put = [&](const float* in, std::size_t frames) {
        for (;;) {
            std::size_t used = 0;
            std::size_t done = 0;
            soxr_process(resampler.get(), in, frames, &used, resampled.data(), resampled.size(),
                         &done);
            if (done > 0) {
                const qint64 bytes = qint64(done * sizeof(qint16));
                if (out.write(reinterpret_cast<const char*>(resampled.data()), bytes) != bytes)
                    throw ExchangeError(QStringLiteral("Не удалось записать файл %1").arg(wav));
                written += done;
            }
            if (in != nullptr) {
                in += used;
                frames -= used;
                if (frames == 0 && done < resampled.size()) return;
            } else if (done == 0) {
                return;  // flushed
            }
        }
    };

    for (;;) {
        if (cancel != nullptr && cancel->load())
            throw ExchangeError(QStringLiteral("Распознавание отменено"));
        const std::uint32_t want = std::uint32_t((interleaved.size() - leftover) * sizeof(float));
        const std::uint32_t got =
            audio::ReadDecodedData(stream, interleaved.data() + leftover, want);
        if (got == audio::BAD_READ)
            throw ExchangeError(QStringLiteral("Запись не читается: %1").arg(recording));
        if (got == 0) break;
        const std::size_t samples = leftover + got / sizeof(float);
        const std::size_t frames = samples / chans;
        const float* in = interleaved.data();
        if (chans == 2) {
            for (std::size_t f = 0; f < frames; ++f) mono[f] = 0.5f * (in[2 * f] + in[2 * f + 1]);
        } else if (chans > 2) {
            const float scale = 1.0f / float(chans);
            for (std::size_t f = 0; f < frames; ++f) {
                float sum = 0.0f;
                for (std::uint32_t c = 0; c < chans; ++c) sum += in[f * chans + c];
                mono[f] = sum * scale;
            }
        }
        put(chans == 1 ? in : mono.data(), frames);
        leftover = samples - frames * chans;
        std::copy_n(interleaved.begin() + std::ptrdiff_t(frames * chans), leftover,
                    interleaved.begin());
    }
    put(nullptr, 0);

    const quint64 dataBytes = written * 2;
    if (dataBytes > 0xFFFFFFFFull - 36)
        throw ExchangeError(QStringLiteral("Запись слишком длинна для распознавания"));
    if (!out.seek(0) || out.write(WavHeader(quint32(dataBytes))) != 44 || !out.flush())
        throw ExchangeError(QStringLiteral("Не удалось записать файл %1").arg(wav));
    return double(written) / kRecognizerRate;
}

}  // namespace recognize
