#include "player/envelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "audio/audio.h"
#include "player/sample_range.h"

namespace {

// Samples asked for per read: a twentieth of a block, so that a stop or a new request is
// noticed within a fraction of a second and the buffer stays small.
constexpr std::int64_t kReadSamples = kEnvelopeBlockSamples / 20;

// Frees the worker's decoding stream on every way out of a pass.
class DecodingStream {
  public:
    explicit DecodingStream(audio::HSTREAM handle) : handle_(handle) {}
    ~DecodingStream() {
        if (handle_ != 0) audio::FreeStream(handle_);
    }
    DecodingStream(const DecodingStream&) = delete;
    DecodingStream& operator=(const DecodingStream&) = delete;
    audio::HSTREAM get() const { return handle_; }

  private:
    audio::HSTREAM handle_;
};

}  // namespace

// ---- EnvelopeState ----

void EnvelopeState::Withdraw() {
    std::lock_guard<std::mutex> guard(lock_);
    EnvelopeCount.store(0, std::memory_order_release);
    EnvelopeMin.reset();
    EnvelopeMax.reset();
}

void EnvelopeState::Publish(std::int32_t columns) {
    // Value-initialised atomics start at 0: a column begins at 0 on both sides.
    auto low = std::make_unique<std::atomic<std::int8_t>[]>(static_cast<std::size_t>(columns));
    auto high = std::make_unique<std::atomic<std::int8_t>[]>(static_cast<std::size_t>(columns));
    std::lock_guard<std::mutex> guard(lock_);
    EnvelopeMin = std::move(low);
    EnvelopeMax = std::move(high);
    EnvelopeCount.store(columns, std::memory_order_release);
}

void EnvelopeState::Widen(std::int32_t column, std::int8_t low, std::int8_t high) {
    // The worker is the only writer, so a plain load and store is enough.
    if (high > EnvelopeMax[column].load(std::memory_order_relaxed))
        EnvelopeMax[column].store(high, std::memory_order_relaxed);
    if (low < EnvelopeMin[column].load(std::memory_order_relaxed))
        EnvelopeMin[column].store(low, std::memory_order_relaxed);
}

// ---- ENVELOPE ----

ENVELOPE::ENVELOPE(EnvelopeState& state) : state_(state) {
    thread_ = std::thread([this] { Execute(); });
}

ENVELOPE::~ENVELOPE() {
    Stop();
}

void ENVELOPE::Request(const std::string& path) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (running_ && path == current_ && !superseded_.load()) {
            // The recording being computed is still the latest wish.
            requested_ = false;
            pending_.clear();
        } else {
            pending_ = path;
            requested_ = true;
            if (running_) superseded_.store(true, std::memory_order_release);
        }
    }
    wake_.notify_one();
}

void ENVELOPE::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stop_.store(true, std::memory_order_release);
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void ENVELOPE::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !requested_ && !running_; });
}

void ENVELOPE::SetProgressObserver(std::function<void(std::int64_t)> observer) {
    std::lock_guard<std::mutex> guard(mutex_);
    observer_ = std::move(observer);
}

void ENVELOPE::Execute() {
    for (;;) {
        std::string path;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return requested_ || stop_.load(); });
            if (stop_.load()) break;
            path = std::move(pending_);
            pending_.clear();
            current_ = path;
            requested_ = false;
            running_ = true;
            superseded_.store(false, std::memory_order_release);
        }
        try {
            RunPass(path);
        } catch (const std::bad_alloc&) {
            // A length too large to hold: no envelope for this recording.
            state_.Withdraw();
        }
        {
            std::lock_guard<std::mutex> guard(mutex_);
            running_ = false;
            current_.clear();
        }
        idle_.notify_all();
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        requested_ = false;
        running_ = false;
    }
    idle_.notify_all();
}

