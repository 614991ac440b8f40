#include "textfiles/textfiles.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <random>

using namespace textfiles;

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(static_cast<char>(v));
    return out;
}

const Encoding kAll[] = {Encoding::Ansi,    Encoding::Ascii, Encoding::Utf16LE,
                         Encoding::Utf16BE, Encoding::Utf8,  Encoding::Utf7};

// Cyrillic, Latin, CR LF, a BMP character outside Windows-1251 and one outside the BMP.
const QString kMixed = QStringLiteral("Привет, World!\r\nвторая Ёлка\r\n中 😀 end");

}  // namespace

TEST(TextEncodings, UnicodeEncodingsRoundTripEverything) {
    for (Encoding e : {Encoding::Utf16LE, Encoding::Utf16BE, Encoding::Utf8, Encoding::Utf7}) {
        EXPECT_EQ(Decode(Encode(kMixed, e), e), kMixed) << EncodingName(e).toStdString();
    }
}

TEST(TextEncodings, ByteEncodingsWriteQuestionMarkForMissingCharacters) {
    // The pair of the emoji is one character and becomes one "?".
    EXPECT_EQ(Decode(Encode(kMixed, Encoding::Ansi), Encoding::Ansi),
              QStringLiteral("Привет, World!\r\nвторая Ёлка\r\n? ? end"));
    EXPECT_EQ(Decode(Encode(kMixed, Encoding::Ascii), Encoding::Ascii),
              QStringLiteral("??????, World!\r\n?????? ????\r\n? ? end"));
}

TEST(TextEncodings, ExactBytesAndMarks) {
    const QString text = QStringLiteral("Пр\r\nA");
    EXPECT_EQ(Encode(text, Encoding::Ansi), Bytes({0xCF, 0xF0, 0x0D, 0x0A, 0x41}));
    EXPECT_EQ(Encode(text, Encoding::Ascii), QByteArray("??\r\nA"));
    EXPECT_EQ(Encode(text, Encoding::Utf8),
              Bytes({0xEF, 0xBB, 0xBF, 0xD0, 0x9F, 0xD1, 0x80, 0x0D, 0x0A, 0x41}));
    EXPECT_EQ(Encode(text, Encoding::Utf16LE),
              Bytes({0xFF, 0xFE, 0x1F, 0x04, 0x40, 0x04, 0x0D, 0x00, 0x0A, 0x00, 0x41, 0x00}));
    EXPECT_EQ(Encode(text, Encoding::Utf16BE),
              Bytes({0xFE, 0xFF, 0x04, 0x1F, 0x04, 0x40, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x41}));
    // RFC 2152 examples; UTF-7 gets no mark.
    EXPECT_EQ(Encode(QStringLiteral("Hi Mom -☺-"), Encoding::Utf7), QByteArray("Hi Mom -+Jjo--"));
    EXPECT_EQ(Encode(QStringLiteral("日本語"), Encoding::Utf7), QByteArray("+ZeVnLIqe-"));
    EXPECT_EQ(Decode("Hi Mom -+Jjo--!", Encoding::Utf7), QStringLiteral("Hi Mom -☺-!"));
    EXPECT_EQ(Encode(QString(), Encoding::Utf8), Bytes({0xEF, 0xBB, 0xBF}));
    EXPECT_TRUE(Encode(QString(), Encoding::Ansi).isEmpty());
}

TEST(TextEncodings, MarkOfTheChosenEncodingIsSkippedOthersAreText) {
    EXPECT_EQ(Decode(Bytes({0xEF, 0xBB, 0xBF, 0x41}), Encoding::Utf8), QStringLiteral("A"));
    EXPECT_EQ(Decode(Bytes({0xFF, 0xFE, 0x41, 0x00}), Encoding::Utf16LE), QStringLiteral("A"));
    EXPECT_EQ(Decode(Bytes({0xFE, 0xFF, 0x00, 0x41}), Encoding::Utf16BE), QStringLiteral("A"));
    // A UTF-8 file opened as ANSI shows its mark as the three Windows-1251 characters.
    EXPECT_EQ(Decode(Encode(QStringLiteral("Да"), Encoding::Utf8), Encoding::Ansi),
              QStringLiteral("п»їР”Р°"));
    // A little-endian mark read as big-endian is the character U+FFFE.
    EXPECT_EQ(Decode(Bytes({0xFF, 0xFE, 0x41, 0x00}), Encoding::Utf16BE),
              QString(QChar(0xFFFE)) + QChar(0x4100));
    // Only one mark is skipped.
    EXPECT_EQ(Decode(Bytes({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}), Encoding::Utf8),
              QString(QChar(0xFEFF)));
}

