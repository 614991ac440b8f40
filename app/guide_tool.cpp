// Makes the user guide's pictures and its keys table from the program itself:
//   guide_tool GUIDE_DIR
// starts the window set offscreen with a prepared project (recordings it generates, a
// transcript, named participants with pictures, a small dictionary), grabs every window into
// GUIDE_DIR/images/*.png and rewrites the keys block of GUIDE_DIR/index.html from the
// windows' own key bindings. Run through scripts/screenshots.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>

#include "app/about_box.h"
#include "app/application.h"
#include "app/guide_files.h"
#include "app/key_list.h"
#include "app/look_and_feel.h"
#include "app/program_icon.h"
#include "app/restore_window.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/envelope.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/selection_loop.h"
#include "player/sound_notice.h"
#include "player/strip_workbench.h"
#include "player/waveform_view.h"
#include "recovery/recovery_copy.h"
#include "recovery/recovery_store.h"
#include "textfiles/textfiles.h"

namespace {

void Fail(const QString& message) {
    std::fprintf(stderr, "guide_tool: %s\n", qPrintable(message));
    std::exit(1);
}

// A 16-bit mono WAV that looks and sounds like speech on the waveform strip: syllables of
// noisy voiced sound grouped into words and phrases, with pauses between them.
void WriteSpeechLikeWav(const QString& path, double seconds, unsigned seed) {
    constexpr int kRate = 22050;
    const auto frames = static_cast<qsizetype>(seconds * kRate);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    QByteArray samples(frames * 2, '\0');
    qsizetype at = 0;
    while (at < frames) {
        const int words = 2 + static_cast<int>(unit(random) * 6);
        for (int w = 0; w < words && at < frames; ++w) {
            const int syllables = 1 + static_cast<int>(unit(random) * 4);
            for (int s = 0; s < syllables && at < frames; ++s) {
                const auto length = static_cast<qsizetype>((0.12 + unit(random) * 0.16) * kRate);
                const double pitch = 110 + unit(random) * 120;
                const double loudness = 0.25 + unit(random) * 0.6;
                for (qsizetype i = 0; i < length && at < frames; ++i, ++at) {
                    const double t = static_cast<double>(i) / kRate;
                    const double shape = std::sin(M_PI * static_cast<double>(i) / length);
                    const double voice = 0.7 * std::sin(2 * M_PI * pitch * t) +
                                         0.3 * std::sin(2 * M_PI * pitch * 3.1 * t) +
                                         0.25 * (unit(random) * 2 - 1);
                    const auto value = static_cast<qint16>(9000 * loudness * shape * voice);
                    samples[at * 2] = static_cast<char>(value & 0xff);
                    samples[at * 2 + 1] = static_cast<char>((value >> 8) & 0xff);
                }
            }
            at += static_cast<qsizetype>((0.05 + unit(random) * 0.1) * kRate);
        }
        at += static_cast<qsizetype>((0.3 + unit(random) * 0.6) * kRate);
    }
    auto le32 = [](quint32 v) {
        QByteArray bytes;
        for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>((v >> (8 * i)) & 0xff));
        return bytes;
    };
    auto le16 = [&le32](quint16 v) { return le32(v).left(2); };
    QByteArray wav = "RIFF" + le32(static_cast<quint32>(36 + samples.size())) + "WAVEfmt " +
                     le32(16) + le16(1) + le16(1) + le32(kRate) + le32(kRate * 2) + le16(2) +
                     le16(16) + "data" + le32(static_cast<quint32>(samples.size())) + samples;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
        Fail("cannot write " + path);
}

// A participant's picture: initials on a coloured disc.
void WritePortrait(const QString& path, const QColor& colour, const QString& initials) {
    QImage image(105, 150, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(8, 30, 89, 89);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 30, 89, 89), Qt::AlignCenter, initials);
    painter.end();
    if (!image.save(path, "JPEG", 92)) Fail("cannot write " + path);
}

// Decimal colour with red in the lowest byte.
QString ColourValue(const QColor& colour) {
    return QString::number(colour.red() | (colour.green() << 8) | (colour.blue() << 16));
}

void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

