#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "project/project_files.h"

using namespace project;
using textfiles::Encoding;

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

ProjectSnapshot Sample() {
    ProjectSnapshot s;
    s.file = {"5", "2", "2", "1", 1, 42, {"/записи/один.wav", "/записи/один.wav", "/b.ogg"}, {}, {}};
    s.transcript = "Первая строка\r\n[Анна]\r\nвторая";
    for (int k = 0; k < 10; ++k)
        s.participants[k] = {QStringLiteral("/фото/%1.jpg").arg(k),
                             QStringLiteral("Участник %1").arg(k), QString::number(k * 65793)};
    return s;
}

}  // namespace

TEST(ProjectFiles, CompanionNamesAppendToTheWholeName) {
    EXPECT_EQ(TranscriptCompanionPath("/d/a"), "/d/a.txt");
    EXPECT_EQ(ParticipantsCompanionPath("/d/a.prj"), "/d/a.prj.par");
}

TEST(ProjectFiles, EncodingChoice) {
    EXPECT_EQ(LineFileEncoding({"FILE=/записи/ё.wav"}, Encoding::Ansi), Encoding::Ansi);
    EXPECT_EQ(LineFileEncoding({"FILE=/中文.wav"}, Encoding::Ansi), Encoding::Utf8);
    EXPECT_EQ(LineFileEncoding({"FILE=/a.wav"}, Encoding::Utf16BE), Encoding::Utf16BE);
    EXPECT_EQ(TranscriptEncoding("привет", Encoding::Ansi), Encoding::Ansi);
    EXPECT_EQ(TranscriptEncoding("привет", Encoding::Ascii), Encoding::Utf8);
    EXPECT_EQ(TranscriptEncoding("hello", Encoding::Ascii), Encoding::Ascii);
    EXPECT_EQ(TranscriptEncoding("a+b", Encoding::Utf7), Encoding::Utf8);
    EXPECT_EQ(TranscriptEncoding("привет", Encoding::Utf7), Encoding::Utf8);
    EXPECT_EQ(TranscriptEncoding("日本", Encoding::Utf16LE), Encoding::Utf16LE);
    EXPECT_EQ(TranscriptEncoding("日本", Encoding::Ansi), Encoding::Utf8);
    // Windows-1251 text whose first bytes look like a mark would be read back wrongly.
    EXPECT_EQ(LineFileEncoding({"яюFILE=x"}, Encoding::Ansi), Encoding::Utf8);
    EXPECT_EQ(TranscriptEncoding("п»їтекст", Encoding::Ansi), Encoding::Utf8);
    EXPECT_EQ(TranscriptEncoding("юя", Encoding::Ansi), Encoding::Utf8);
    EXPECT_EQ(TranscriptEncoding("тюя", Encoding::Ansi), Encoding::Ansi);
    EXPECT_EQ(TranscriptEncoding("?\xEF\xBF\xBD", Encoding::Ansi), Encoding::Utf8);
}

TEST(ProjectFiles, WritesThreeFilesExactly) {
    QTemporaryDir dir;
    const QString name = dir.filePath("a");
    ProjectSnapshot s = Sample();
    s.participants = {};
    s.participants[0] = {"/p.jpg", "Анна", "255"};
    s.file.files = {"/r.wav"};
    WriteProject(name, s, Encoding::Ansi);
    EXPECT_EQ(Bytes(name),
              QByteArray("PLAYING=5\r\nCIRCLES=2\r\nPAUSE=2\r\nSHIFT_BACK=1\r\nCURRENT=1\r\n"
                         "POS=42\r\nFILE=/r.wav\r\n"));
    // Windows-1251: "Анна" is C0 ED ED E0.
    QByteArray par("/p.jpg\t\xC0\xED\xED\xE0\t255\r\n");
    for (int k = 1; k < 10; ++k) par += "\t\t\r\n";
    EXPECT_EQ(Bytes(name + ".par"), par);
    // The transcript exactly as typed, no break added.
    EXPECT_EQ(Bytes(name + ".txt"), textfiles::Encode(s.transcript, Encoding::Ansi));
    EXPECT_FALSE(Bytes(name + ".txt").endsWith("\r\n"));
    EXPECT_FALSE(QFile::exists(name + ".prj"));
}

