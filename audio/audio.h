// The sound engine: the operations the player and the envelope worker call.
//
// Handles are 32-bit, 0 means none. Positions and lengths are byte counts: a playback
// stream counts 16-bit samples (frames x channels x 2), a decoding stream opened with
// SAMPLE_FLOAT counts 4 bytes per sample. Every call with handle 0 or a freed handle
// does nothing and returns the failure value.
//
// Threads: every function may be called from any thread, also from two at once (the
// user-interface thread drives the playback stream while the envelope worker reads its
// own decoding stream). Mixing runs on one render thread of the engine's own (device -1
// and -2) or on the thread that calls AdvanceManualOutput; a long ReadDecodedData holds
// up only its own stream, never the mixing. Nothing runs on the sound card's callback
// thread but a copy from a lock-free ring.
//
// How the engine behaves where the callers rely on it:
// - Files are recognised by content: MP3 through libmpg123 (exact length by a full scan,
//   gapless), Ogg Vorbis through libvorbisfile, WAV/FLAC/AIFF… through libsndfile, and
//   the first audio stream of everything else FFmpeg opens (M4A/AAC, MP4 and other video,
//   WMA, Opus, WebM, AMR…). A file in which no decoder finds sound does not open. Every
//   stream has exactly StreamLength bytes; seeks are exact to the frame.
// - Channels: more than two are mixed down to stereo (even channels left, odd right);
//   StreamInfo, lengths and positions count the channels after that. Mono plays on both
//   sides. The mix runs at the output's rate (44100 Hz); other file rates go through soxr.
// - StreamPosition of a playback stream is what is heard: what has been rendered less
//   what is still on its way through the sound card's buffers (with the manual and the
//   null output nothing is: exactly the frames advanced), converted to the stream's rate. A stream
//   that renders its last frame becomes ACTIVE_STOPPED by itself, position = length.
// - Tempo (SetStreamTempo): a playback stream plays at 0.5 … 2.0 times its speed with the
//   pitch kept, stretched after resampling and before the effects. Positions, lengths and
//   seeks stay in the recording's frames: at tempo s the position advances s seconds per
//   second of output, the stretcher's backlog counted in. A change is heard from the next
//   rendered block on, faded in over 6 ms; a seek lands exactly and clears the stretcher.
//   At 1.0 the stretcher is left out: the samples are those of a stream that never had a
//   tempo (after a change back to 1.0 while playing, once its fade is over).
// - Voice (SetStreamVoice): a playback stream's channel choice, noise reduction and speech
//   levelling, after resampling and before the stretcher. All off (the default) leaves the
//   samples exactly as without them. The stages that look ahead (noise reduction 6 ms,
//   levelling 10 ms) are compensated: positions, seeks and the end stay on the same frames
//   of the recording. A change is heard within 50 ms, glided over 20 ms.
// - PlayStream(false) plays from the position (a stream at its end stays stopped);
//   restart = true plays from 0. StopStream → ACTIVE_STOPPED, position kept. PauseStream
//   → ACTIVE_PAUSED, only from playing or paused: on a stopped or ended stream it fails
//   and the stream stays stopped. SeekStream works in any state, to 0 … length (a byte
//   inside a frame goes to that frame); beyond the length it fails and changes nothing.
// - Effects (FX_PARAMEQ only, playback streams only) start flat; SetEffectParameters
//   takes centre 80–16000 Hz, bandwidth 1–36 semitones, gain −15…+15 dB (as DirectX 8)
//   and refuses anything else, keeping the band as it was. Bands filter each channel at
//   the output rate. FreeStream and ResetStreamEffects free a stream's effects.
// - Decoding streams (STREAM_DECODE): never played; ReadDecodedData gives floats with
//   SAMPLE_FLOAT (4 bytes a sample), else 16-bit; it may end in the middle of a frame
//   and the next read goes on from there. StreamActivity is ACTIVE_PLAYING until all
//   data is read, then ACTIVE_STOPPED. StreamPosition counts the bytes delivered.
// - SetMasterVolume works with or without an output, 0.0–1.0 (else false); it scales the
//   mix and goes back to 1.0 when the output is opened or closed. StartOutput is true
//   while an output is open.
// - Streams can be opened without an output; CloseDevice frees them all, whenever made.
// - The sound card (device -1): a lost device (an error, or no callback for 500 ms) halts
//   every playing stream at the frame last heard, and the default device is opened again
//   every 2 s; the streams go on from there when it is back. While nothing plays the render
//   thread sleeps and the device is stopped after a second; PlayStream wakes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

using HSTREAM = std::uint32_t;
using HFX = std::uint32_t;

// OpenFileStream flags.
constexpr std::uint32_t SAMPLE_FLOAT = 0x100;      // decoding streams deliver 32-bit floats
constexpr std::uint32_t STREAM_PRESCAN = 0x20000;  // exact length and seeking
constexpr std::uint32_t STREAM_DECODE = 0x200000;  // decoding only, never played
// With STREAM_DECODE: the channels may come mixed to one, their mean, where the decoder
// does that cheaper than its caller (MP3); StreamInfo tells how many channels come.
constexpr std::uint32_t STREAM_MONO = 0x400000;
// ReadDecodedData: the length is a byte count of float samples.
constexpr std::uint32_t DATA_FLOAT = 0x40000000;
// Position mode: bytes.
constexpr std::uint32_t POS_BYTE = 0;
// AddStreamEffect: a peaking equalizer band.
constexpr std::uint32_t FX_PARAMEQ = 7;