void Save(QWidget* window, const QString& path) {
    window->show();
    window->raise();
    Settle();
    const QPixmap picture = window->grab();
    if (picture.isNull() || !picture.save(path, "PNG")) Fail("cannot write " + path);
    std::printf("%s %dx%d\n", qPrintable(path), picture.width(), picture.height());
}

const QString kTitle = QStringLiteral("Интервью с И. Смирновым, 14 марта 2026 г.");
const QString kTranscript =
    kTitle +
    QStringLiteral(
        "\r\n\r\n[Анна Петрова]\r\n"
        "Добрый день. Расскажите, пожалуйста, с чего началась ваша работа в лаборатории. "
        "[00:00:33]\r\n"
        "[Игорь Смирнов]\r\n"
        "Это было в две тысячи двенадцатом году. Я пришёл туда ещё студентом, по программе "
        "обмена, и, как мне кажется, остался там из-за людей, а не из-за темы. [00:00:40]\r\n"
        "[Анна Петрова]\r\n"
        "А тема была какая?\r\n"
        "[Игорь Смирнов]\r\n"
        "Распознавание речи. Тогда это казалось почти фантастикой [00:01:12] — "
        "[неразборчиво] — но через год у нас уже был первый прототип.\r\n"
        "[Мария Ким]\r\n"
        "Можно я добавлю? Прототип работал только с одним диктором, и этим диктором был "
        "Игорь.\r\n");

}  // namespace

