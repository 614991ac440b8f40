// The command line: which arguments are recordings, which is the project, what is left.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    QStringList arguments;
    QStringList recordings;
    QString project;
    QStringList ignored;
    bool version = false;
};

TEST(CommandLine, ArgumentsSortedIntoRecordingsProjectAndTheRest) {
    const QString here = QStringLiteral("/home/u/работа");
    const Case cases[] = {
        {"nothing", {}, {}, {}, {}},
        {"relative and absolute recordings in order",
         {"a.m4a", "/tmp/b.mp3", "../c.wav"},
         {here + "/a.m4a", "/tmp/b.mp3", "/home/u/c.wav"},
         {},
         {}},
        {"a project in any case of its extension, first one wins",
         {"x.PRJ", "a.ogg", "y.prj"},
         {here + "/a.ogg"},
         here + "/x.PRJ",
         {"y.prj"}},
        {"a desktop entry's file URL",
         {"file:///home/u/%D0%B7%D0%B0%D0%BF%D0%B8%D1%81%D1%8C%201.opus"},
         {"/home/u/запись 1.opus"},
         {},
         {}},
        {"options are not files; after -- everything is",
         {"--unknown", "-x", "--", "-dash.wav", "--"},
         {here + "/-dash.wav", here + "/--"},
         {},
         {"--unknown", "-x"}},
        {"a lone dash and empty arguments", {"-", ""}, {here + "/-"}, {}, {}},
        {"--version among files", {"a.wav", "--version"}, {here + "/a.wav"}, {}, {}, true},
        {"--version after -- is a file", {"--", "--version"}, {here + "/--version"}, {}, {}},
        {"a remote URL is not a file",
         {"file://server/share/a.wav"},
         {},
         {},
         {"file://server/share/a.wav"}},
        {"any extension goes to the playlist: content decides when it plays",
         {"notes.txt", "видео.MKV"},
         {here + "/notes.txt", here + "/видео.MKV"},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CommandLine line = ParseCommandLine(c.arguments, here);
        EXPECT_EQ(line.recordings, c.recordings);
        EXPECT_EQ(line.project, c.project);
        EXPECT_EQ(line.ignored, c.ignored);
        EXPECT_EQ(line.showVersion, c.version);
    }
}

}  // namespace

namespace {

TEST(CommandLine, ExportTakesInOutAndItsOptionsOrSaysHowToUseIt) {
    const QString here = QStringLiteral("/home/u");
    const struct {
        QStringList arguments;
        QString in, out, participants;  // in empty: refused
        bool timestamps;
    } cases[] = {
        {{"--export", "a.srt", "/tmp/b.docx"}, here + "/a.srt", "/tmp/b.docx", {}, true},
        {{"--export", "a.txt", "--participants", "p.par", "b.vtt", "--no-timestamps"},
         here + "/a.txt",
         here + "/b.vtt",
         here + "/p.par",
         false},
        {{"--export", "a.txt"}, {}, {}, {}, true},
        {{"--export", "a.txt", "b.odt", "c.odt"}, {}, {}, {}, true},
        {{"--export", "a.txt", "b.odt", "--participants"}, {}, {}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CommandLine line = ParseCommandLine(c.arguments, here);
        EXPECT_TRUE(line.recordings.isEmpty());
        if (c.in.isEmpty()) {
            EXPECT_FALSE(line.exportRequest.has_value());
            EXPECT_FALSE(line.exportError.isEmpty());
            continue;
        }
        ASSERT_TRUE(line.exportRequest.has_value());
        EXPECT_EQ(line.exportRequest->in, c.in);
        EXPECT_EQ(line.exportRequest->out, c.out);
        EXPECT_EQ(line.exportRequest->participants, c.participants);
        EXPECT_EQ(line.exportRequest->timestamps, c.timestamps);
    }
}

}  // namespace

namespace {

TEST(CommandLine, RecognizeTakesInOutAndAnEngineOrSaysHowToUseIt) {
    const QString here = QStringLiteral("/home/u");
    const struct {
        QStringList arguments;
        QString in, out, engine;  // in empty: refused
    } cases[] = {
        {{"--recognize", "talk.mp3", "/tmp/d.srt"}, here + "/talk.mp3", "/tmp/d.srt", {}},
        {{"--recognize", "--engine", "whisper", "a.wav", "b.txt"},
         here + "/a.wav",
         here + "/b.txt",
         "whisper"},
        {{"--recognize", "a.wav", "b.vtt", "--engine", "pocketsphinx"},
         here + "/a.wav",
         here + "/b.vtt",
         "pocketsphinx"},
        {{"--recognize", "a.wav"}, {}, {}, {}},
        {{"--recognize", "a.wav", "b.srt", "--engine"}, {}, {}, {}},
        {{"--recognize", "a.wav", "b.srt", "--engine", "vosk"}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CommandLine line = ParseCommandLine(c.arguments, here);
        EXPECT_TRUE(line.recordings.isEmpty());
        EXPECT_FALSE(line.exportRequest.has_value());
        if (c.in.isEmpty()) {
            EXPECT_FALSE(line.recognizeRequest.has_value());
            EXPECT_FALSE(line.recognizeError.isEmpty());
            continue;
        }
        ASSERT_TRUE(line.recognizeRequest.has_value());
        EXPECT_EQ(line.recognizeRequest->in, c.in);
        EXPECT_EQ(line.recognizeRequest->out, c.out);
        EXPECT_EQ(line.recognizeRequest->engine, c.engine);
    }
}

}  // namespace
