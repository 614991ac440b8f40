// Ogg Vorbis through libvorbisfile: exact length (ov_pcm_total) and exact seeks
// (ov_pcm_seek), also into the last page.
#include <vorbis/vorbisfile.h>

#include <cstdio>

#include "audio/decoder.h"

namespace audio {
namespace {

std::size_t ReadFile(void* ptr, std::size_t size, std::size_t count, void* file) {
    return std::fread(ptr, size, count, static_cast<std::FILE*>(file));
}
int SeekFile(void* file, ogg_int64_t offset, int whence) {
    return fseeko(static_cast<std::FILE*>(file), static_cast<off_t>(offset), whence);
}
int CloseFile(void* file) {
    return std::fclose(static_cast<std::FILE*>(file));
}
long TellFile(void* file) {
    return static_cast<long>(ftello(static_cast<std::FILE*>(file)));
}

class VorbisDecoder final : public Decoder {
  public:
    VorbisDecoder() = default;
    ~VorbisDecoder() override {
        if (open_) ov_clear(&vf_);
    }
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    bool Open(std::FILE* file) {
        const ov_callbacks callbacks{ReadFile, SeekFile, CloseFile, TellFile};
        if (ov_open_callbacks(file, &vf_, nullptr, 0, callbacks) != 0) {
            std::fclose(file);  // vorbisfile leaves the file to us when it fails
            return false;
        }
        open_ = true;
        if (!ov_seekable(&vf_)) return false;
        const vorbis_info* first = ov_info(&vf_, 0);
        if (!first || first->channels <= 0 || first->rate <= 0) return false;
        // A chain whose links differ in rate or channels cannot be one stream.
        for (long link = 1; link < ov_streams(&vf_); ++link) {
            const vorbis_info* other = ov_info(&vf_, static_cast<int>(link));
            if (!other || other->channels != first->channels || other->rate != first->rate)
                return false;
        }
        rate_ = static_cast<int>(first->rate);
        channels_ = first->channels;
        frames_ = ov_pcm_total(&vf_, -1);
        return frames_ > 0;
    }

    std::int64_t Frames() const override { return frames_; }
    int Rate() const override { return rate_; }
    int Channels() const override { return channels_; }
    bool Seek(std::int64_t frame) override {
        if (frame < 0 || frame > frames_) return false;
        return ov_pcm_seek(&vf_, frame) == 0;
    }
    std::size_t Read(float* out, std::size_t frames) override {
        std::size_t total = 0;
        int holes = 0;
        while (total < frames) {
            float** pcm = nullptr;
            int link = 0;
            const long got = ov_read_float(&vf_, &pcm, static_cast<int>(frames - total), &link);
            if (got == OV_HOLE && ++holes < 64) continue;  // a gap in the data: skip it
            if (got <= 0) break;
            const int n = channels_;
            float* dst = out + total * static_cast<std::size_t>(n);
            if (n == 2) {
                const float* l = pcm[0];
                const float* r = pcm[1];
                for (long i = 0; i < got; ++i) {
                    dst[2 * i] = l[i];
                    dst[2 * i + 1] = r[i];
                }
            } else {
                for (long i = 0; i < got; ++i)
                    for (int c = 0; c < n; ++c) dst[i * n + c] = pcm[c][i];
            }
            total += static_cast<std::size_t>(got);
        }
        return total;
    }
    const char* Library() const override { return "vorbisfile"; }

  private:
    OggVorbis_File vf_{};
    bool open_ = false;
    std::int64_t frames_ = 0;
    int rate_ = 0, channels_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    auto decoder = std::make_unique<VorbisDecoder>();
    if (!decoder->Open(file)) return nullptr;
    return decoder;
}

}  // namespace audio