TEST(ProjectFiles, RoundTripInEveryTranscriptEncoding) {
    for (int i = 0; i < textfiles::kEncodingCount; ++i) {
        const Encoding held = textfiles::EncodingFromIndex(i);
        QTemporaryDir dir;
        const QString name = dir.filePath("проект.prj");
        ProjectSnapshot s = Sample();
        s.transcriptEncoding = held;
        WriteProject(name, s, Encoding::Ansi);
        EXPECT_EQ(textfiles::ReadTextFileDetect(name + ".txt").text, s.transcript) << i;
        const ProjectFileRead r = ParseProjectFile(textfiles::ReadLinesDetect(name).lines);
        EXPECT_EQ(r.files, s.file.files);
        EXPECT_EQ(r.current, 1);
        EXPECT_EQ(r.pos, 42);
        EXPECT_EQ(ParseParticipantsLines(textfiles::ReadLinesDetect(name + ".par").lines),
                  s.participants);
    }
}

TEST(ProjectFiles, CharactersOutsideTheCodePageSurvive) {
    QTemporaryDir dir;
    const QString name = dir.filePath("p");
    ProjectSnapshot s = Sample();
    s.file.files = {"/日本/ā.wav"};
    s.participants[9].name = "Zoë 😀";
    s.transcript = "Ελληνικά 中文";
    WriteProject(name, s, Encoding::Ansi);
    EXPECT_TRUE(Bytes(name).startsWith("\xEF\xBB\xBF"));
    const textfiles::DetectedLines lines = textfiles::ReadLinesDetect(name);
    EXPECT_EQ(lines.encoding, Encoding::Utf8);
    EXPECT_EQ(ParseProjectFile(lines.lines).files, s.file.files);
    EXPECT_EQ(ParseParticipantsLines(textfiles::ReadLinesDetect(name + ".par").lines)[9].name,
              "Zoë 😀");
    EXPECT_EQ(textfiles::ReadTextFileDetect(name + ".txt").text, s.transcript);
}

TEST(ProjectFiles, HeldMarkedEncodingIsKept) {
    QTemporaryDir dir;
    const QString name = dir.filePath("p");
    WriteProject(name, Sample(), Encoding::Utf16LE);
    EXPECT_TRUE(Bytes(name).startsWith("\xFF\xFE"));
    EXPECT_TRUE(Bytes(name + ".par").startsWith("\xFF\xFE"));
    EXPECT_EQ(textfiles::ReadLinesDetect(name).encoding, Encoding::Utf16LE);
}

TEST(ProjectFiles, MissingFolderWritesNothing) {
    QTemporaryDir dir;
    const QString name = dir.filePath("нет/a");
    EXPECT_THROW(WriteProject(name, Sample(), Encoding::Ansi), textfiles::FileError);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST(ProjectFiles, FailureInTheMiddleKeepsEarlierFilesAndOldLaterOnes) {
    QTemporaryDir dir;
    const QString name = dir.filePath("a");
    {
        QFile old(name + ".par");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old participants\r\n");
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("a.txt"));  // the transcript cannot be written
    try {
        WriteProject(name, Sample(), Encoding::Ansi);
        FAIL() << "no error";
    } catch (const textfiles::FileError& e) {
        EXPECT_EQ(e.path(), name + ".txt");
    }
    EXPECT_TRUE(Bytes(name).startsWith("PLAYING=5\r\n"));
    EXPECT_EQ(Bytes(name + ".par"), QByteArray("old participants\r\n"));
}
