#include "player/voice_panel.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include "player/player_window.h"
#include "player/voice_settings.h"

using audio::VoiceChannel, audio::VoiceNoise;

VoiceMenu::VoiceMenu(TForm1& player, QMenu* menu) : QObject(menu), Menu(menu) {
    auto* channels = new QActionGroup(this);
    for (int i = 0; i < 4; ++i) {
        const auto channel = static_cast<VoiceChannel>(i);
        QAction* item = Menu->addAction(VoiceChannelCaption(channel));
        item->setObjectName(QStringLiteral("VoiceChannel%1").arg(i));
        item->setCheckable(true);
        channels->addAction(item);
        connect(item, &QAction::triggered, &player, [&player, channel] {
            audio::VoiceSettings voice = player.Voice;
            voice.channel = channel;
            player.SetVoice(voice);
        });
        ChannelItems[static_cast<std::size_t>(i)] = item;
    }
    Menu->addSeparator();
    NoiseToggleItem = Menu->addAction(QStringLiteral("Шумоподавление"));
    NoiseToggleItem->setObjectName(QStringLiteral("NoiseToggleItem"));
    NoiseToggleItem->setCheckable(true);
    connect(NoiseToggleItem, &QAction::triggered, &player,
            [&player] { player.ToggleNoiseReduction(); });
    QMenu* strength = Menu->addMenu(QStringLiteral("Сила шумоподавления"));
    strength->setObjectName(QStringLiteral("NoiseStrengthMenu"));
    auto* strengths = new QActionGroup(this);
    for (int i = 0; i < 4; ++i) {
        const auto noise = static_cast<VoiceNoise>(i);
        QAction* item = strength->addAction(VoiceNoiseCaption(noise));
        item->setObjectName(QStringLiteral("VoiceNoise%1").arg(i));
        item->setCheckable(true);
        strengths->addAction(item);
        connect(item, &QAction::triggered, &player, [&player, noise] {
            audio::VoiceSettings voice = player.Voice;
            voice.noise = noise;
            player.SetVoice(voice);
        });
        NoiseItems[static_cast<std::size_t>(i)] = item;
    }
    Menu->addSeparator();
    LevellingItem = Menu->addAction(QStringLiteral("Выравнивание громкости"));
    LevellingItem->setObjectName(QStringLiteral("LevellingItem"));
    LevellingItem->setCheckable(true);
    connect(LevellingItem, &QAction::triggered, &player, [&player] { player.ToggleLevelling(); });
    Show({});
}

void VoiceMenu::Show(const audio::VoiceSettings& voice) {
    ChannelItems[static_cast<std::size_t>(voice.channel)]->setChecked(true);
    NoiseItems[static_cast<std::size_t>(voice.noise)]->setChecked(true);
    NoiseToggleItem->setChecked(voice.noise != VoiceNoise::Off);
    LevellingItem->setChecked(voice.levelling);
}

// ---------------------------------------------------------------- the player's side

void TForm1::BuildVoiceControls() {
    auto* menu = new QMenu(QStringLiteral("Голос"), this);
    menu->setObjectName(QStringLiteral("VoiceMenu"));
    menuBar()->insertMenu(HelpMenu->menuAction(), menu);
    VoiceItems = new VoiceMenu(*this, menu);
}

void TForm1::SetVoice(const audio::VoiceSettings& voice) {
    Voice = voice;
    if (voice.noise != VoiceNoise::Off) LastNoise = voice.noise;
    audio::SetStreamVoice(Stream, Voice);
    VoiceItems->Show(Voice);
}

void TForm1::ToggleNoiseReduction() {
    audio::VoiceSettings voice = Voice;
    voice.noise = ToggledNoise(Voice.noise, LastNoise);
    SetVoice(voice);
}

void TForm1::ToggleLevelling() {
    audio::VoiceSettings voice = Voice;
    voice.levelling = !voice.levelling;
    SetVoice(voice);
}
