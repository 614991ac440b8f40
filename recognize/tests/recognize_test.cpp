#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <cmath>

#include "exchange/exchange_error.h"
#include "recognize/recognition.h"
#include "recognize/recognizer.h"
#include "recognize/recognizer_wav.h"
#include "recognize/tests/spoken_words.h"

namespace {

using namespace recognize;

// A 16-bit PCM WAV of a 440 Hz tone.
void WriteTone(const QString& path, int rate, int channels, double seconds) {
    const quint32 frames = quint32(rate * seconds);
    QByteArray data(int(frames * channels * 2), '\0');
    for (quint32 f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            qToLittleEndian(qint16(16000 * std::sin(2 * M_PI * 440 * f / rate)),
                            data.data() + (f * channels + c) * 2);
    QByteArray h(44, '\0');
    memcpy(h.data(), "RIFF", 4);
    qToLittleEndian(quint32(36 + data.size()), h.data() + 4);
    memcpy(h.data() + 8, "WAVEfmt ", 8);
    qToLittleEndian(quint32(16), h.data() + 16);
    qToLittleEndian(quint16(1), h.data() + 20);
    qToLittleEndian(quint16(channels), h.data() + 22);
    qToLittleEndian(quint32(rate), h.data() + 24);
    qToLittleEndian(quint32(rate * channels * 2), h.data() + 28);
    qToLittleEndian(quint16(channels * 2), h.data() + 32);
    qToLittleEndian(quint16(16), h.data() + 34);
    memcpy(h.data() + 36, "data", 4);
    qToLittleEndian(quint32(data.size()), h.data() + 40);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(h + data);
}

TEST(RecognizerWav, AnyRateAndLayoutBecomes16kMono) {
    QTemporaryDir dir;
    struct Case {
        int rate, channels;
    };
    for (const Case c : {Case{44100, 2}, Case{8000, 1}, Case{48000, 1}}) {
        SCOPED_TRACE(c.rate);
        const QString in = dir.filePath(QStringLiteral("in.wav"));
        const QString out = dir.filePath(QStringLiteral("out.wav"));
        WriteTone(in, c.rate, c.channels, 2.0);
        EXPECT_NEAR(WriteRecognizerWav(in, out), 2.0, 0.01);
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_GE(bytes.size(), 44);
        EXPECT_EQ(bytes.left(4), "RIFF");
        EXPECT_EQ(qFromLittleEndian<quint16>(bytes.data() + 22), 1);
        EXPECT_EQ(qFromLittleEndian<quint32>(bytes.data() + 24), 16000u);
        const quint32 dataBytes = qFromLittleEndian<quint32>(bytes.data() + 40);
        EXPECT_EQ(dataBytes, quint32(bytes.size() - 44));
        EXPECT_NEAR(dataBytes / 2.0, 32000, 40);
        // The tone keeps its level: RMS of a 16000 peak sine is about 11314.
        double sum = 0;
        const int n = int(dataBytes / 2);
        for (int i = n / 4; i < 3 * n / 4; ++i) {
            const double v = qFromLittleEndian<qint16>(bytes.data() + 44 + 2 * i);
            sum += v * v;
        }
        EXPECT_NEAR(std::sqrt(sum / (n / 2)), 11314, 600);
    }
}

TEST(RecognizerWav, UndecodableRecordingIsAnError) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("noise.mp3"));
    QFile file(in);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("this is not sound at all\n").repeated(40));
    file.close();
    for (const QString& path : {in, dir.filePath(QStringLiteral("missing.wav"))}) {
        try {
            WriteRecognizerWav(path, dir.filePath(QStringLiteral("out.wav")));
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const exchange::ExchangeError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("Запись не читается")));
        }
    }
}

