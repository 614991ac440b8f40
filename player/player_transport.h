// The player's transport and tick without the window: what F2, F3, F4, F5, a click on the
// waveform and the timestamps' "play from here" do to the stream, what one 200 ms tick
// decides (step the cycle, move on to the next entry, or wait), and what each phase of the
// cycle does to the sound.
//
// The stream is reached through TransportStream (the window gives one over the sound
// engine, tests a fake); the halt flag and the cycle stay the window's (`Stopped`, `Cycle`),
// this works on them in place. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "audio/audio.h"
#include "player/cycle.h"

class TransportStream {
  public:
    virtual ~TransportStream() = default;
    virtual bool IsOpen() const = 0;
    virtual double Position() const = 0;  // seconds
    virtual double Length() const = 0;    // seconds
    // Moves to `seconds` (before the start reads as the start) of a stream `lengthSeconds`
    // long, the length read earlier in the same step. The playing state is kept.
    virtual void Seek(double seconds, double lengthSeconds) = 0;
    virtual void Play() = 0;  // the equalizer applied first, then playing on from the position
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual std::uint32_t Activity() const = 0;  // audio::ACTIVE_…
    // For the cycle hold: the engine's word on the sound card, the stream's handle and its
    // position in bytes.
    virtual bool Reconnecting() const = 0;
    virtual audio::HSTREAM Handle() const = 0;
    virtual std::uint64_t BytePosition() const = 0;
};

// The fragment parameters as one step of the cycle reads them (each inside its range).
struct CycleParameters {
    int L = kFragmentLength.Default;
    int N = kRepetitions.Default;
    int P = kPause.Default;
    int S = kShiftBack.Default;
};

// What one tick of the player does besides drawing.
enum class TickMove {
    Wait,       // halted, or the sound stands still: nothing
    NextEntry,  // the recording has ended: on to the next playlist entry
    Step,       // one step of the cycle (or of the selection loop)
};

class PlayerTransport {
  public:
    PlayerTransport(TransportStream& stream, TRepetitionCycle& cycle, bool& stopped)
        : stream_(stream), cycle_(cycle), stopped_(stopped) {}

    // F2: `fragment` seconds back, the cycle afresh, playing.
    void Back(double fragment);
    // F3: playing on, the engine running.
    void Play();
    // F4: the sound and the engine halted.
    void Halt();
    // F5: `fragment` seconds on, the cycle afresh, playing; near the end only the position
    // moves (half a second before the end), so that a playing recording runs out and the
    // tick moves on.
    void Next(double fragment);
    // Playing from `seconds` (the end when beyond it) with the cycle afresh; at or past the
    // end the player halts there. False when no recording is open.
    bool PlayFrom(double seconds);
    // A click on the waveform: to `target`, and a halted player plays again.
    void ClickTo(double target);

    // What this tick does, for a stream that is open. A selection loop keeps its recording
    // also when the stream reaches the end, and holds the stream there itself.
    TickMove Tick(bool selectionLoop);
    // One step of the cycle at playback speed `speed`: the sound follows the phase.
    void Step(const CycleParameters& parameters, double speed);
    // The playlist row to go on with after row `current` of `count`; none after the last,
    // and the player halts.
    std::optional<int> NextEntry(int current, int count);

  private:
    TransportStream& stream_;
    TRepetitionCycle& cycle_;
    bool& stopped_;
    TCycleHold hold_;  // no step while the sound stands still
};

// The transport stream of the sound engine's stream `stream` (read again at every call: the
// playlist replaces it). `beforePlay` applies the equalizer.
class EngineTransportStream final : public TransportStream {
  public:
    EngineTransportStream(const audio::HSTREAM& stream, std::function<void()> beforePlay)
        : stream_(stream), beforePlay_(std::move(beforePlay)) {}
    bool IsOpen() const override { return stream_ != 0; }
    double Position() const override;
    double Length() const override;
    void Seek(double seconds, double lengthSeconds) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    std::uint32_t Activity() const override;
    bool Reconnecting() const override;
    audio::HSTREAM Handle() const override { return stream_; }
    std::uint64_t BytePosition() const override;

  private:
    const audio::HSTREAM& stream_;
    std::function<void()> beforePlay_;
};