TEST(TextEncodings, DetectionByMark) {
    for (Encoding e : {Encoding::Utf16LE, Encoding::Utf16BE, Encoding::Utf8}) {
        const DetectedText d = DecodeDetect(Encode(kMixed, e));
        EXPECT_EQ(d.encoding, e);
        EXPECT_EQ(d.text, kMixed);
    }
    const DetectedText ansi = DecodeDetect(Encode(QStringLiteral("Ёж\r\n"), Encoding::Ansi));
    EXPECT_EQ(ansi.encoding, Encoding::Ansi);
    EXPECT_EQ(ansi.text, QStringLiteral("Ёж\r\n"));
    // A UTF-8 file without a mark is read as Windows-1251 from its first byte.
    const DetectedText bare = DecodeDetect(QByteArray("\xD0\x94"));
    EXPECT_EQ(bare.encoding, Encoding::Ansi);
    EXPECT_EQ(bare.text, QStringLiteral("Р”"));
    // A truncated mark is no mark.
    EXPECT_EQ(DecodeDetect(Bytes({0xEF, 0xBB})).encoding, Encoding::Ansi);
    EXPECT_EQ(DecodeDetect(QByteArray()).text, QString());
}

TEST(TextEncodings, AMarkWinsOverTheChosenEncoding) {
    const struct {
        QByteArray bytes;
        Encoding chosen;
        Encoding used;
        QString text;
    } cases[] = {
        {Encode(QStringLiteral("Да"), Encoding::Utf8), Encoding::Ansi, Encoding::Utf8,
         QStringLiteral("Да")},
        {Encode(QStringLiteral("Да"), Encoding::Utf16LE), Encoding::Utf8, Encoding::Utf16LE,
         QStringLiteral("Да")},
        {Encode(QStringLiteral("Да"), Encoding::Utf16BE), Encoding::Utf7, Encoding::Utf16BE,
         QStringLiteral("Да")},
        {Encode(QStringLiteral("Да"), Encoding::Utf8), Encoding::Utf8, Encoding::Utf8,
         QStringLiteral("Да")},
        // Without a mark the choice holds, whatever the bytes look like.
        {QByteArray("\xD0\x94"), Encoding::Ansi, Encoding::Ansi, QStringLiteral("Р”")},
        {QByteArray("\xD0\x94"), Encoding::Utf8, Encoding::Utf8, QStringLiteral("Д")},
        {Bytes({0xEF, 0xBB}), Encoding::Ansi, Encoding::Ansi, QStringLiteral("п»")},  // cut short
        {QByteArray(), Encoding::Utf16LE, Encoding::Utf16LE, QString()},
    };
    for (const auto& c : cases) {
        const DetectedText d = DecodeChosen(c.bytes, c.chosen);
        EXPECT_EQ(d.encoding, c.used) << c.bytes.toHex().toStdString();
        EXPECT_EQ(d.text, c.text) << c.bytes.toHex().toStdString();
    }
}

TEST(TextEncodings, LineBreaksBecomeCrLf) {
    EXPECT_EQ(NormalizeLineBreaks(QStringLiteral("a\nb\rc\r\n\n\r\rd\n")),
              QStringLiteral("a\r\nb\r\nc\r\n\r\n\r\n\r\nd\r\n"));
    EXPECT_EQ(Decode("one\ntwo\n", Encoding::Ansi), QStringLiteral("one\r\ntwo\r\n"));
    EXPECT_EQ(Decode("one\rtwo", Encoding::Utf8), QStringLiteral("one\r\ntwo"));
    EXPECT_EQ(Decode(Bytes({0x0A, 0x00, 0x0D, 0x00}), Encoding::Utf16LE),
              QStringLiteral("\r\n\r\n"));
    EXPECT_EQ(Encode(QStringLiteral("a\nb"), Encoding::Ansi), QByteArray("a\r\nb"));
}

