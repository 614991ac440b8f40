// The player's "Голос" menu: which channel to hear, noise reduction and its strength,
// speech levelling. It only shows the settings and asks the player window to change them.
// User-interface thread only.
#pragma once

#include <QObject>
#include <array>

#include "audio/audio.h"

class QAction;
class QMenu;
class TForm1;

class VoiceMenu : public QObject {
    Q_OBJECT
  public:
    VoiceMenu(TForm1& player, QMenu* menu);
    void Show(const audio::VoiceSettings& voice);

    QMenu* Menu = nullptr;
    std::array<QAction*, 4> ChannelItems{};  // both, left only, right only, mixed
    std::array<QAction*, 4> NoiseItems{};    // off, light, medium, strong
    // Their keys come from the command layer (Alt+PgDown, Alt+PgUp by default).
    QAction* NoiseToggleItem = nullptr;
    QAction* LevellingItem = nullptr;
};