TEST(Recognizer, ProgressOfLines) {
    struct Case {
        const char* line;
        int percent;
        double seconds;
    };
    const Case cases[] = {
        {"whisper_print_progress_callback: progress =  45%", 45, -1},
        {"[00:01:02.500 --> 00:01:04.250]   Добрый день", -1, 64.25},
        {"00:00:01,000 --> 00:00:03,500", -1, 3.5},
        {"hello 1.250 1.730 0.912", -1, 1.73},
        {"<sil> 2.000 2.400 0.999", -1, 2.4},
        {"INFO: cmn.c(133): CMN: 41.00 -5.38 1.2", -1, -1},
        {"hello world", -1, -1},
        {"", -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const LineProgress p = ProgressOfLine(QString::fromUtf8(c.line));
        EXPECT_EQ(p.percent, c.percent);
        EXPECT_NEAR(p.seconds, c.seconds, 1e-6);
    }
}

TEST(Recognizer, MissingProgramsAndModelsAreNamed) {
    QTemporaryDir dir;
    const QString model = dir.filePath(QStringLiteral("model.bin"));
    Settings missingSphinx;
    missingSphinx.pocketSphinxProgram = QStringLiteral("no-such-pocketsphinx");
    Settings missingSphinxModel;
    missingSphinxModel.pocketSphinxProgram = QStringLiteral("/bin/true");
    missingSphinxModel.pocketSphinxModel = dir.filePath(QStringLiteral("none"));
    Settings missingWhisper;
    missingWhisper.engine = Engine::Whisper;
    missingWhisper.whisperProgram = dir.filePath(QStringLiteral("whisper-cli"));
    Settings missingWhisperModel = missingWhisper;
    missingWhisperModel.whisperProgram = QStringLiteral("/bin/true");
    missingWhisperModel.whisperModel = model;
    Settings emptyCommand;
    emptyCommand.engine = Engine::Command;
    struct Case {
        Settings settings;
        QStringList named;
    };
    const Case cases[] = {
        {missingSphinx, {QStringLiteral("no-such-pocketsphinx"), QStringLiteral("apt install")}},
        {missingSphinxModel, {QStringLiteral("pocketsphinx-en-us")}},
        {missingWhisper, {missingWhisper.whisperProgram, QStringLiteral("whisper.cpp")}},
        {missingWhisperModel, {model, QStringLiteral("download-ggml-model")}},
        {emptyCommand, {QStringLiteral("Распознавание")}},
    };
    for (const Case& c : cases) {
        try {
            PlanInvocation(c.settings, QStringLiteral("/tmp/x.wav"), dir.path());
            ADD_FAILURE() << "no error for " << c.named.first().toStdString();
        } catch (const exchange::ExchangeError& e) {
            for (const QString& name : c.named)
                EXPECT_TRUE(e.message().contains(name)) << e.message().toStdString();
        }
    }
}

TEST(Recognizer, CommandTemplateIsFilledIn) {
    Settings s;
    s.engine = Engine::Command;
    s.commandTemplate =
        QStringLiteral("sh -c \"x y\" --in={input} \"{output}\" -l {language} {model}");
    s.commandFormat = exchange::DraftFormat::Vtt;
    s.language = QStringLiteral("de");
    const Invocation run = PlanInvocation(s, QStringLiteral("/t/a b.wav"), QStringLiteral("/t"));
    EXPECT_EQ(run.program, QStringLiteral("/usr/bin/sh"));
    EXPECT_EQ(run.arguments,
              (QStringList{"-c", "x y", "--in=/t/a b.wav", "/t/draft.vtt", "-l", "de", ""}));
    EXPECT_EQ(run.outputFile, QStringLiteral("/t/draft.vtt"));
    s.commandTemplate = QStringLiteral("sh {input}");
    EXPECT_TRUE(
        PlanInvocation(s, QStringLiteral("/t/a.wav"), QStringLiteral("/t")).outputFile.isEmpty());
}

// A recogniser of the test's own: a shell script run through the command template.
struct Outcome {
    std::vector<exchange::Segment> draft;
    QString error;
    std::vector<int> progress;
    bool ended = false;
};

Outcome Recognize(const QString& recording, const Settings& settings, int cancelAtPercent = -1) {
    Outcome run;
    Recognition recognition;
    QObject::connect(&recognition, &Recognition::progress, [&](int p) {
        run.progress.push_back(p);
        if (p == cancelAtPercent) {
            recognition.Cancel();
            run.ended = true;
        }
    });
    QObject::connect(&recognition, &Recognition::finished, [&](const auto& draft) {
        run.draft = draft;
        run.ended = true;
    });
    QObject::connect(&recognition, &Recognition::failed, [&](const QString& message) {
        run.error = message;
        run.ended = true;
    });
    recognition.Start(recording, settings);
    QElapsedTimer timer;
    timer.start();
    while (!run.ended && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(run.ended) << "the run never ended";
    return run;
}

class FakeRecognizer : public ::testing::Test {
  protected:
    void SetUp() override {
        recording_ = dir_.filePath(QStringLiteral("talk.wav"));
        WriteTone(recording_, 44100, 2, 10.0);
    }
    Settings Script(const QString& body,
                    exchange::DraftFormat format = exchange::DraftFormat::Srt) {
        const QString path = dir_.filePath(QStringLiteral("fake.sh"));
        recognize_test::WriteScript(path, body);
        Settings s;
        s.engine = Engine::Command;
        s.commandTemplate = path + QStringLiteral(" {input} {output} {language}");
        s.commandFormat = format;
        return s;
    }
    QTemporaryDir dir_;
    QString recording_;
};

TEST_F(FakeRecognizer, DraftsAndFailures) {
    const QString srt = QStringLiteral(
        "1\n00:00:01,000 --> 00:00:03,000\nДобрый день\n\n2\n"
        "00:00:05,000 --> 00:00:07,500\nКак дела\n");
    struct Case {
        const char* name;
        QString body;
        exchange::DraftFormat format;
        size_t segments;  // 0: a failure
        QString message;  // what the failure says
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"whisper-like progress and JSON",
         QStringLiteral(
             "test -s \"$1\" || exit 9\n"
             "for p in 0 50 100; do echo \"whisper_print_progress_callback: progress = $p%\" >&2; "
             "done\n"
             "printf '{\"transcription\": [{\"offsets\": {\"from\": 1500, \"to\": 3000}, "
             "\"text\": \"Привет\"}]}' > \"$2\""),
         exchange::DraftFormat::Json,
         1,
         {},
         {0, 50, 100}},
        {"SRT on standard output, progress from its times",
         QStringLiteral("test \"$3\" = ru || exit 9\nprintf '%s' '") + srt + QStringLiteral("'"),
         exchange::DraftFormat::Srt,
         2,
         {},
         {0, 30, 75, 100}},
        {"an own per cent behind the times already read does not move the bar back",
         QStringLiteral("echo '00:00:01,000 --> 00:00:09,000' >&2\nsleep 0.2\n"
                        "echo 'progress = 40%' >&2\nprintf '%s' '") +
             srt + QStringLiteral("'"),
         exchange::DraftFormat::Srt,
         2,
         {},
         {0, 90, 100}},
        {"non-zero exit shows the last lines of standard error",
         QStringLiteral("for i in 1 2 3 4 5 6 7 8; do echo \"line $i\" >&2; done\n"
                        "echo 'model broken' >&2\nexit 3"),
         exchange::DraftFormat::Srt,
         0,
         QStringLiteral("(код 3):\nline 4\nline 5\nline 6\nline 7\nline 8\nmodel broken"),
         {0}},
        {"killed by a signal",
         QStringLiteral("kill -9 $$"),
         exchange::DraftFormat::Srt,
         0,
         QStringLiteral("аварийно"),
         {0}},
        {"garbage",
         QStringLiteral("head -c 300 /dev/urandom"),
         exchange::DraftFormat::Srt,
         0,
         QStringLiteral("нечитаем"),
         {0}},
        {"nothing",
         QStringLiteral("true"),
         exchange::DraftFormat::Srt,
         0,
         QStringLiteral("ничего не выдал"),
         {0}},
        {"no speech",
         QStringLiteral("echo '[]'"),
         exchange::DraftFormat::Json,
         0,
         QStringLiteral("не нашёл"),
         {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s = Script(c.body, c.format);
        if (!c.body.contains(QStringLiteral("$2")))
            s.commandTemplate.replace(QStringLiteral(" {output}"), QStringLiteral(" x"));
        const Outcome run = Recognize(recording_, s);
        EXPECT_EQ(run.draft.size(), c.segments);
        EXPECT_EQ(run.progress, c.progress);
        if (c.segments == 0)
            EXPECT_TRUE(run.error.contains(c.message)) << run.error.toStdString();
        else
            EXPECT_TRUE(run.error.isEmpty()) << run.error.toStdString();
    }
}

TEST_F(FakeRecognizer, UndecodableRecordingRunsNothing) {
    const QString marker = dir_.filePath(QStringLiteral("ran"));
    const QString bad = dir_.filePath(QStringLiteral("bad.ogg"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("OggS but not really");
    file.close();
    const Outcome run = Recognize(bad, Script(QStringLiteral("touch ") + marker));
    EXPECT_TRUE(run.error.startsWith(QStringLiteral("Запись не читается")))
        << run.error.toStdString();
    EXPECT_FALSE(QFile::exists(marker));
}

bool Alive(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    return !stat.readAll().contains(") Z ");  // a zombie is gone but for its parent's wait
}

TEST_F(FakeRecognizer, CancelStopsTheWholeGroupAndRemovesTheFolder) {
    const QString notes = dir_.filePath(QStringLiteral("notes"));
    // Starts a child of its own, tells where it works, then hangs.
    const Settings s = Script(QStringLiteral("sleep 300 &\necho $! > %1.child\npwd > %1.folder\n"
                                             "echo 'progress = 5%' >&2\nsleep 300")
                                  .arg(notes));
    const Outcome run = Recognize(recording_, s, 5);
    EXPECT_TRUE(run.draft.empty());
    EXPECT_TRUE(run.error.isEmpty());
    QFile child(notes + QStringLiteral(".child"));
    QFile folder(notes + QStringLiteral(".folder"));
    ASSERT_TRUE(child.open(QIODevice::ReadOnly));
    ASSERT_TRUE(folder.open(QIODevice::ReadOnly));
    const pid_t pid = child.readAll().trimmed().toInt();
    const QString workFolder = QString::fromUtf8(folder.readAll().trimmed());
    ASSERT_GT(pid, 0);
    QElapsedTimer timer;
    timer.start();
    while (Alive(pid) && timer.elapsed() < 5000) QThread::msleep(20);
    EXPECT_FALSE(Alive(pid));
    EXPECT_FALSE(QDir(workFolder).exists()) << workFolder.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
