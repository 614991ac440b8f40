#include <gtest/gtest.h>

#include "project/project_file.h"

using namespace project;

TEST(ProjectFileLines, CanonicalOrderAndValuesAsTyped) {
    ProjectFileData d;
    d.playing = "7";
    d.circles = "abc";  // not a number: stored as typed
    d.pause = "";
    d.shiftBack = "20";  // beyond the field's range: stored as typed
    d.current = 1;
    d.pos = -1;
    d.files = {"/a/б.wav", "/a/б.wav", "/x.mp3"};
    const QStringList expected = {
        "PLAYING=7", "CIRCLES=abc",   "PAUSE=",        "SHIFT_BACK=20", "CURRENT=1",
        "POS=-1",    "FILE=/a/б.wav", "FILE=/a/б.wav", "FILE=/x.mp3"};
    EXPECT_EQ(ProjectFileLines(d), expected);
}

TEST(ProjectFileLines, EmptyPlaylistGivesSixLines) {
    ProjectFileData d;
    d.playing = "5";
    d.circles = "2";
    d.pause = "2";
    d.shiftBack = "1";
    d.current = -1;
    EXPECT_EQ(ProjectFileLines(d), QStringList({"PLAYING=5", "CIRCLES=2", "PAUSE=2", "SHIFT_BACK=1",
                                                "CURRENT=-1", "POS=0"}));
}

TEST(ParseProjectFile, RoundTripOfTheCanonicalLines) {
    ProjectFileData d{"15", "10", "0", "3", 2, 3600, {"/1.wav", "/2.ogg", "/1.wav"}, {}, {}};
    const ProjectFileRead r = ParseProjectFile(ProjectFileLines(d));
    EXPECT_EQ(r.playing, "15");
    EXPECT_EQ(r.circles, "10");
    EXPECT_EQ(r.pause, "0");
    EXPECT_EQ(r.shiftBack, "3");
    EXPECT_EQ(r.current, 2);
    EXPECT_EQ(r.pos, 3600);
    EXPECT_EQ(r.files, d.files);
}

TEST(ParseProjectFile, OtherOrderExtraLinesRepeatsAndMissingKeys) {
    const QStringList lines = {"FILE=/b.wav",   "# comment", "POS=12",    "PAUSE=1",
                               "FILE=/a.wav",   "pos=99",    "PAUSE=3",   " CURRENT=5",
                               "FILE=/b.wav",   "CURRENT=1", "PLAYING=x", "FILE=",
                               "SHIFT_BACK =9", ""};
    const ProjectFileRead r = ParseProjectFile(lines);
    EXPECT_EQ(r.files, QStringList({"/b.wav", "/a.wav", "/b.wav", ""}));
    EXPECT_EQ(r.pos, 12);
    EXPECT_EQ(r.pause, "3");  // last one wins
    EXPECT_EQ(r.current, 1);  // " CURRENT=5" does not start with the key
    EXPECT_EQ(r.playing, "x");
    EXPECT_FALSE(r.circles.has_value());
    EXPECT_FALSE(r.shiftBack.has_value());  // "SHIFT_BACK =" is not the key
}

TEST(ParseProjectFile, NothingGivesDefaults) {
    const ProjectFileRead r = ParseProjectFile({});
    EXPECT_FALSE(r.playing || r.circles || r.pause || r.shiftBack);
    EXPECT_EQ(r.current, 0);
    EXPECT_EQ(r.pos, 0);
    EXPECT_TRUE(r.files.isEmpty());
}

TEST(ParseIntOrZero, DecimalOnly) {
    EXPECT_EQ(ParseIntOrZero("42"), 42);
    EXPECT_EQ(ParseIntOrZero("-7"), -7);
    EXPECT_EQ(ParseIntOrZero("+7"), 7);
    EXPECT_EQ(ParseIntOrZero("0"), 0);
    for (const char* bad : {"", "-", "abc", "12a", "1.5", " 3", "3 ", "0x10", "99999999999", "١٢"})
        EXPECT_EQ(ParseIntOrZero(QString::fromUtf8(bad)), 0) << bad;
    EXPECT_EQ(ParseIntOrZero("2147483647"), 2147483647);
    EXPECT_EQ(ParseIntOrZero("-2147483648"), -2147483647 - 1);
}

