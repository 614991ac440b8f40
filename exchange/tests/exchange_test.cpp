#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "exchange/draft.h"
#include "exchange/exchange_error.h"
#include "exchange/export.h"
#include "exchange/subtitles.h"
#include "exchange/transcript.h"
#include "textfiles/textfiles.h"

namespace {

using namespace exchange;

const std::vector<Speaker> kSpeakers = {{QStringLiteral("Анна"), 170},
                                        {QStringLiteral("Борис"), 11141120}};
const QStringList kNames = {QStringLiteral("Анна"), QStringLiteral("Борис")};

std::string Utf8(const QByteArray& bytes) {
    return bytes.toStdString();
}
std::string Std(const QString& text) {
    return text.toStdString();
}

// The message of the ExchangeError `f` throws; empty when it throws none.
template <typename F>
QString ErrorOf(F f) {
    try {
        f();
    } catch (const ExchangeError& e) {
        return e.message();
    }
    return {};
}

TEST(Subtitles, TranscriptGivesOneCuePerTimestampWithSpeakers) {
    const QString transcript = QStringLiteral(
        "Вступление\r\n[Анна]\r\n[00:00:01] Добрый <день> & всем.\r\n"
        "[00:00:03.5] Вторая --> фраза\r\n[00:00:04] [00:00:06]\r\n[Борис]\r\n"
        "[00:00:06] Ответ\r\nв две строки");
    ExportOptions options;
    options.recordingLength = 10.0;
    EXPECT_EQ(
        Utf8(ExportBytes(transcript, kSpeakers, ExportFormat::Srt, options)),
        Std(QStringLiteral("1\r\n00:00:00,000 --> 00:00:01,000\r\nВступление\r\n\r\n"
                           "2\r\n00:00:01,000 --> 00:00:03,500\r\n"
                           "Анна: Добрый <день> & всем.\r\n\r\n"
                           "3\r\n00:00:03,500 --> 00:00:04,000\r\nАнна: Вторая -> фраза\r\n\r\n"
                           "4\r\n00:00:06,000 --> 00:00:10,000\r\nБорис: Ответ в две строки\r\n"
                           "\r\n")));
    options.recordingLength.reset();
    EXPECT_EQ(
        Utf8(ExportBytes(transcript, kSpeakers, ExportFormat::Vtt, options)),
        Std(QStringLiteral("WEBVTT\n\n00:00:00.000 --> 00:00:01.000\nВступление\n\n"
                           "00:00:01.000 --> 00:00:03.500\n"
                           "<v Анна>Добрый &lt;день&gt; &amp; всем.\n\n"
                           "00:00:03.500 --> 00:00:04.000\n<v Анна>Вторая -&gt; фраза\n\n"
                           "00:00:06.000 --> 00:00:11.000\n<v Борис>Ответ в две строки\n\n")));
}

TEST(Subtitles, ATurnInsideACueAndTheOffsetTakenOff) {
    ExportOptions options;
    options.style = {TimestampFormat::Hundredths, 3600.0};
    const QString transcript =
        QStringLiteral("#01:00:02.25# [Анна] да\r\n[Борис]\r\nнет #01:00:04.00#");
    EXPECT_EQ(Utf8(ExportBytes(transcript, kSpeakers, ExportFormat::Vtt, options)),
              Std(QStringLiteral("WEBVTT\n\n00:00:02.250 --> 00:00:04.000\n<v Анна>да\n"
                                 "<v Борис>нет\n\n")));
}

TEST(Subtitles, ATimestampEarlierThanTheOneBeforeIsRefusedAndNothingWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.srt"));
    const QString message = ErrorOf([&] {
        ExportFile(path, QStringLiteral("[00:00:05] a\r\nb\r\n[00:00:04] c"), kSpeakers, {});
    });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Строка 3:"))) << message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
}

// SRT → text → SRT and WebVTT → text → WebVTT in every style: the same cues, times to the
// precision the style holds.
TEST(Subtitles, RoundTripsThroughTheTranscript) {
    const struct {
        TimestampFormat format;
        double step;  // finest time the style writes
    } styles[] = {{TimestampFormat::Seconds, 1.0},
                  {TimestampFormat::Tenths, 0.1},
                  {TimestampFormat::Hundredths, 0.01}};
    for (const auto& style : styles) {
        for (const bool vtt : {false, true}) {
            SCOPED_TRACE(static_cast<int>(style.format) * 2 + vtt);
            // Cues end where the next starts; the last lasts the 5 s an export gives it.
            const double starts[] = {1.0, 1.0 + 3 * style.step, 7.0 + 7 * style.step, 3661.0};
            // A turn lasts until the next: only text before the first one has no speaker.
            const char* speakers[] = {"", "Анна", "Анна", "Борис"};
            const char* texts[] = {"Без имени", "Первая реплика.", "Вторая, того же.",
                                   "Ответ & <вопрос>"};
            std::vector<Segment> cues;
            for (int i = 0; i < 4; ++i) {
                cues.push_back({starts[i], i < 3 ? starts[i + 1] : starts[i] + kLastCueSeconds,
                                QString::fromUtf8(texts[i]), QString::fromUtf8(speakers[i])});
            }
            std::vector<Cue> source;
            for (const Segment& s : cues) {
                const int speaker = kNames.indexOf(s.speaker);
                source.push_back({s.start, s.end, {{speaker, s.text}}});
            }
            const QByteArray file = vtt ? VttBytes(source, kSpeakers) : SrtBytes(source, kSpeakers);
            const TimestampStyle timestampStyle{style.format, 0.0};
            const QString text =
                DraftText(ReadDraft(DecodeTextBytes(file)), kNames, timestampStyle);
            ExportOptions options;
            options.style = timestampStyle;
            const QByteArray back =
                ExportBytes(text, kSpeakers, vtt ? ExportFormat::Vtt : ExportFormat::Srt, options);
            EXPECT_EQ(Utf8(back), Utf8(file)) << text.toStdString();
        }
    }
}

TEST(Drafts, ReadFromSrtWebVttAndJsonAlike) {
    const char* drafts[] = {
        "1\n00:00:01,500 --> 00:00:03,000\nПривет,\nмир\n\n2\n00:00:04,000 --> 00:00:05,000\n"
        "Анна: Да\n",
        "WEBVTT - title\nKind: captions\n\nNOTE a comment\n\nid-1\n00:01.500 --> 00:03.000 "
        "align:start\n<c.x>Привет,</c>\nмир\n\n00:00:04.000 --> 00:00:05.000\n<v.loud "
        "Анна>Да</v>\n",
        "[{\"start\": 1.5, \"end\": 3, \"text\": \" Привет, мир\"},"
        " {\"start\": 4, \"end\": 5, \"text\": \"Да\", \"speaker\": \"Анна\"}]",
        "{\"segments\": [{\"start\": 1.5, \"end\": 3.0, \"text\": \"Привет,  мир\"},"
        " {\"start\": 4, \"end\": 5, \"text\": \"Да\", \"speaker\": \"Анна\"}]}",
        "{\"transcription\": [{\"offsets\": {\"from\": 1500, \"to\": 3000}, \"text\": \"Привет, "
        "мир\"}, {\"offsets\": {\"from\": 4000, \"to\": 5000}, \"text\": \"Анна: Да\"}]}",
    };
    for (const char* draft : drafts) {
        SCOPED_TRACE(draft);
        const std::vector<Segment> segments = ReadDraft(QString::fromUtf8(draft));
        EXPECT_EQ(DraftText(segments, kNames, {}),
                  QStringLiteral("[00:00:01] Привет, мир\r\n[Анна]\r\n[00:00:04] Да"));
    }
}

TEST(Drafts, OneSpeakersSegmentsMakeOneParagraphAndStrangersAreNamed) {
    const std::vector<Segment> segments = {
        {0.0, 1.0, QStringLiteral("a"), QStringLiteral("Анна")},
        {1.0, 2.0, QStringLiteral("b"), QStringLiteral("Анна")},
        {2.0, 3.0, QStringLiteral("c"), QStringLiteral("SPEAKER_01")},
        {3.0, 4.0, QStringLiteral("d"), QString()},
        {4.0, 5.0, QStringLiteral("e"), QString()}};
    EXPECT_EQ(DraftText(segments, kNames, {TimestampFormat::Tenths, 3600.0}),
              QStringLiteral("[Анна]\r\n[01:00:00.0] a [01:00:01.0] b\r\n"
                             "[01:00:02.0] SPEAKER_01: c\r\n[01:00:03.0] d\r\n[01:00:04.0] e"));
}

TEST(Drafts, EveryEncodingOfTheTextFilesReadsTheSame) {
    const QString srt = QStringLiteral("1\r\n00:00:01,000 --> 00:00:02,000\r\nЁжик в тумане\r\n");
    const QByteArray forms[] = {
        textfiles::Encode(srt, textfiles::Encoding::Utf8),
        srt.toUtf8(),
        textfiles::Encode(srt, textfiles::Encoding::Utf16LE),
        textfiles::Encode(srt, textfiles::Encoding::Utf16BE),
        textfiles::Encode(srt, textfiles::Encoding::Utf16LE).mid(2),  // no mark
        textfiles::Encode(srt, textfiles::Encoding::Ansi),
    };
    for (const QByteArray& bytes : forms) {
        SCOPED_TRACE(bytes.toHex().left(16).toStdString());
        const std::vector<Segment> segments = ReadDraft(DecodeTextBytes(bytes));
        ASSERT_EQ(segments.size(), 1u);
        EXPECT_EQ(segments[0].text, QStringLiteral("Ежик в тумане").replace(0, 1, QChar(0x401)));
    }
}

TEST(Drafts, BrokenInputIsRefusedNamingWhere) {
    QByteArray deep(10000, '[');
    deep += QByteArray(10000, ']');
    QByteArray binary = "1\n00:00:01,000 --> 00:00:02,000\n";
    binary += QByteArray(
        "\x7F"
        "ELF\x02\x01\x00\x00\xff\xfe",
        10);
    const struct {
        QByteArray bytes;
        const char* start;  // of the message
    } cases[] = {
        {"1\n00:00:01,000 --> 00:00:02,000\nок\n\n2\n00:00:0x,000 --> 00:00:03,000\nt\n",
         "Строка 6: ожидалось время"},
        {"1\n00:00:01,000 --> 00:00:02,000\n\n2\n00:00:02,000 --> 00:00:03,000\nt\n",
         "Строка 2: субтитр без текста"},
        {"1\n00:00:05,000 --> 00:00:04,000\nt\n", "Строка 2: конец раньше начала"},
        {"1\n00:00:05,000 --> 00:00:06,000\nt\n\n2\n00:00:01,000 --> 00:00:02,000\nt\n",
         "Строка 6: время раньше"},
        {"1\n00:01:61,000 --> 00:01:62,000\nt\n", "Строка 2: ожидалось время"},
        {"WEBVTT\n\n00:01.000 --> 00:02.000\n<v Анна></v>\n", "Строка 3: субтитр без текста"},
        {"WEBVTTX\n\n00:01.000 --> 00:02.000\nt\n", "Строка 1: нет заголовка WEBVTT"},
        {"[{\"start\": 1, \"end\": 2, \"text\": \"a\"},\n {\"start\": 3, \"end\": 4 \"text\": 1}]",
         "Строка 2, позиция"},
        {"{\"segments\": [{\"start\": \"x\", \"end\": 2, \"text\": \"a\"}]}",
         "Отрезок 1: неверное время"},
        {"[{\"start\": 1, \"end\": 2, \"text\": \"a\"}, {\"start\": 2, \"end\": 3}]",
         "Отрезок 2: нет текста"},
        {"{\"text\": \"a\"}", "Строка 1: нет массива"},
        {deep, "Строка 1, позиция"},
        {binary, "Строка 3: двоичные данные"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        const QString message = ErrorOf([&] { ReadDraft(DecodeTextBytes(c.bytes)); });
        EXPECT_TRUE(message.startsWith(QString::fromUtf8(c.start))) << message.toStdString();
    }
}

TEST(Drafts, PocketSphinxUtterancesBecomeSegmentsWithoutFillers) {
    const QString output = QStringLiteral(
        "INFO: something 1 2 3\n"
        "the quick brown fox\n<s> 0.000 0.020 0.999700\nthe(2) 0.030 0.220 0.020332\n"
        "<sil> 0.230 0.410 0.778000\nquick 0.420 0.700 0.9\n[NOISE] 0.7 0.8 0.5\n"
        "brown 0.810 1.100 0.9\n</s> 1.110 1.500 1.000000\n"
        "nothing\n<s> 1.600 1.700 1.0\n<sil> 1.7 2.0 1.0\n</s> 2.0 2.2 1.0\n"
        "fox\n<s> 2.300 2.400 1.0\n++UM++ 2.4 2.5 1.0\nfox 2.500 2.900 0.8\n</s> 2.9 3.0 1.0\n");
    const std::vector<Segment> segments = ReadPocketSphinx(output);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].text, QStringLiteral("the quick brown"));
    EXPECT_DOUBLE_EQ(segments[0].start, 0.03);
    EXPECT_DOUBLE_EQ(segments[0].end, 1.1);
    EXPECT_EQ(segments[1].text, QStringLiteral("fox"));
    EXPECT_DOUBLE_EQ(segments[1].start, 2.5);

