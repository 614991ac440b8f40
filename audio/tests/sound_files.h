// Sound files made at run time for the engine's tests, in a temporary folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace audio_test {

// A temporary folder removed with everything in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& name) const { return (root_ / name).string(); }

  private:
    std::filesystem::path root_;
};

// Interleaved float samples of `channels` channels.
struct Signal {
    int rate = 44100;
    int channels = 2;
    std::vector<float> samples;
    std::int64_t Frames() const { return static_cast<std::int64_t>(samples.size()) / channels; }
};

Signal Sine(int rate, int channels, double seconds, double frequency, double amplitude);
// Noise bursts shaped like speech: deterministic for a given seed.
Signal SpeechLike(int rate, int channels, double seconds, std::uint32_t seed = 1);

// libsndfile `format` (e.g. SF_FORMAT_WAV | SF_FORMAT_PCM_16). True on success.
bool WriteSound(const std::string& path, const Signal& signal, int format);
bool WriteWav16(const std::string& path, const Signal& signal);
bool WriteOgg(const std::string& path, const Signal& signal);
bool WriteMp3(const std::string& path, const Signal& signal);  // libsndfile's LAME, tagged
// The lame command: `options` such as "-b 128 -t" or "-V5 -t". Needs a WAV file.
bool LameEncode(const std::string& wav, const std::string& mp3, const std::string& options);

// What a decoding library itself reads from a file, straight through, as floats.
struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
};
Decoded DecodeWithSndfile(const std::string& path);
Decoded DecodeWithMpg123(const std::string& path);
Decoded DecodeWithVorbisfile(const std::string& path);

// The ffmpeg program: `ffmpeg -i <input> <options> <output>`, quietly. True on success.
bool FfmpegEncode(const std::string& input, const std::string& output, const std::string& options);
// What the ffmpeg program itself decodes from a file: interleaved floats of `channels`.
std::vector<float> DecodeWithFfmpegProgram(const std::string& path, int channels);
// An AMR-NB file (12.2 kbit/s, 8000 Hz) of `frames` speech frames with deterministic
// bits: every bit pattern is a valid frame, so this stands in for an encoder.
void WriteAmrNb(const std::string& path, int frames, std::uint32_t seed);

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> ReadBytes(const std::string& path);

}  // namespace audio_test
