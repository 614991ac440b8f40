// MP3 (MPEG audio) through libmpg123: exact length by a full scan, gapless, and
// sample-accurate seeks (the scan builds a complete frame index; pre-frames rebuild the
// bit reservoir and the filter history before the target).
#include <mpg123.h>

#include <mutex>

#include "audio/decoder.h"

namespace audio {
namespace {

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

// Pre-frames decoded and thrown away before a seek target: enough for the largest bit
// reservoir (511 bytes back) at the lowest bit rates, plus the overlap of the filter bank.
constexpr long kPreFrames = 6;

class Mpg123Decoder final : public Decoder {
  public:
    Mpg123Decoder(mpg123_handle* h, std::int64_t frames, int rate, int channels)
        : h_(h), frames_(frames), rate_(rate), channels_(channels) {}
    std::int64_t Frames() const override { return frames_; }
    int Rate() const override { return rate_; }
    int Channels() const override { return channels_; }
    bool Seek(std::int64_t frame) override {
        if (frame < 0 || frame > frames_) return false;
        return mpg123_seek(h_.get(), static_cast<off_t>(frame), SEEK_SET) == frame;
    }
    std::size_t Read(float* out, std::size_t frames) override {
        const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(channels_);
        auto* dst = reinterpret_cast<unsigned char*>(out);
        std::size_t total = 0;
        const std::size_t wanted = frames * frameBytes;
        // A few rounds at most: a read may stop at a format change notice.
        for (int round = 0; round < 8 && total < wanted; ++round) {
            std::size_t done = 0;
            const int rc = mpg123_read(h_.get(), dst + total, wanted - total, &done);
            total += done;
            if (rc == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(h_.get(), &rate, &channels, &encoding);
                if (rate != rate_ || channels != channels_ || encoding != MPG123_ENC_FLOAT_32)
                    break;  // a stream that changes its format mid-way ends here
                continue;
            }
            if (rc != MPG123_OK) break;  // done or a damaged stretch that cannot go on
        }
        return total / frameBytes;
    }
    const char* Library() const override { return "mpg123"; }

  private:
    std::unique_ptr<mpg123_handle, Mpg123Deleter> h_;
    std::int64_t frames_;
    int rate_, channels_;
};

}  // namespace

std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> h(mpg123_new(nullptr, &err));
    if (!h) return nullptr;
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0);
    mpg123_param(h.get(), MPG123_PREFRAMES, kPreFrames, 0);
    // Float output at the stream's own rate and channel count, nothing else.
    mpg123_format_none(h.get());
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(h.get(), path.c_str()) != MPG123_OK) return nullptr;
    if (mpg123_scan(h.get()) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h.get(), &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    if (rate <= 0 || channels <= 0 || encoding != MPG123_ENC_FLOAT_32) return nullptr;
    const off_t length = mpg123_length(h.get());
    if (length <= 0) return nullptr;
    // Back to the start so that the first read gives frame 0.
    if (mpg123_seek(h.get(), 0, SEEK_SET) != 0) return nullptr;
    return std::make_unique<Mpg123Decoder>(h.release(), static_cast<std::int64_t>(length),
                                           static_cast<int>(rate), channels);
}

}  // namespace audio
