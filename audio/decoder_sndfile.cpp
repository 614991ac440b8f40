// WAV, FLAC, AIFF and the other formats of libsndfile; never MPEG or Ogg.
#include <sndfile.h>

#include "audio/decoder.h"

namespace audio {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

class SndfileDecoder final : public Decoder {
  public:
    SndfileDecoder(SNDFILE* file, const SF_INFO& info) : file_(file), info_(info) {}
    std::int64_t Frames() const override { return info_.frames; }
    int Rate() const override { return info_.samplerate; }
    int Channels() const override { return info_.channels; }
    bool Seek(std::int64_t frame) override {
        if (frame < 0 || frame > info_.frames) return false;
        return sf_seek(file_.get(), frame, SEEK_SET) == frame;
    }
    std::size_t Read(float* out, std::size_t frames) override {
        const sf_count_t got = sf_readf_float(file_.get(), out, static_cast<sf_count_t>(frames));
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    const char* Library() const override { return "sndfile"; }

  private:
    std::unique_ptr<SNDFILE, SndfileCloser> file_;
    SF_INFO info_;
};

}  // namespace

std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path) {
    SF_INFO info{};
    SNDFILE* raw = sf_open(path.c_str(), SFM_READ, &info);
    if (!raw) return nullptr;
    std::unique_ptr<SNDFILE, SndfileCloser> file(raw);
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    // libsndfile cuts tag-less VBR MP3 short and seeks wrongly in the last Ogg page:
    // those belong to mpg123 and vorbisfile.
    if (major == SF_FORMAT_MPEG || major == SF_FORMAT_OGG || sub == SF_FORMAT_MPEG_LAYER_I ||
        sub == SF_FORMAT_MPEG_LAYER_II || sub == SF_FORMAT_MPEG_LAYER_III ||
        sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS)
        return nullptr;
    if (info.frames <= 0 || info.samplerate <= 0 || info.channels <= 0 || !info.seekable ||
        info.channels > 64 || info.samplerate > 1'000'000)
        return nullptr;
    // Float files that exceed full scale are passed on unchanged (no clipping, no
    // normalisation): both the ear and the envelope see the file's own values.
    sf_command(raw, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return std::make_unique<SndfileDecoder>(file.release(), info);
}

}  // namespace audio
