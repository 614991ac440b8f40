// `nuvtolvek --recognize IN OUT` run as a batch runs it: the built program, no display, the
// recogniser as set in the settings file (or --engine), the draft written in the format of
// OUT's extension, progress and Russian messages on standard error.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>

#include "exchange/draft.h"
#include "recognize/recognizer_wav.h"
#include "recognize/tests/spoken_words.h"

namespace {

struct Outcome {
    int exitCode = -1;
    QString errors;          // standard error
    std::vector<int> shown;  // the per cents of its "Распознано N%" lines
};

class RecognizeCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("config/nuvtolvek")));
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("tmp")));
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // The settings of "Распознавание" as the program reads them.
    void Configure(const std::vector<std::pair<QString, QString>>& values) {
        const QString file = Path(QStringLiteral("config/nuvtolvek/recognize.ini"));
        QFile::remove(file);
        QSettings settings(file, QSettings::IniFormat);
        for (const auto& [key, value] : values) settings.setValue(key, value);
    }

    QString Script(const QString& name, const QString& body) {
        const QString path = Path(name);
        recognize_test::WriteScript(path, body);
        return path;
    }

    // The program with `arguments`, no display at all, a private settings and temporary
    // folder; `platform` is what QT_QPA_PLATFORM says.
    Outcome Program(const QStringList& arguments,
                    const QString& platform = QStringLiteral("offscreen"),
                    const QString& path = qEnvironmentVariable("PATH")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        env.insert(QStringLiteral("NUVTOLVEK_AUDIO"), QStringLiteral("null"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
        env.insert(QStringLiteral("TMPDIR"), Path(QStringLiteral("tmp")));
        env.insert(QStringLiteral("PATH"), path);
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(NUVTOLVEK_PROGRAM),
                      QStringList{QStringLiteral("--recognize")} + arguments);
        Outcome run;
        EXPECT_TRUE(program.waitForFinished(300000)) << "the program did not end";
        run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        run.errors = QString::fromUtf8(program.readAllStandardError());
        static const QRegularExpression shown(QStringLiteral("^Распознано (\\d+)%$"),
                                              QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& m : shown.globalMatch(run.errors))
            run.shown.push_back(m.captured(1).toInt());
        return run;
    }

    // Nothing of the run is left in the temporary folder.
    void ExpectNoTemporaryLeft() {
        EXPECT_TRUE(QDir(Path(QStringLiteral("tmp")))
                        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                        .isEmpty());
    }

    QTemporaryDir dir_;
};

TEST_F(RecognizeCommand, RealPocketSphinxWithoutADisplay) {
    const QString recording = Path(QStringLiteral("speech.wav"));
    ASSERT_TRUE(recognize_test::SpeakTo(recording));
    const double length =
        recognize::WriteRecognizerWav(recording, Path(QStringLiteral("probe.wav")));
    const QString out = Path(QStringLiteral("draft.srt"));
    // A program that wanted a display would stop here: there is none to connect to.
    const Outcome run =
        Program({recording, out, QStringLiteral("--engine"), QStringLiteral("pocketsphinx")},
                QStringLiteral("xcb"));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_GT(run.shown.size(), 3u);  // moves while the recogniser works
    EXPECT_TRUE(std::is_sorted(run.shown.begin(), run.shown.end()));
    EXPECT_EQ(run.shown.back(), 100);
    const std::vector<exchange::Segment> draft = exchange::ReadDraftFile(out);
    ASSERT_FALSE(draft.empty());
    recognize_test::ExpectIncreasingWithin(draft, length);
    const int found = recognize_test::WordsHeard(draft);
    const qsizetype spoken = recognize_test::SpokenWords().size();
    EXPECT_GE(found * 100, spoken * 60) << found << " of " << spoken;
    ExpectNoTemporaryLeft();
}

