// Writes the seed corpora of the fuzz targets with the program's own writers (and small
// sound files made with libsndfile): make_seeds <corpus root>.
#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dictionary/dictionary_file.h"
#include "project/project_file.h"
#include "textfiles/textfiles.h"

namespace {

void Save(const QString& dir, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(dir);
    QFile f(dir + u'/' + name);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

void Tone(const QString& path, int format, int rate, int channels, double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return;
    const int frames = static_cast<int>(rate * seconds);
    std::vector<float> data(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[static_cast<std::size_t>(i) * channels + c] =
                0.5f * static_cast<float>(std::sin(2 * M_PI * (440 + 110 * c) * i / rate));
    sf_writef_float(f, data.data(), frames);
    sf_close(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const QString root = QString::fromLocal8Bit(argv[1]);
    using textfiles::Encoding;

    const QString sample =
        QStringLiteral("Привет, world!\r\n[Участник 1]\r\nЁлка ёж «<неразборчиво>» €\r\n☺ 😀\r\n");
    for (int i = 0; i < textfiles::kEncodingCount; ++i)
        Save(root + "/fuzz_textfiles", QStringLiteral("text%1").arg(i),
             textfiles::Encode(sample, textfiles::EncodingFromIndex(i)));
    Save(root + "/fuzz_textfiles", "lf-cr", QByteArray("a\nb\rc\r\n\n"));

    const QStringList entries = {QStringLiteral("зд\tздравствуйте"), QStringLiteral("зд\tздание"),
                                 QStringLiteral("т.е.\tто есть"), QStringLiteral("x\ta\tb"),
                                 QStringLiteral("Ё\tёлка")};
    for (Encoding e : {Encoding::Ansi, Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE}) {
        Encoding chosen = e;
        Save(root + "/fuzz_dictionary", QStringLiteral("dict%1").arg(int(e)),
             DictionaryFile::EncodeLines(entries, chosen));
    }

    project::ProjectFileData data;
    data.playing = "5";
    data.circles = "2";
    data.pause = "2";
    data.shiftBack = "1";
    data.current = 1;
    data.pos = 42;
    data.files = {QStringLiteral("/home/u/запись 1.mp3"), QStringLiteral("/tmp/b.wav")};
    project::ParticipantTable table;
    table[0] = {QStringLiteral("/home/u/анна.jpg"), QStringLiteral("Анна"), "0"};
    table[1] = {QString(), QStringLiteral("Борис"), "11141120"};
    for (Encoding e : {Encoding::Ansi, Encoding::Utf8}) {
        Save(root + "/fuzz_project", QStringLiteral("project%1").arg(int(e)),
             textfiles::Encode(textfiles::JoinLines(project::ProjectFileLines(data)), e));
        Save(root + "/fuzz_project", QStringLiteral("participants%1").arg(int(e)),
             textfiles::Encode(textfiles::JoinLines(project::ParticipantsLines(table)), e));
    }

    const QString audio = root + "/fuzz_audio";
    QDir().mkpath(audio);
    Tone(audio + "/tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 0.3);
    Tone(audio + "/tone-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2, 0.2);
    Tone(audio + "/tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 2, 0.5);
    Tone(audio + "/tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050, 1, 0.5);
    // Containers only FFmpeg reads, made from the first tone by the ffmpeg program (left
    // out where it is missing).
    for (const char* name : {"tone.m4a", "tone.webm", "tone.wma", "tone.opus"}) {
        const QString command = QStringLiteral("ffmpeg -nostdin -v error -y -i '%1' '%2'")
                                    .arg(audio + "/tone.wav", audio + "/" + name);
        if (std::system(command.toLocal8Bit().constData()) != 0)
            std::fprintf(stderr, "make_seeds: no %s (ffmpeg failed)\n", name);
    }
    return 0;
}