    const struct {
        const char* line;
        std::optional<int> percent;
    } lines[] = {{"whisper_print_progress_callback: progress =  45%", 45},
                 {"[ 7%] done", 7},
                 {"100% done", 100},
                 {"150%", std::nullopt},
                 {"progress", std::nullopt},
                 {"%", std::nullopt}};
    for (const auto& l : lines) {
        SCOPED_TRACE(l.line);
        EXPECT_EQ(ProgressPercent(QString::fromUtf8(l.line)), l.percent);
    }
}

TEST(Drafts, AHugeOrMissingFileIsRefusedBeforeReading) {
    QTemporaryDir dir;
    const QString huge = dir.filePath(QStringLiteral("huge.srt"));
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(100LL * 1024 * 1024));  // sparse: nothing is really written
    file.close();
    EXPECT_TRUE(ErrorOf([&] { ReadDraftFile(huge); }).contains(QStringLiteral("слишком велик")));
    EXPECT_TRUE(ErrorOf([&] {
                    ReadDraftFile(dir.filePath(QStringLiteral("нет.srt")));
                }).contains(QStringLiteral("нет.srt")));
}

TEST(Export, TextWithAndWithoutTimestampsAndFormatsByExtension) {
    const QString transcript = QStringLiteral("[Анна]\r\n[00:00:01] да #00:00:02.00# нет");
    ExportOptions options;
    EXPECT_EQ(ExportBytes(transcript, kSpeakers, ExportFormat::Text, options),
              QByteArray("\xEF\xBB\xBF") + transcript.toUtf8());
    options.timestamps = false;
    EXPECT_EQ(ExportBytes(transcript, kSpeakers, ExportFormat::Text, options),
              QByteArray("\xEF\xBB\xBF") + QStringLiteral("[Анна]\r\nда нет").toUtf8());
    EXPECT_EQ(ExportFormatFor(QStringLiteral("a/Протокол.DOCX")), ExportFormat::Docx);
    EXPECT_EQ(ExportFormatFor(QStringLiteral("a.vtt")), ExportFormat::Vtt);
    EXPECT_FALSE(ExportFormatFor(QStringLiteral("a.doc")).has_value());
}

