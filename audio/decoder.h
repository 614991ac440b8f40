// Decoders: one small interface over the decoding libraries, chosen by the file's content
// (never by its name): libsndfile, libmpg123 and libvorbisfile for what they read, FFmpeg
// for every other container and for whatever those three refuse. Internal to the engine; the
// streams, tests and benchmarks see only this interface.
//
// Threads: a decoder is not thread-safe; its owner serialises every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace audio {

class Decoder {
  public:
    virtual ~Decoder() = default;
    // Exact number of sample frames that reading from the start delivers.
    virtual std::int64_t Frames() const = 0;
    virtual int Rate() const = 0;
    virtual int Channels() const = 0;
    // Moves to `frame` (0 … Frames()); reading then gives exactly what reading straight
    // through from the start gives from that frame on. False on failure.
    virtual bool Seek(std::int64_t frame) = 0;
    // Reads up to `frames` interleaved float frames; returns the frames read, 0 at the end
    // or on a decoding error that cannot be skipped.
    virtual std::size_t Read(float* out, std::size_t frames) = 0;
    // Which library decodes ("sndfile", "mpg123", "vorbisfile", "ffmpeg"), for tests.
    virtual const char* Library() const = 0;
};

// Other: the rest of libsndfile's formats. Media: containers only FFmpeg reads (MP4/M4A/3GP,
// Matroska/WebM, ASF/WMA, AMR, ADTS AAC).
enum class ContainerKind { Unknown, Wave, Ogg, Mpeg, Other, Media };

// Looks at the first bytes of a file and says which decoder should read it.
ContainerKind SniffContainer(const unsigned char* head, std::size_t size);

// Opens `path` with the decoder its content asks for; when that one refuses the file,
// FFmpeg has the last word. Null for a missing, empty, damaged or unknown file and for one
// in which no decoder finds any sound. Never prints anything. `mono`: a decoder that mixes
// the channels cheaper than its caller could (mpg123 mixes the spectra, then synthesises one
// channel instead of two) delivers one channel, their mean; the others ignore it.
std::unique_ptr<Decoder> OpenDecoder(const std::string& path, bool mono = false);

// The implementations, also for tests that want one library in particular.
std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path);
std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path, bool mono = false);
std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path);
// The first audio stream of any container FFmpeg opens; other streams are never read.
std::unique_ptr<Decoder> OpenFfmpegDecoder(const std::string& path);

}  // namespace audio