TEST(SecondsToPosValue, TruncatesTowardZero) {
    EXPECT_EQ(SecondsToPosValue(12.99), 12);
    EXPECT_EQ(SecondsToPosValue(0.4), 0);
    EXPECT_EQ(SecondsToPosValue(-1.0), -1);
    EXPECT_EQ(SecondsToPosValue(-0.5), 0);
    EXPECT_EQ(SecondsToPosValue(1e300), 2147483647);
}

TEST(ParticipantsLines, TenLinesEvenWhenEmpty) {
    const QStringList lines = ParticipantsLines(ParticipantTable{});
    ASSERT_EQ(lines.size(), 10);
    for (const QString& line : lines) EXPECT_EQ(line, "\t\t");
}

TEST(ParticipantsLines, RoundTripAndOrder) {
    ParticipantTable t;
    for (int k = 0; k < 10; ++k)
        t[k] = {QStringLiteral("/фото/p%1.jpg").arg(k), QStringLiteral("Имя %1").arg(k),
                QString::number(k * 1000003)};
    t[3] = {"", "Без картинки", ""};
    const QStringList lines = ParticipantsLines(t);
    EXPECT_EQ(lines.at(0), "/фото/p0.jpg\tИмя 0\t0");
    EXPECT_EQ(lines.at(3), "\tБез картинки\t");
    EXPECT_EQ(ParseParticipantsLines(lines), t);
}

TEST(ParticipantsLines, BreaksAndTabsInCellsCannotShiftTheTable) {
    ParticipantTable t;
    t[0] = {"/a\tb.jpg", "Иван\tПетров", "255"};
    t[1] = {"", "две\r\nстроки", "1"};
    const QStringList lines = ParticipantsLines(t);
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.at(0), "/a b.jpg\tИван Петров\t255");
    EXPECT_EQ(lines.at(1), "\tдве  строки\t1");
    const ParticipantTable back = ParseParticipantsLines(lines);
    EXPECT_EQ(back[0].color, "255");
    EXPECT_EQ(back[1].name, "две  строки");
}

TEST(ParseParticipantsLines, ShortLinesExtraFieldsAndShortFiles) {
    const ParticipantTable t =
        ParseParticipantsLines({"/p.jpg", "\tАнна", "a\tb\tc\td\te", "", "x\ty\tz"});
    EXPECT_EQ(t[0], (ParticipantCells{"/p.jpg", "", ""}));
    EXPECT_EQ(t[1], (ParticipantCells{"", "Анна", ""}));
    EXPECT_EQ(t[2], (ParticipantCells{"a", "b", "c"}));
    EXPECT_EQ(t[3], (ParticipantCells{}));
    EXPECT_EQ(t[4], (ParticipantCells{"x", "y", "z"}));
    for (int k = 5; k < 10; ++k) EXPECT_EQ(t[k], (ParticipantCells{})) << k;
}

TEST(ProjectFileSpeed, OneLineAfterPosOnlyWhenGivenAndReadBackAsText) {
    ProjectFileData d{"5", "2", "2", "1", 0, 12, {"/a.wav"}, "0.75", {}};
    const QStringList lines = ProjectFileLines(d);
    EXPECT_EQ(lines, QStringList({"PLAYING=5", "CIRCLES=2", "PAUSE=2", "SHIFT_BACK=1", "CURRENT=0",
                                  "POS=12", "SPEED=0.75", "FILE=/a.wav"}));
    const ProjectFileRead r = ParseProjectFile(lines);
    EXPECT_EQ(r.speed, "0.75");
    EXPECT_EQ(r.pos, 12);
    EXPECT_EQ(r.files, QStringList({"/a.wav"}));

    d.speed.clear();  // normal speed: the file of a program without speeds
    EXPECT_EQ(ProjectFileLines(d), QStringList({"PLAYING=5", "CIRCLES=2", "PAUSE=2", "SHIFT_BACK=1",
                                                "CURRENT=0", "POS=12", "FILE=/a.wav"}));
    EXPECT_FALSE(ParseProjectFile(ProjectFileLines(d)).speed.has_value());
}

