// Shared by the window tests: sound files made at run time, and small file helpers.
#pragma once

#include <sndfile.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cmath>
#include <vector>

namespace test_support {

// A mono 16-bit WAV of `seconds` at `rate` holding a quiet tone.
inline bool WriteWav(const QString& path, double seconds, int rate = 44100) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) return false;
    const auto frames = static_cast<sf_count_t>(seconds * rate);
    std::vector<short> samples(static_cast<size_t>(frames));
    for (sf_count_t i = 0; i < frames; ++i)
        samples[static_cast<size_t>(i)] =
            static_cast<short>(3000 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / rate));
    const sf_count_t written = sf_write_short(file, samples.data(), frames);
    sf_close(file);
    return written == frames;
}

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}

}  // namespace test_support
