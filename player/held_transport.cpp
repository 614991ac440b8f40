#include "player/held_transport.h"

#include <algorithm>

HeldTransport::HeldTransport(TransportLink link, QObject* parent)
    : QObject(parent), link_(std::move(link)) {
    timer_.setInterval(kWindIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &HeldTransport::WindStep);
}

void HeldTransport::SetBackStep(int seconds) {
    backStep_ = std::clamp(seconds, 0, kBackStepMaximum);
}

void HeldTransport::Pause() {
    link_.pause();
    if (backStep_ == 0 || !link_.hasRecording()) return;
    link_.seek(std::max(0.0, link_.position() - backStep_));
}

void HeldTransport::PlayPressed() {
    link_.play();
}

void HeldTransport::PlayReleased() {
    Pause();
}

void HeldTransport::WindPressed(int direction) {
    if (Winding() || !link_.hasRecording()) return;
    direction_ = direction < 0 ? -1 : 1;
    wasRunning_ = link_.running();
    // Silent while winding: the output and the fragment engine stand still.
    link_.pause();
    WindStep();
    timer_.start();
}

void HeldTransport::WindStep() {
    if (!Winding()) return;
    if (!link_.hasRecording()) {
        // The recording went (the playlist changed): nothing left to wind.
        timer_.stop();
        direction_ = 0;
        return;
    }
    const double target = link_.position() + direction_ * kWindStepSeconds;
    link_.seek(std::clamp(target, 0.0, std::max(0.0, link_.length())));
}

void HeldTransport::WindReleased() {
    if (!Winding()) return;
    timer_.stop();
    direction_ = 0;
    if (wasRunning_ && link_.hasRecording()) link_.playFrom(link_.position());
}