// StreamActivity results.
constexpr std::uint32_t ACTIVE_STOPPED = 0;  // new, stopped, or end reached
constexpr std::uint32_t ACTIVE_PLAYING = 1;
constexpr std::uint32_t ACTIVE_STALLED = 2;
constexpr std::uint32_t ACTIVE_PAUSED = 3;

// Failure values.
constexpr std::uint64_t BAD_POSITION = ~std::uint64_t{0};  // StreamLength, StreamPosition
constexpr std::uint32_t BAD_READ = ~std::uint32_t{0};      // ReadDecodedData

// Devices for OpenDevice.
constexpr int DEVICE_DEFAULT = -1;  // the system's default output (PortAudio)
constexpr int DEVICE_NULL = -2;     // consumes sound in real time, no sound card needed

// Parameters of an FX_PARAMEQ effect, in this order.
struct ParamEqParams {
    float fCenter;     // Hz
    float fBandwidth;  // semitones
    float fGain;       // dB
};

// What StreamInfo reports.
struct StreamInfoRecord {
    std::uint32_t freq = 0;   // sample rate of the stream's data
    std::uint32_t chans = 0;  // channels
    std::uint32_t flags = 0;  // flags the stream was opened with
};

// Opens the output. Device -1 is the system default through PortAudio and fails at once
// (false, nothing printed) where there is no sound card; -2 is the null output. An
// output that is already open stays as it is and the call returns false.
// The environment variable NUVTOLVEK_AUDIO=null makes device -1 fail, so that tests and
// CI never touch a sound card.
bool OpenDevice(int device, std::uint32_t freq, std::uint32_t flags, void* window,
                const void* clsid);
bool SetMasterVolume(float volume);  // 0.0 .. 1.0, scales the mix
bool StartOutput();

// Opens a file (WAV, OGG Vorbis, MP3, recognised by content). `file` is a path in the
// file system's encoding (UTF-8). `mem` must be false; offset 0 and length 0 take the
// whole file. Returns 0 for a missing, empty, damaged or unknown file.
HSTREAM OpenFileStream(bool mem, const std::string& file, std::uint64_t offset,
                       std::uint64_t length, std::uint32_t flags);
bool FreeStream(HSTREAM stream);

bool PlayStream(HSTREAM stream, bool restart);  // runs from the current position
bool StopStream(HSTREAM stream);                // halts, keeps the position, not active
bool PauseStream(HSTREAM stream);               // halts, keeps the position, still active
std::uint32_t StreamActivity(HSTREAM stream);

std::uint64_t StreamLength(HSTREAM stream, std::uint32_t mode);
std::uint64_t StreamPosition(HSTREAM stream, std::uint32_t mode);
double BytesToSeconds(HSTREAM stream, std::uint64_t bytes);  // negative on failure
bool SeekStream(HSTREAM stream, std::uint64_t position, std::uint32_t mode);

// Playback streams only: speed with the pitch kept, 0.5 … 2.0 (anything else fails and
// changes nothing). New streams play at 1.0.
bool SetStreamTempo(HSTREAM stream, double tempo);
double StreamTempo(HSTREAM stream);  // 0 on failure

// Playback streams only: the voice stages. Left or right only plays that side on both
// sides, the mix plays (left + right) / 2 on both; a mono stream plays as it is with any
// of them. A value out of range fails and changes nothing.
enum class VoiceChannel : std::uint8_t { Both, Left, Right, Mix };
enum class VoiceNoise : std::uint8_t { Off, Light, Medium, Strong };
struct VoiceSettings {
    VoiceChannel channel = VoiceChannel::Both;
    VoiceNoise noise = VoiceNoise::Off;
    bool levelling = false;
    bool IsOff() const { return *this == VoiceSettings{}; }
    bool operator==(const VoiceSettings&) const = default;
};
bool SetStreamVoice(HSTREAM stream, const VoiceSettings& voice);
bool StreamVoice(HSTREAM stream, VoiceSettings* voice);

bool ResetStreamEffects(HSTREAM stream);
HFX AddStreamEffect(HSTREAM stream, std::uint32_t type, int priority);
bool SetEffectParameters(HFX effect, const void* parameters);  // a ParamEqParams

bool StreamInfo(HSTREAM stream, StreamInfoRecord* info);
// Decoding streams only. Returns the bytes delivered, 0 at the end, BAD_READ on error.
std::uint32_t ReadDecodedData(HSTREAM stream, void* buffer, std::uint32_t length);

// ---- Not part of the player's operations: for tests, benchmarks and orderly exit ----

// Opens an output that renders only when AdvanceManualOutput is called, so that
// playback tests are exact and never sleep. Fails (false) when an output is open.
bool OpenManualOutput(std::uint32_t freq);
// Renders `frames` output frames on the calling thread (manual output only); appends
// the interleaved stereo mix to `mix` when it is given. Returns the frames rendered.
std::size_t AdvanceManualOutput(std::size_t frames, std::vector<float>* mix = nullptr);
// Closes the output and frees every stream and effect.
void CloseDevice();

// ---- The sound card's health, for the player's notice ----

// With the null output open (the default device having failed), looks for the default
// device every 2 s and moves the output there when it appears; counts as a loss until
// then. False (and nothing done) with another output, or when NUVTOLVEK_AUDIO=null.
bool RetryDefaultDevice();
// How many times the sound card was lost or found missing since the program started.
std::uint32_t OutputLosses();
// True while the engine waits for the default device to come (back).
bool OutputReconnecting();

}  // namespace audio
