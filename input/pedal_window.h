// "Педаль": the pedals found (by name, or why one cannot be opened and what to do), a live
// picture of which pedal is down, and what each pedal does: a command, held while the pedal is
// down or toggled by it. "Назначить" waits for a pedal ("нажмите педаль") and picks its row.
// Changes take effect at once and are saved with the other input settings.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "input/input_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace input {

class PedalManager;
class PedalActions;

struct CommandChoice {
    QString id;
    QString caption;
};

class PedalWindow : public QWidget {
    Q_OBJECT
  public:
    // `save` stores the settings (the window keeps its own copy up to date).
    PedalWindow(PedalManager& manager, PedalActions& actions, std::vector<CommandChoice> commands,
                InputSettings settings, std::function<void(const InputSettings&)> save,
                QWidget* parent = nullptr);

    const InputSettings& Settings() const { return settings_; }
    void StartLearning();

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void ShowDevices();
    void ShowBindings();
    void OnPedal(int pedal, bool down);
    void Changed();

    PedalManager& manager_;
    PedalActions& actions_;
    std::vector<CommandChoice> commands_;
    InputSettings settings_;
    std::function<void(const InputSettings&)> save_;
    QListWidget* devices_;
    std::array<QLabel*, kMaxPedals> lamps_{};
    std::array<QComboBox*, kMaxPedals> commandBoxes_{};
    std::array<QComboBox*, kMaxPedals> modeBoxes_{};
    QLabel* learnLabel_;
    QPushButton* learnButton_;
    QCheckBox* grab_;
    bool showing_ = false;
};

}  // namespace input
