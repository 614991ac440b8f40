#include "app/voice_commands.h"

#include <QAction>

#include "commands/registry.h"
#include "player/player_window.h"
#include "player/voice_panel.h"

void WireVoiceCommands(commands::Registry& registry, TForm1& player) {
    TForm1* p = &player;
    registry.SetHandler(QStringLiteral("voice.noise"), [p] { p->ToggleNoiseReduction(); });
    registry.SetHandler(QStringLiteral("voice.levelling"), [p] { p->ToggleLevelling(); });
    registry.BindAction(player.VoiceItems->NoiseToggleItem, QStringLiteral("voice.noise"));
    registry.BindAction(player.VoiceItems->LevellingItem, QStringLiteral("voice.levelling"));
}
