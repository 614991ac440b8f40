// Sound files and pictures that the whole-program tests and the soak benchmark write at
// run time.
#pragma once

#include <sndfile.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <cmath>
#include <vector>

namespace e2e {

// A 16-bit WAV of `seconds` at `rate` with `channels` channels: a quiet tone whose pitch
// differs per channel, so no two files decode to the same data by accident.
inline bool WriteWav(const QString& path, double seconds, int rate, int channels,
                     double pitch = 440.0) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    const auto frames = static_cast<sf_count_t>(std::llround(seconds * rate));
    std::vector<float> samples(static_cast<std::size_t>(frames * channels));
    for (sf_count_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[static_cast<std::size_t>(i * channels + c)] =
                0.3f * static_cast<float>(
                           std::sin(2 * M_PI * pitch * (1 + c) * static_cast<double>(i) / rate));
    const sf_count_t written = sf_writef_float(file, samples.data(), frames);
    return sf_close(file) == 0 && written == frames;
}

// A small one-colour JPEG.
inline bool WriteJpeg(const QString& path, const QColor& colour) {
    QImage image(32, 24, QImage::Format_RGB888);
    image.fill(colour);
    return image.save(path, "JPEG", 90);
}

}  // namespace e2e
