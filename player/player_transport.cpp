#include "player/player_transport.h"

#include <algorithm>

#include "player/transport_rules.h"

void PlayerTransport::Back(double fragment) {
    if (!stream_.IsOpen()) return;
    ResetCycle(cycle_);
    const double position = stream_.Position();
    const double length = stream_.Length();
    stopped_ = false;
    stream_.Seek(position - fragment, length);
    stream_.Play();
}

void PlayerTransport::Play() {
    stream_.Play();
    stopped_ = false;
}

void PlayerTransport::Halt() {
    stream_.Stop();
    stopped_ = true;
}

void PlayerTransport::Next(double fragment) {
    if (!stream_.IsOpen()) return;
    ResetCycle(cycle_);
    const double position = stream_.Position();
    const double length = stream_.Length();
    bool nearEnd = false;
    const double target = NextFragmentTarget(position, length, fragment, &nearEnd);
    stopped_ = false;
    stream_.Seek(target, length);
    // Near the end the output keeps its state: a playing recording runs out and the tick
    // moves on to the next file.
    if (!nearEnd) stream_.Play();
}

bool PlayerTransport::PlayFrom(double seconds) {
    if (!stream_.IsOpen()) return false;
    ResetCycle(cycle_);
    const double length = stream_.Length();
    stream_.Seek(std::min(seconds, length), length);
    // At or past the end nothing is left to play: the player halts there, as at the end of
    // the last recording, instead of moving on to the next one.
    stopped_ = seconds >= length;
    if (stopped_)
        stream_.Stop();
    else
        stream_.Play();
    return true;
}

void PlayerTransport::ClickTo(double target) {
    stream_.Seek(target, stream_.Length());
    if (!stopped_) return;
    stopped_ = false;
    stream_.Play();
}

TickMove PlayerTransport::Tick(bool selectionLoop) {
    if (stopped_ || !stream_.IsOpen()) return TickMove::Wait;
    const std::uint32_t activity = stream_.Activity();
    if (activity == audio::ACTIVE_STOPPED && !selectionLoop) return TickMove::NextEntry;
    const bool playing =
        !selectionLoop && (activity == audio::ACTIVE_PLAYING || activity == audio::ACTIVE_STALLED);
    return hold_.MayStep(stream_.Reconnecting(), stream_.Handle(), playing, stream_.BytePosition())
               ? TickMove::Step
               : TickMove::Wait;
}

void PlayerTransport::Step(const CycleParameters& p, double speed) {
    const double position = stream_.Position();
    const double length = stream_.Length();
    switch (AdvanceCycle(cycle_, kCycleStep, p.L, p.N, p.P, speed)) {
        case CyclePhase::Playing:
            // A stream standing stopped inside the playing part plays again.
            if (stream_.Activity() == audio::ACTIVE_STOPPED) stream_.Play();
            break;
        case CyclePhase::Repeat:
            stream_.Seek(position - p.L, length);
            stream_.Play();
            break;
        case CyclePhase::PauseBegins:
            stream_.Pause();
            break;
        case CyclePhase::CycleDone:
            stream_.Seek(position - p.S, length);
            stream_.Play();
            break;
        default:
            break;
    }
}

std::optional<int> PlayerTransport::NextEntry(int current, int count) {
    if (current >= count - 1) {
        stopped_ = true;
        return std::nullopt;
    }
    return current + 1;
}

double EngineTransportStream::Position() const {
    return audio::BytesToSeconds(stream_, audio::StreamPosition(stream_, audio::POS_BYTE));
}

double EngineTransportStream::Length() const {
    return audio::BytesToSeconds(stream_, audio::StreamLength(stream_, audio::POS_BYTE));
}

void EngineTransportStream::Seek(double seconds, double lengthSeconds) {
    const std::uint64_t lengthBytes = audio::StreamLength(stream_, audio::POS_BYTE);
    const double target = seconds < 0.0 ? 0.0 : seconds;
    audio::SeekStream(stream_, SecondsToBytes(lengthBytes, target, lengthSeconds), audio::POS_BYTE);
}

void EngineTransportStream::Play() {
    if (beforePlay_) beforePlay_();
    audio::PlayStream(stream_, false);
}

void EngineTransportStream::Pause() {
    audio::PauseStream(stream_);
}

void EngineTransportStream::Stop() {
    audio::StopStream(stream_);
}

std::uint32_t EngineTransportStream::Activity() const {
    return audio::StreamActivity(stream_);
}

bool EngineTransportStream::Reconnecting() const {
    return audio::OutputReconnecting();
}

std::uint64_t EngineTransportStream::BytePosition() const {
    return audio::StreamPosition(stream_, audio::POS_BYTE);
}