TEST(TextEncodings, SplitAndJoinLines) {
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\nb\r\n")), QStringList({"a", "b"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\nb")), QStringList({"a", "b"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\nb\rc")), QStringList({"a", "b", "c"}));
    EXPECT_EQ(SplitLines(QStringLiteral("\r\n\r\n")), QStringList({"", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("\n\r")), QStringList({"", ""}));  // LF, then CR
    EXPECT_TRUE(SplitLines(QString()).isEmpty());
    EXPECT_EQ(JoinLines({"x", "", "y"}), QStringLiteral("x\r\n\r\ny\r\n"));
    EXPECT_EQ(JoinLines({}), QString());
}

TEST(TextEncodings, HostileInputNeverCrashes) {
    EXPECT_EQ(Decode("a\xFF"
                     "b",
                     Encoding::Utf8),
              QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(Decode("\xC3\x28", Encoding::Utf8), QStringLiteral("\uFFFD("));
    EXPECT_EQ(Decode("ok\xE2\x82", Encoding::Utf8), QStringLiteral("ok\uFFFD"));  // cut short
    EXPECT_EQ(Decode(Bytes({0x41, 0x00, 0x42}), Encoding::Utf16LE), QStringLiteral("A\uFFFD"));
    EXPECT_EQ(Decode("a\x80", Encoding::Ascii), QStringLiteral("a\uFFFD"));
    // A lone surrogate in UTF-16 input, and one in a text to write.
    EXPECT_EQ(Decode(Bytes({0x00, 0xD8, 0x41, 0x00}), Encoding::Utf16LE).back(), QChar(u'A'));
    const QString lone = QString(QChar(0xD800)) + u'x';
    EXPECT_EQ(Decode(Encode(lone, Encoding::Utf8), Encoding::Utf8), QStringLiteral("\uFFFDx"));
    EXPECT_EQ(Encode(lone, Encoding::Ansi), QByteArray("?x"));

    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        QByteArray garbage(static_cast<int>(rng() % 300), '\0');
        for (char& c : garbage) c = static_cast<char>(rng());
        for (Encoding e : kAll) {
            const QString text = Decode(garbage, e);
            // Whatever came in, the text holds CR only as part of CR LF.
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (text[i] == u'\r') {
                    ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == u'\n');
                }
                if (text[i] == u'\n') {
                    ASSERT_TRUE(i > 0 && text[i - 1] == u'\r');
                }
            }
            (void)DecodeDetect(garbage);
            // Garbage decoded as Unicode survives another write and read unchanged.
            if (e == Encoding::Utf8 || e == Encoding::Utf16BE) {
                ASSERT_EQ(Decode(Encode(text, e), e), text);
            }
        }
    }
}

TEST(TextFiles, WriteAndReadBackEveryEncoding) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("текст.txt"));
    for (Encoding e : kAll) {
        WriteTextFile(path, QStringLiteral("Abc\r\nxyz"), e);
        EXPECT_EQ(ReadTextFile(path, e), QStringLiteral("Abc\r\nxyz"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().startsWith(ByteOrderMark(e)));
    }
    // Replacing keeps no trace of the longer old content.
    WriteTextFile(path, QStringLiteral("z"), Encoding::Ansi);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("z"));
}

TEST(TextFiles, LinesWrittenBackInTheEncodingFound) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.lib"));
    for (Encoding e : {Encoding::Ansi, Encoding::Utf16LE, Encoding::Utf16BE, Encoding::Utf8}) {
        WriteLines(path, {QStringLiteral("сокр"), QString(), QStringLiteral("текст")}, e);
        const DetectedLines read = ReadLinesDetect(path);
        EXPECT_EQ(read.encoding, e);
        EXPECT_EQ(read.lines, QStringList({"сокр", "", "текст"}));
    }
    WriteFileBytes(path, QByteArray("a\nb\rc"));
    EXPECT_EQ(ReadLinesDetect(path).lines, QStringList({"a", "b", "c"}));
}

