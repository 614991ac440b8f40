// The player's options kept between runs: $XDG_CONFIG_HOME/nuvtolvek/player.conf (INI).
// Today one: "Шаг назад после паузы", whole seconds 0 … 5 (0 when absent or unreadable).
// User-interface thread only.
#pragma once

class QWidget;

int ReadBackStepOption();
// False when it could not be stored.
bool WriteBackStepOption(int seconds);
// Asks for the back-step; the new value, or -1 when the user cancelled.
int AskBackStep(QWidget* owner, int current);