TEST(ProjectFileSpeed, ReadingRulesForTheSpeedLine) {
    const ProjectFileRead r = ParseProjectFile(
        {"SPEED=1.5", "speed=0.5", " SPEED=0.6", "SPEED =0.7", "SPEED=abc", "POS=3"});
    EXPECT_EQ(r.speed, "abc");  // the last one wins; the value is judged by the player
    EXPECT_EQ(r.pos, 3);
    // The line is an unknown key to every other rule: nothing else changes.
    const ProjectFileRead withSpeed = ParseProjectFile({"POS=3", "SPEED=0.75", "FILE=/x"});
    const ProjectFileRead without = ParseProjectFile({"POS=3", "FILE=/x"});
    EXPECT_EQ(withSpeed.pos, without.pos);
    EXPECT_EQ(withSpeed.current, without.current);
    EXPECT_EQ(withSpeed.files, without.files);
    EXPECT_EQ(withSpeed.playing, without.playing);
}

TEST(ProjectFileSelection, OneLineAfterPosAndSpeedOnlyWhileSetAndReadBackAsText) {
    struct Case {
        const char* speed;
        const char* selection;
        QStringList middle;  // the lines between CURRENT= and FILE=
    } cases[] = {
        {"", "", {"POS=12"}},
        {"", "4300,6600", {"POS=12", "SELECTION=4300,6600"}},
        {"0.75", "4300,6600,endless", {"POS=12", "SPEED=0.75", "SELECTION=4300,6600,endless"}},
    };
    for (const Case& c : cases) {
        ProjectFileData d{"5", "2", "2", "1", 0, 12, {"/a.wav"}, c.speed, c.selection};
        const QStringList want =
            QStringList({"PLAYING=5", "CIRCLES=2", "PAUSE=2", "SHIFT_BACK=1", "CURRENT=0"}) +
            c.middle + QStringList({"FILE=/a.wav"});
        EXPECT_EQ(ProjectFileLines(d), want) << c.selection;
        const ProjectFileRead r = ParseProjectFile(want);
        EXPECT_EQ(r.selection.value_or("none"), *c.selection ? c.selection : "none");
        EXPECT_EQ(r.pos, 12);
        EXPECT_EQ(r.files, QStringList({"/a.wav"}));
    }
    // Any value is text here; the player judges it against the recording.
    EXPECT_EQ(ParseProjectFile({"SELECTION=-5,abc", "SELECTION=9,1"}).selection, "9,1");
}

TEST(ProjectFileVoice, LinesAfterTheOtherNewLinesOnlyForStagesThatAreOn) {
    const QStringList fixed = {"PLAYING=5",    "CIRCLES=2", "PAUSE=2",
                               "SHIFT_BACK=1", "CURRENT=0", "POS=12"};
    const struct {
        QString speed, selection, channel, noise, levelling;
        QStringList extra;  // the lines between POS= and FILE=
    } cases[] = {
        {"", "", "", "", "", {}},
        {"0.75", "", "left", "", "", {"SPEED=0.75", "VOICE_CHANNEL=left"}},
        {"", "", "", "strong", "on", {"VOICE_NOISE=strong", "VOICE_LEVELLING=on"}},
        {"1.5",
         "4300,6600",
         "mix",
         "light",
         "on",
         {"SPEED=1.5", "SELECTION=4300,6600", "VOICE_CHANNEL=mix", "VOICE_NOISE=light",
          "VOICE_LEVELLING=on"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra.join(' ').toStdString());
        ProjectFileData d{"5", "2", "2", "1", 0, 12, {"/a.wav"}, c.speed, c.selection};
        d.voiceChannel = c.channel;
        d.voiceNoise = c.noise;
        d.voiceLevelling = c.levelling;
        const QStringList lines = ProjectFileLines(d);
        EXPECT_EQ(lines, fixed + c.extra + QStringList{"FILE=/a.wav"});
        const ProjectFileRead r = ParseProjectFile(lines);
        EXPECT_EQ(r.voiceChannel, c.channel);
        EXPECT_EQ(r.voiceNoise, c.noise);
        EXPECT_EQ(r.voiceLevelling, c.levelling);
        EXPECT_EQ(r.files, QStringList{"/a.wav"});
    }
}