TEST(Export, ConvertsADraftWithTheParticipantsCompanion) {
    QTemporaryDir dir;
    const QString draft = dir.filePath(QStringLiteral("draft.json"));
    textfiles::WriteFileBytes(draft,
                              QStringLiteral("[{\"start\": 2.345, \"end\": 3, \"text\": \"Да\", "
                                             "\"speaker\": \"Борис\"}, {\"start\": 3, \"end\": 3, "
                                             "\"text\": \"Нет\", \"speaker\": \"S1\"}]")
                                  .toUtf8());
    const QString participants = dir.filePath(QStringLiteral("p.par"));
    textfiles::WriteLines(participants,
                          {QStringLiteral("\tАнна\t0"), QStringLiteral("\tБорис\t16711680")},
                          textfiles::Encoding::Utf8);
    const QString vtt = dir.filePath(QStringLiteral("out.vtt"));
    ConvertFile(draft, vtt, participants, {});
    EXPECT_EQ(Utf8(textfiles::ReadFileBytes(vtt)),
              Std(QStringLiteral("WEBVTT\n\n00:00:02.345 --> 00:00:03.000\n<v Борис>Да\n\n"
                                 "00:00:03.000 --> 00:00:08.000\n<v S1>Нет\n\n")));
    const QString txt = dir.filePath(QStringLiteral("out.txt"));
    ConvertFile(draft, txt, participants, {});
    EXPECT_EQ(Utf8(textfiles::ReadFileBytes(txt)),
              Std(u'\xFEFF' + QStringLiteral("[Борис]\r\n[00:00:02] Да\r\n[00:00:03] S1: Нет")));
    EXPECT_FALSE(ErrorOf([&] { ConvertFile(draft, dir.filePath("out.doc"), {}, {}); }).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out.doc")));
}

}  // namespace
