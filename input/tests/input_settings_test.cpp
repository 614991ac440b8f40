#include "input/input_settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace input;

TEST(InputSettings, RoundTripAndDefaults) {
    InputSettings settings;
    EXPECT_EQ(ReadInputSettings({}), settings);
    settings.pedals[kLeftPedal] = {};
    settings.pedals[kMiddlePedal] = {"player.play_held", PedalMode::Toggle};
    settings.pedals[kFourthPedal] = {"editor.show", PedalMode::Hold};
    settings.grabKeyboardPedals = false;
    settings.globalKeys[QStringLiteral("player.pause")] = QStringLiteral("Ctrl+F3");
    settings.globalKeys[QStringLiteral("player.play_held")] = QStringLiteral("Media Play");
    EXPECT_EQ(ReadInputSettings(WriteInputSettings(settings)), settings);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a/b/input.conf"));
    EXPECT_EQ(LoadInputSettings(path), InputSettings());  // no file: the defaults
    ASSERT_TRUE(SaveInputSettings(settings, path));
    EXPECT_EQ(LoadInputSettings(path), settings);
}

TEST(InputSettings, DamagedAndUnknownLinesAreSkipped) {
    const QByteArray text =
        "pedal.0=player.forward toggle\r\n"
        "pedal.1=player.play sometimes\n"  // unknown mode: the default stays
        "pedal.2=two words here\n"
        "pedal.9=player.play\n"
        "pedal.x=player.play\n"
        "pedal.3=bad/id\n"
        "grab-keyboard-pedals=yes\n"
        "global.=F3\n"
        "global.player.next=\n"
        "global.player.back= Ctrl+F2 \n"
        "future-setting=42\n"
        "no equals sign\n";
    const InputSettings read = ReadInputSettings(text);
    InputSettings expected;
    expected.pedals[kLeftPedal] = {"player.forward", PedalMode::Toggle};
    expected.globalKeys[QStringLiteral("player.back")] = QStringLiteral("Ctrl+F2");
    EXPECT_EQ(read, expected);
}