void ENVELOPE::RunPass(const std::string& path) {
    std::function<void(std::int64_t)> observer;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        observer = observer_;
    }
    state_.Withdraw();

    DecodingStream stream(audio::OpenFileStream(
        false, path, 0, 0, audio::STREAM_DECODE | audio::STREAM_PRESCAN | audio::SAMPLE_FLOAT));
    if (stream.get() == 0) return;
    const std::uint64_t lengthBytes = audio::StreamLength(stream.get(), audio::POS_BYTE);
    if (lengthBytes == audio::BAD_POSITION) return;
    const double seconds = audio::BytesToSeconds(stream.get(), lengthBytes);
    audio::StreamInfoRecord info;
    if (!audio::StreamInfo(stream.get(), &info)) return;
    if (!(seconds > 0) || info.freq == 0 || info.chans == 0) return;

    const std::int64_t rate = info.freq;
    const std::int64_t channels = info.chans;
    const double columnsExact = std::trunc(seconds * kEnvelopeColumnsPerSecond);
    if (!(columnsExact >= 1)) return;
    if (columnsExact > std::numeric_limits<std::int32_t>::max()) return;
    const auto columns = static_cast<std::int32_t>(columnsExact);
    state_.Publish(columns);

    // Counts are 64-bit, so recordings of any length are covered in full.
    const double totalExact = std::trunc(static_cast<double>(rate * channels) * seconds);
    if (!(totalExact >= 1) || totalExact > 9.0e18) return;
    const auto total = static_cast<std::int64_t>(totalExact);
    const std::int64_t block = std::min(kEnvelopeBlockSamples, total);
    std::vector<float> buffer(static_cast<std::size_t>(std::min(block, kReadSamples)));

    std::int64_t done = 0;  // samples of all channels together, as the stream delivers them
    while (done < total) {
        const std::int64_t want = std::min(block, total - done);
        std::int64_t got = 0;
        while (got < want) {
            if (Abandoned()) return;
            const std::int64_t ask =
                std::min<std::int64_t>(want - got, static_cast<std::int64_t>(buffer.size()));
            const std::uint32_t bytes =
                audio::ReadDecodedData(stream.get(), buffer.data(),
                                       static_cast<std::uint32_t>(ask * 4) | audio::DATA_FLOAT);
            if (bytes == audio::BAD_READ || bytes < 4) return;  // end of data: rest stays 0
            const std::int64_t n = std::min<std::int64_t>(bytes / 4, ask);

            // Walk the samples column by column: the frames of column c are those with
            // c x rate <= 30 x frame < (c + 1) x rate.
            const std::int64_t first = done + got;
            std::int64_t i = 0;
            while (i < n) {
                const std::int64_t frame = (first + i) / channels;
                const std::int64_t column = frame * kEnvelopeColumnsPerSecond / rate;
                if (column >= columns) return;  // data beyond the last whole column
                const std::int64_t nextFrame =
                    ((column + 1) * rate + kEnvelopeColumnsPerSecond - 1) /
                    kEnvelopeColumnsPerSecond;
                const std::int64_t end = std::min(n, nextFrame * channels - first);
                float low = 0.0f;
                float high = 0.0f;
                WidenRange(buffer.data() + i, static_cast<std::size_t>(end - i), low, high);
                state_.Widen(static_cast<std::int32_t>(column), ScaleSample(low),
                             ScaleSample(high));
                i = end;
            }
            got += n;
            if (observer) observer(done + got);
        }
        done += want;
    }
}

std::int8_t ScaleSample(float sample) {
    // The product of a float and 127 is exact in double precision.
    const double scaled = static_cast<double>(sample) * kEnvelopeFullScale;
    if (scaled >= kEnvelopeFullScale) return kEnvelopeFullScale;
    if (scaled <= -kEnvelopeFullScale) return -kEnvelopeFullScale;
    if (!(scaled == scaled)) return 0;
    return static_cast<std::int8_t>(static_cast<int>(scaled));
}
