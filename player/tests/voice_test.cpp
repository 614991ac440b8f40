// The voice settings: their project file values, and the player's "Голос" menu and keys
// driving the stream.
#include <QAction>
#include <QMenu>

#include "player/tests/player_fixture.h"
#include "player/voice_panel.h"
#include "player/voice_settings.h"

using audio::VoiceChannel, audio::VoiceNoise;

TEST(VoiceSettings, ValuesReadBackAndAnythingElseIsOff) {
    for (int i = 0; i < 4; ++i) {
        const auto channel = static_cast<VoiceChannel>(i);
        const auto noise = static_cast<VoiceNoise>(i);
        EXPECT_EQ(ParseVoiceChannel(VoiceChannelValue(channel)), channel);
        EXPECT_EQ(ParseVoiceNoise(VoiceNoiseValue(noise)), noise);
    }
    EXPECT_EQ(VoiceChannelValue(VoiceChannel::Both), "");
    EXPECT_EQ(VoiceNoiseValue(VoiceNoise::Off), "");
    EXPECT_EQ(VoiceLevellingValue(false), "");
    EXPECT_TRUE(ParseVoiceLevelling(VoiceLevellingValue(true)));
    for (const char* odd : {"", "LEFT", " left", "left ", "both", "3", "off", "1", "yes"}) {
        SCOPED_TRACE(odd);
        EXPECT_EQ(ParseVoiceChannel(QString::fromLatin1(odd)), VoiceChannel::Both);
        EXPECT_EQ(ParseVoiceNoise(QString::fromLatin1(odd)), VoiceNoise::Off);
        EXPECT_FALSE(ParseVoiceLevelling(QString::fromLatin1(odd)));
    }
    // The key: off goes back to the strength last used, on goes off.
    EXPECT_EQ(ToggledNoise(VoiceNoise::Off, VoiceNoise::Strong), VoiceNoise::Strong);
    EXPECT_EQ(ToggledNoise(VoiceNoise::Off, VoiceNoise::Off), VoiceNoise::Medium);
    EXPECT_EQ(ToggledNoise(VoiceNoise::Light, VoiceNoise::Light), VoiceNoise::Off);
}

TEST_F(PlayerTest, VoiceMenuAndKeysDriveTheStream) {
    Add({Tone("a.wav", 10.0)});
    Open(0);
    VoiceMenu* menu = form->VoiceItems;
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Menu->title(), "Голос");
    auto streamVoice = [&] {
        audio::VoiceSettings v;
        EXPECT_TRUE(audio::StreamVoice(form->Stream, &v));
        return v;
    };
    EXPECT_TRUE(streamVoice().IsOff());
    menu->ChannelItems[2]->trigger();  // right only
    menu->NoiseItems[3]->trigger();    // strong
    EXPECT_EQ(streamVoice(),
              (audio::VoiceSettings{VoiceChannel::Right, VoiceNoise::Strong, false}));
    menu->NoiseToggleItem->trigger();
    menu->LevellingItem->trigger();
    EXPECT_EQ(streamVoice(), (audio::VoiceSettings{VoiceChannel::Right, VoiceNoise::Off, true}));
    EXPECT_TRUE(menu->NoiseItems[0]->isChecked());
    EXPECT_TRUE(menu->LevellingItem->isChecked());
    form->ToggleNoiseReduction();  // back to the strength last chosen
    EXPECT_EQ(form->Voice.noise, VoiceNoise::Strong);
    EXPECT_TRUE(menu->NoiseToggleItem->isChecked());
    // A file opened later plays with the settings.
    Open(0);
    EXPECT_EQ(streamVoice(), (audio::VoiceSettings{VoiceChannel::Right, VoiceNoise::Strong, true}));
}