TEST_F(RecognizeCommand, DraftsInEveryFormatAndFailuresInRussian) {
    const QString recording = Path(QStringLiteral("talk.wav"));
    ASSERT_EQ(QProcess::execute(
                  QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                   QStringLiteral("-c"), QStringLiteral("2"), recording, QStringLiteral("synth"),
                   QStringLiteral("10"), QStringLiteral("sine"), QStringLiteral("440")}),
              0);
    const QString undecodable = Path(QStringLiteral("broken.mp3"));
    QFile broken(undecodable);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("not a recording\n").repeated(100));
    broken.close();

    const QString model = Path(QStringLiteral("ggml-small.bin"));
    QFile(model).open(QIODevice::WriteOnly);
    // whisper.cpp's way: -f WAV, -of BASE, -oj; per cents on standard error, JSON beside.
    const QString whisper = Script(
        QStringLiteral("whisper-cli"),
        QStringLiteral(
            "while [ $# -gt 0 ]; do case $1 in -f) wav=$2;; -of) base=$2;; esac; shift; done\n"
            "test -s \"$wav\" || exit 9\n"
            "for p in 10 50 90; do echo \"whisper_print_progress_callback: progress = $p%\" >&2; "
            "done\n"
            "printf '{\"transcription\": [{\"offsets\": {\"from\": 1500, \"to\": 3000}, "
            "\"text\": \"Привет\"}, {\"offsets\": {\"from\": 4000, \"to\": 6000}, "
            "\"text\": \"Как дела\"}]}' > \"$base.json\""));
    const QString srt =
        Script(QStringLiteral("srt.sh"),
               QStringLiteral("test -s \"$1\" || exit 9\n"
                              "printf '1\\n00:00:01,000 --> 00:00:03,000\\nДобрый день\\n\\n"
                              "2\\n00:00:05,000 --> 00:00:07,500\\nКак дела\\n'"));
    const QString failing =
        Script(QStringLiteral("failing.sh"),
               QStringLiteral("echo 'loading model' >&2\necho 'model broken' >&2\nexit 3"));
    const QString garbage =
        Script(QStringLiteral("garbage.sh"), QStringLiteral("head -c 300 /dev/urandom"));
    using Settings = std::vector<std::pair<QString, QString>>;
    auto command = [](const QString& program) {
        return Settings{{"engine", "command"},
                        {"command", program + QStringLiteral(" {input}")},
                        {"command_format", "srt"}};
    };
    const Settings whisperSettings{{"whisper_program", whisper}, {"whisper_model", model}};

    struct Case {
        const char* name;
        Settings settings;
        QStringList extra;  // after IN OUT
        QString in;
        QString outName;
        QStringList said;  // in the output file when done, on standard error when failed
        bool done;
        std::vector<int> shown = {};  // empty: any rising per cents from 0 to 100
        QString path = qEnvironmentVariable("PATH");
    };
    const Case cases[] = {
        {"whisper.cpp's JSON into WebVTT",
         whisperSettings,
         {QStringLiteral("--engine"), QStringLiteral("whisper")},
         recording,
         QStringLiteral("draft.vtt"),
         {QStringLiteral("WEBVTT"), QStringLiteral("00:00:04.000 --> 00:00:06.000\nКак дела")},
         true,
         {0, 10, 50, 90, 100}},
        {"SRT on standard output into SRT",
         command(srt),
         {},
         recording,
         QStringLiteral("draft.srt"),
         {QStringLiteral("2\n00:00:05,000 --> 00:00:07,500\nКак дела")},
         true},
        {"SRT into a transcript with timestamps",
         command(srt),
         {},
         recording,
         QStringLiteral("draft.txt"),
         {QStringLiteral("[00:00:01] Добрый день"), QStringLiteral("[00:00:05] Как дела")},
         true},
        {"SRT into a Word document",
         command(srt),
         {},
         recording,
         QStringLiteral("draft.docx"),
         {QStringLiteral("PK")},
         true},
        {"PocketSphinx not installed",
         {},
         {QStringLiteral("--engine"), QStringLiteral("pocketsphinx")},
         recording,
         QStringLiteral("draft.srt"),
         {QStringLiteral("PocketSphinx (pocketsphinx_continuous) не установлен"),
          QStringLiteral("sudo apt install pocketsphinx")},
         false,
         {},
         Path(QStringLiteral("nothing-here"))},
        {"whisper.cpp not found",
         {{"whisper_program", Path(QStringLiteral("none/whisper-cli"))}, {"whisper_model", model}},
         {QStringLiteral("--engine"), QStringLiteral("whisper")},
         recording,
         QStringLiteral("draft.srt"),
         {Path(QStringLiteral("none/whisper-cli")), QStringLiteral("не найден"),
          QStringLiteral("whisper.cpp")},
         false},
        {"whisper.cpp's model missing",
         {{"whisper_program", whisper}, {"whisper_model", Path(QStringLiteral("ggml-none.bin"))}},
         {QStringLiteral("--engine"), QStringLiteral("whisper")},
         recording,
         QStringLiteral("draft.srt"),
         {QStringLiteral("Нет файла модели whisper.cpp"), Path(QStringLiteral("ggml-none.bin")),
          QStringLiteral("download-ggml-model")},
         false},
        {"the recogniser exits non-zero",
         command(failing),
         {},
         recording,
         QStringLiteral("draft.srt"),
         {QStringLiteral(
             "Распознаватель завершился с ошибкой (код 3):\nloading model\nmodel broken")},
         false},
        {"the recogniser writes garbage",
         command(garbage),
         {},
         recording,
         QStringLiteral("draft.srt"),
         {QStringLiteral("Распознаватель выдал нечитаемый черновик")},
         false},
        {"the recording does not decode",
         command(srt),
         {},
         undecodable,
         QStringLiteral("draft.srt"),
         {QStringLiteral("Запись не читается: ") + undecodable},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Configure(c.settings);
        const QString out = Path(c.outName);
        QFile::remove(out);
        const Outcome run =
            Program(QStringList{c.in, out} + c.extra, QStringLiteral("offscreen"), c.path);
        EXPECT_TRUE(std::is_sorted(run.shown.begin(), run.shown.end()));
        ExpectNoTemporaryLeft();
        if (c.done) {
            EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
            ASSERT_FALSE(run.shown.empty());
            EXPECT_EQ(run.shown.front(), 0);
            EXPECT_EQ(run.shown.back(), 100);
            if (!c.shown.empty()) {
                EXPECT_EQ(run.shown, c.shown);
            }
            QFile file(out);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QString written = QString::fromUtf8(file.readAll()).remove(QLatin1Char('\r'));
            for (const QString& s : c.said)
                EXPECT_TRUE(written.contains(s)) << written.left(300).toStdString();
        } else {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_FALSE(QFile::exists(out));
            for (const QString& s : c.said)
                EXPECT_TRUE(run.errors.contains(s)) << run.errors.toStdString();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