TEST(TextFiles, FailuresThrowFileErrorWithPathAndReason) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("нет.txt"));
    try {
        ReadTextFile(missing, Encoding::Ansi);
        FAIL() << "no error for a missing file";
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), missing);
        // In the user's language, not the system's English.
        EXPECT_EQ(e.reason(), QStringLiteral("Нет такого файла или папки"));
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(missing));
    }
    EXPECT_THROW(
        WriteTextFile(dir.filePath(QStringLiteral("no/such/dir/x.txt")), "x", Encoding::Utf8),
        FileError);
    EXPECT_THROW(ReadTextFileDetect(dir.path()), FileError);
    // Writing over a folder fails and leaves the folder alone.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EXPECT_THROW(WriteTextFile(dir.filePath(QStringLiteral("sub")), "x", Encoding::Ansi),
                 FileError);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("sub"))).isDir());
}

namespace {

// Runs `body` as an unprivileged user when the tests run as root, to whom no folder is
// read-only; true when `body` returned true.
bool RunUnprivileged(const std::function<bool()>& body) {
    if (::geteuid() != 0) return body();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && body();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QStringList LeftCopies() {
    return QDir(QDir::tempPath()).entryList({QStringLiteral("nuvtolvek-*.bak")}, QDir::Files);
}

}  // namespace

TEST(TextFiles, WritableFileInAReadOnlyFolderIsWrittenInPlace) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("program"));
    const QString file = folder + QStringLiteral("/NUV_Tolvek.lib");
    ASSERT_TRUE(QDir().mkdir(folder));
    WriteLines(file, {QStringLiteral("old\tentry")}, Encoding::Ansi);
    const auto readAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(dir.path(), readAndEnter | QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(folder, readAndEnter));
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::WriteGroup |
                                                QFile::ReadOther | QFile::WriteOther));
    const QStringList copiesBefore = LeftCopies();

    const bool ok = RunUnprivileged([&] {
        try {
            WriteLines(file, {QStringLiteral("a\tодин"), QStringLiteral("b\tдва")}, Encoding::Ansi);
        } catch (const FileError&) {
            return false;
        }
        // Only an existing file falls back: a new one in that folder still fails.
        try {
            WriteTextFile(folder + QStringLiteral("/new.txt"), QStringLiteral("x"), Encoding::Ansi);
            return false;
        } catch (const FileError&) {
        }
        return true;
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadTextFile(file, Encoding::Ansi), QStringLiteral("a\tодин\r\nb\tдва\r\n"));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/new.txt")));
    // The copy of the old content is gone once the new one is complete.
    EXPECT_EQ(LeftCopies(), copiesBefore);
    QFile::setPermissions(folder, readAndEnter | QFile::WriteOwner);
}

// Files read back with mark detection must come back as written: a Windows-1251 text whose
// first bytes look like a mark, or one with characters the code page lacks, goes to UTF-8.
TEST(TextEncodings, EncodingThatReadsBackAvoidsLookalikeMarksAndLoss) {
    EXPECT_EQ(EncodingThatReadsBack(QStringLiteral("сокр\tтекст\r\n"), Encoding::Ansi),
              Encoding::Ansi);
    for (const char* start : {"яю", "юя", "п»ї"}) {
        const QString text = QString::fromUtf8(start) + QStringLiteral("\tслово\r\n");
        // As plain Windows-1251 the bytes would be taken for a mark.
        EXPECT_NE(DecodeDetect(Encode(text, Encoding::Ansi)).text, text) << start;
        const Encoding chosen = EncodingThatReadsBack(text, Encoding::Ansi);
        EXPECT_EQ(chosen, Encoding::Utf8) << start;
        EXPECT_EQ(DecodeDetect(Encode(text, chosen)).text, text) << start;
    }
    EXPECT_EQ(EncodingThatReadsBack(QStringLiteral("€ и ☺"), Encoding::Ansi), Encoding::Utf8);
    EXPECT_EQ(EncodingThatReadsBack(QStringLiteral("ok"), Encoding::Ascii), Encoding::Ascii);
    EXPECT_EQ(EncodingThatReadsBack(QStringLiteral("да"), Encoding::Ascii), Encoding::Utf8);
    EXPECT_EQ(EncodingThatReadsBack(QStringLiteral("☺"), Encoding::Utf16BE), Encoding::Utf16BE);
}
