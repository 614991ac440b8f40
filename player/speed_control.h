// The playback speed in the player window: a compact control at the top right of the
// window (slower, the speed, faster), the player's "Скорость" menu with its keys, and the
// player's speed commands. The keys themselves are routed application-wide (app/).
// User-interface thread only.
#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

// "Скорость: − 1.00× +". The buttons and the mouse wheel step by 0.05; a double click on
// the value goes back to normal speed.
class SpeedControl : public QWidget {
    Q_OBJECT
  public:
    explicit SpeedControl(QWidget* parent = nullptr);
    void ShowSpeed(double speed);
    QString Caption() const;

  signals:
    void StepRequested(int steps);
    void NormalRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QToolButton* slower_;
    QLabel* value_;
    QToolButton* faster_;
    int wheelRemainder_ = 0;  // wheel delta short of a whole notch (120)
};
