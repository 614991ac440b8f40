// Transport for pedals and held keys, and the back-step after a pause.
//
// - Play while held: the press plays (as F3), the release pauses (as F4).
// - Rewind / forward while held: the press halts the sound and moves the position 1 s back
//   (forward); every 100 ms held moves it 1 s more. On release a player that was running plays
//   on from there with the fragment cycle started afresh, as after F2/F5; a halted one stays
//   halted at the new place.
// - Back-step after a pause ("Шаг назад после паузы", 0 … 5 s, 0 by default): every pause made
//   through Pause (F4, a release, a media key) moves the position back that much, so that the
//   typist hears the last words again on resuming. 0 leaves the pause exactly as F4 has it.
//
// Knows the player only through TransportLink. User-interface thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

struct TransportLink {
    std::function<bool()> hasRecording;
    std::function<bool()> running;  // the fragment engine runs (not halted by F4)
    std::function<void()> play;     // F3
    std::function<void()> pause;    // F4
    std::function<double()> position;
    std::function<double()> length;
    std::function<void(double seconds)> seek;      // moves, playing state unchanged
    std::function<void(double seconds)> playFrom;  // plays from there, cycle afresh
};

inline constexpr int kBackStepMaximum = 5;
inline constexpr int kWindIntervalMs = 100;
inline constexpr double kWindStepSeconds = 1.0;

class HeldTransport : public QObject {
    Q_OBJECT
  public:
    explicit HeldTransport(TransportLink link, QObject* parent = nullptr);

    // Seconds moved back after each pause, held within 0 … kBackStepMaximum.
    void SetBackStep(int seconds);
    int BackStep() const { return backStep_; }

    void Pause();  // F4, then the back-step
    void PlayPressed();
    void PlayReleased();
    // direction: -1 rewind, +1 forward.
    void WindPressed(int direction);
    void WindReleased();
    // One step of a wind under way (the timer's; tests call it).
    void WindStep();
    bool Winding() const { return direction_ != 0; }

  private:
    TransportLink link_;
    int backStep_ = 0;
    QTimer timer_;
    int direction_ = 0;
    bool wasRunning_ = false;
};
