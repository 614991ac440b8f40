// MP3 (MPEG audio) through libmpg123: exact length by a full scan, gapless, and
// sample-accurate seeks (the scan builds a complete frame index; pre-frames rebuild the
// bit reservoir and the filter history before the target).
#include <mpg123.h>

#include <cstdio>
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

// mpg123's own reader reads with a system call per header and per byte of a resync;
// buffered stdio makes the exact-length scan of an hour's file several times faster.
mpg123_ssize_t ReadFile(void* file, void* buffer, std::size_t bytes) {
    const std::size_t got = std::fread(buffer, 1, bytes, static_cast<std::FILE*>(file));
    if (got == 0 && std::ferror(static_cast<std::FILE*>(file))) return -1;
    return static_cast<mpg123_ssize_t>(got);
}
off_t SeekFile(void* file, off_t offset, int whence) {
    auto* f = static_cast<std::FILE*>(file);
    if (fseeko(f, offset, whence) != 0) return -1;
    return ftello(f);
}
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class Mpg123Decoder final : public Decoder {
  public:
    Mpg123Decoder(FilePtr file, mpg123_handle* h, std::int64_t frames, int rate, int channels)
        : file_(std::move(file)), h_(h), frames_(frames), rate_(rate), channels_(channels) {}
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
    FilePtr file_;  // outlives the handle that reads it
    std::unique_ptr<mpg123_handle, Mpg123Deleter> h_;
    std::int64_t frames_;
    int rate_, channels_;
};

}  // namespace

std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path, bool mono) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> h(mpg123_new(nullptr, &err));
    if (!h) return nullptr;
    mpg123_param(h.get(), MPG123_ADD_FLAGS,
                 MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT | (mono ? MPG123_MONO_MIX : 0),
                 0);
    mpg123_param(h.get(), MPG123_PREFRAMES, kPreFrames, 0);
    // Float output at the stream's own rate and channel count, nothing else.
    mpg123_format_none(h.get());
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return nullptr;
    std::setvbuf(file.get(), nullptr, _IOFBF, 64 * 1024);
    // The handle is only borrowed: mpg123 gets no clean-up function, the decoder closes it.
    if (mpg123_replace_reader_handle(h.get(), &ReadFile, &SeekFile, nullptr) != MPG123_OK)
        return nullptr;
    // Declared after `file`, so the handle goes first whichever way this function ends.
    std::unique_ptr<mpg123_handle, Mpg123Deleter> reader(h.release());
    if (mpg123_open_handle(reader.get(), file.get()) != MPG123_OK) return nullptr;
    if (mpg123_scan(reader.get()) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(reader.get(), &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    if (rate <= 0 || channels <= 0 || encoding != MPG123_ENC_FLOAT_32) return nullptr;
    const off_t length = mpg123_length(reader.get());
    if (length <= 0) return nullptr;
    // Back to the start so that the first read gives frame 0.
    if (mpg123_seek(reader.get(), 0, SEEK_SET) != 0) return nullptr;
    return std::make_unique<Mpg123Decoder>(std::move(file), reader.release(),
                                           static_cast<std::int64_t>(length),
                                           static_cast<int>(rate), channels);
}

}  // namespace audio