// The player's waveform strip with a margin of its window around it.
void SaveStrip(const QString& path) {
    Settle();
    const QRect strip = Form1->PaintBox1->geometry().adjusted(-4, -4, 4, 4);
    const QPixmap picture = Form1->PaintBox1->parentWidget()->grab(strip);
    if (!picture.save(path, "PNG")) Fail("cannot write " + path);
}

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: guide_tool GUIDE_DIR\n");
        return 2;
    }
    // A fixed folder, so that the playlist's paths look the same in every run.
    QDir("/tmp/Расшифровка").removeRecursively();
    if (!QDir().mkpath("/tmp/Расшифровка")) Fail("no folder /tmp/Расшифровка");
    const QDir work("/tmp/Расшифровка");
    // Nothing of the user's: every per-user folder of the run is a temporary one.
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = work.filePath(QString::fromLatin1(name));
        QDir().mkpath(dir);
        qputenv(name, QFile::encodeName(dir));
    }

    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("NUV Tolvek"));
    TApplication::setDesktopFileName(QStringLiteral("nuvtolvek"));
    TApplication::setWindowIcon(ProgramIcon());
    // The pictures show the windows as the program draws them: its font and Russian texts.
    SetUpLookAndFeel(app);
    const QDir guideDir(QString::fromLocal8Bit(argv[1]));
    const QString pagePath = guideDir.filePath(QString::fromLatin1(guide::kStartPage));
    if (!QFile::exists(pagePath)) Fail("no guide page " + pagePath);
    guideDir.mkpath(QStringLiteral("images"));

    // The prepared work: three recordings, pictures of the participants, a dictionary.
    const QDir& folder = work;
    folder.mkpath(QStringLiteral("Интервью"));
    const QStringList recordings = {folder.filePath("Интервью/интервью_часть_1.wav"),
                                    folder.filePath("Интервью/интервью_часть_2.wav"),
                                    folder.filePath("Интервью/совещание_отдела.wav")};
    WriteSpeechLikeWav(recordings[0], 95, 1);
    WriteSpeechLikeWav(recordings[1], 154, 2);
    WriteSpeechLikeWav(recordings[2], 61, 3);
    struct Person {
        QString name, initials;
        QColor colour;
    };
    const Person people[] = {
        {QStringLiteral("Анна Петрова"), QStringLiteral("АП"), QColor(0x1f, 0x5f, 0xbf)},
        {QStringLiteral("Игорь Смирнов"), QStringLiteral("ИС"), QColor(0xb0, 0x30, 0x30)},
        {QStringLiteral("Мария Ким"), QStringLiteral("МК"), QColor(0x2e, 0x8b, 0x57)}};
    const QString dictionaryPath = QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib";
    textfiles::WriteFileBytes(
        dictionaryPath,
        textfiles::ByteOrderMark(textfiles::Encoding::Utf8) +
            QStringLiteral("кмк\tкак мне кажется\r\nлаб\tлаборатория\r\nнрзб\t[неразборчиво]\r\n"
                           "пр\tпрограмма\r\nпр\tпрототип\r\nпр\tпредложение\r\n"
                           "рр\tраспознавание речи\r\nт.е.\tто есть\r\n")
                .toUtf8());

    if (!audio::OpenManualOutput(44100)) Fail("no manual sound output");
    if (!RunShowingErrors(CreateWindowSet)) Fail("the windows could not be created");
    Form1->Timer1->stop();
    Form1->MessageHook = [](const QString& text) { Fail("player message: " + text); };
    Form1->OpenFilesHook = [&recordings] { return recordings; };
    // Shown first: the waveform strip gets its size when the window is laid out.
    Form1->show();
    Settle();
    Form1->N7Click();
    Form1->ListBox1->setCurrentRow(1);
    Form1->ListBox1Click();
    // A fast speaker, slowed down.
    Form1->SetSpeed(0.75);
    // Voice made clearer: 1–4 kHz raised, the hum below 100 Hz lowered (gain = 15 − position).
    const std::pair<const char*, int> bands[] = {{"TrackBar3", 21}, {"TrackBar4", 19},
                                                 {"TrackBar8", 12}, {"TrackBar9", 9},
                                                 {"TrackBar10", 8}, {"TrackBar11", 10}};
    for (const auto& [name, position] : bands) {
        auto* slider = Form1->findChild<QSlider*>(QString::fromLatin1(name));
        if (slider == nullptr) Fail(QStringLiteral("no slider %1").arg(QString::fromLatin1(name)));
        slider->setValue(position);
    }
    Form1->EnvelopeWorker->WaitIdle();
    // Some 37 s into the recording: a fragment repeated, the waveform drawn.
    auto position = [] {
        return audio::BytesToSeconds(Form1->Stream,
                                     audio::StreamPosition(Form1->Stream, audio::POS_BYTE));
    };
    for (int tick = 0; tick < 1000 && position() < 37.0; ++tick) {
        audio::AdvanceManualOutput(8820);
        Form1->Timer1Timer();
    }

    for (int n = 0; n < 3; ++n) {
        const QString picture = folder.filePath(QStringLiteral("portrait%1.jpg").arg(n + 1));
        WritePortrait(picture, people[n].colour, people[n].initials);
        Form5->SetCells(n + 1, 1, picture);
        Form5->SetCells(n + 1, 2, people[n].name);
        Form5->SetCells(n + 1, 3, ColourValue(people[n].colour));
    }
    Form2->ReplaceText(kTranscript);
    Form2->show();
    Settle();
    QTextCursor caret = Form2->Memo1->textCursor();
    caret.movePosition(QTextCursor::End);
    Form2->Memo1->setTextCursor(caret);
    Form2->Memo1Click();

    const QString images = guideDir.filePath(QStringLiteral("images"));
    Save(Form1, images + "/player.png");
    // The notice of a lost sound card, as the top of the player shows it.
    if (QLabel* notice = Form1->findChild<QLabel*>(QStringLiteral("SoundNotice"))) {
        // The notice follows the engine four times a second; the null output is never lost.
        if (Form1->Notice != nullptr)
            for (QTimer* poll : Form1->Notice->findChildren<QTimer*>()) poll->stop();
        notice->show();
        Settle();
        const QPixmap strip = Form1->grab(QRect(0, 0, Form1->width(), 50));
        if (!strip.save(images + "/sound-notice.png", "PNG"))
            Fail("cannot write " + images + "/sound-notice.png");
        notice->hide();
    } else {
        Fail("no sound notice in the player");
    }
    Save(Form2, images + "/editor.png");
    // The strip as a workbench: zoomed in, the fragment and the typed timestamps on it; then a
    // stretch selected to be looped.
    Form1->Strip->ZoomIn();
    Form1->Strip->ZoomIn();
    for (int tick = 0; tick < 6; ++tick) {
        audio::AdvanceManualOutput(8820);
        Form1->Timer1Timer();
    }
    SaveStrip(images + "/strip-zoomed.png");
    Form1->Strip->SetSelection(LoopSelection{position() + 0.4, position() + 2.7, false});
    for (int tick = 0; tick < 4; ++tick) {
        audio::AdvanceManualOutput(8820);
        Form1->Timer1Timer();
    }
    SaveStrip(images + "/strip-selection.png");
    Form1->Strip->ClearSelection();
    Save(Form3, images + "/dictionary.png");
    Save(Form5, images + "/participants.png");
    Form6->SetVariants(
        {QStringLiteral("программа"), QStringLiteral("прототип"), QStringLiteral("предложение")});
    Save(Form6, images + "/variants.png");
    Form6->hide();
    Save(AboutBox, images + "/about.png");
    AboutBox->hide();

    // The restore window as the next start after a crash shows it: two runs, the newer one
    // opened on its older copies. The copies are real files, so that each row can say the
    // line it changed.
    const QDir copies(work.filePath(QStringLiteral("copies")));
    copies.mkpath(QStringLiteral("."));
    const auto addRun = [&](const QDateTime& newest, const QList<QString>& texts, int gapSecs) {
        recovery::RunInfo run;
        for (int i = 0; i < texts.size(); ++i) {
            recovery::RecoveryState state;
            state.text = texts[i];
            const qint64 timeMs = newest.addSecs(-gapSecs * i).toMSecsSinceEpoch();
            const QByteArray bytes = recovery::EncodeCopy(state, timeMs, texts.size() - i);
            recovery::CopyInfo copy;
            copy.path = copies.filePath(QStringLiteral("%1-%2.nrc").arg(timeMs).arg(i));
            textfiles::WriteFileBytes(copy.path, bytes);
            const std::optional<recovery::CopyHeader> header =
                recovery::DecodeCopyHeader(bytes, bytes.size());
            if (!header) Fail("cannot make a recovery copy");
            copy.header = *header;
            run.copies << copy;
        }
        return run;
    };
    // Each older copy lacks the turn typed after it.
    const QString lastTurn = QStringLiteral("[Мария Ким]\r\n");
    const QString beforeLast = kTranscript.left(kTranscript.lastIndexOf(lastTurn));
    const QString earlier =
        beforeLast.left(beforeLast.lastIndexOf(QStringLiteral("[Игорь Смирнов]\r\n")));
    const QString meeting = QStringLiteral(
        "Совещание отдела, 13 марта 2026 г.\r\n\r\n[Мария Ким]\r\nНачнём с планов на "
        "квартал.\r\n");
    recovery::ScanResult scan;
    scan.offered << addRun(QDateTime(QDate(2026, 3, 14), QTime(15, 42, 10)),
                           {kTranscript, beforeLast, earlier}, 47)
                 << addRun(QDateTime(QDate(2026, 3, 13), QTime(17, 5, 31)),
                           {meeting + QStringLiteral("[Анна Петрова]\r\nХорошо.\r\n"), meeting},
                           62);
    auto* restore = new RestoreWindow(
        Form1, scan, [](const recovery::CopyInfo&, const QString&) { return false; },
        [](const QStringList&) {});
    restore->CopyList->topLevelItem(0)->setExpanded(true);
    Save(restore, images + "/restore.png");
    restore->close();

    // The keys table, from the windows' own bindings.
    QFile page(pagePath);
    if (!page.open(QIODevice::ReadOnly)) Fail("cannot read " + pagePath);
    const QString html = QString::fromUtf8(page.readAll());
    page.close();
    const auto updated = guide::WithKeysBlock(
        html, guide::KeysTableHtml(ProgramKeys({Form1, Form2, Form3, Form5, Form6})));
    if (!updated) Fail("the keys block markers are missing in " + pagePath);
    if (*updated != html) {
        if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            page.write(updated->toUtf8()) < 0)
            Fail("cannot write " + pagePath);
        std::printf("%s: keys table updated\n", qPrintable(pagePath));
    }

    DestroyWindowSet();
    audio::CloseDevice();
    QDir("/tmp/Расшифровка").removeRecursively();
    return 0;
}
