#include "player/detail_peaks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/audio.h"
#include "player/envelope.h"
#include "player/sample_range.h"

namespace {

// Samples asked for per read: small enough that a new wish is taken up quickly.
constexpr std::size_t kReadSamples = 65536;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

DetailPeaks::DetailPeaks(std::size_t cacheTiles)
    : cacheTiles_(std::max<std::size_t>(2, cacheTiles)) {
    thread_ = std::thread([this] { Execute(); });
}

DetailPeaks::~DetailPeaks() {
    Stop();
}

void DetailPeaks::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void DetailPeaks::SetRecording(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (path == path_) return;
    path_ = path;
    ++generation_;
    tiles_.clear();
    wanted_.clear();
}

void DetailPeaks::Want(std::int64_t first, std::int64_t end) {
    if (end <= first) return;
    first = std::max<std::int64_t>(0, first);
    end = std::max(first, end);
    const std::int64_t from = first / kDetailTileColumns;
    const std::int64_t to = (end + kDetailTileColumns - 1) / kDetailTileColumns;
    const std::int64_t middle = (from + to - 1) / 2;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        wanted_.clear();
        // The middle of the view first, then outwards.
        for (std::int64_t d = 0; middle - d >= from || middle + d < to; ++d) {
            for (std::int64_t tile : {middle - d, middle + d + 1}) {
                if (tile < from || tile >= to) continue;
                if (tiles_.count(tile) == 0) wanted_.push_back(tile);
            }
        }
        // Never more than the cache holds, or the first tiles would be forgotten again.
        if (wanted_.size() > cacheTiles_ / 2) wanted_.resize(cacheTiles_ / 2);
        if (wanted_.empty()) return;
    }
    wake_.notify_one();
}

void DetailPeaks::PixelColumns(const StripView& view, int x, std::int64_t& first,
                               std::int64_t& end) {
    const double pixel = static_cast<double>(view.FirstPixel) + x;
    const double perPixel = kDetailColumnsPerSecond / view.PixelsPerSecond;
    first = static_cast<std::int64_t>(std::floor(pixel * perPixel));
    end = static_cast<std::int64_t>(std::floor((pixel + 1) * perPixel));
    if (end <= first) end = first + 1;
}

void DetailPeaks::PixelPeaks(const StripView& view, int width, std::vector<PeakColumn>& out) const {
    out.assign(static_cast<std::size_t>(std::max(0, width)), PeakColumn{});
    std::lock_guard<std::mutex> guard(mutex_);
    const std::uint64_t stamp = ++clock_;
    std::int64_t cachedIndex = -1;
    const Tile* cached = nullptr;
    for (int x = 0; x < width; ++x) {
        std::int64_t first = 0;
        std::int64_t end = 0;
        PixelColumns(view, x, first, end);
        if (first < 0) continue;
        PeakColumn peak{0, 0, true};
        for (std::int64_t c = first; c < end && peak.Ready;) {
            const std::int64_t index = c / kDetailTileColumns;
            if (index != cachedIndex) {
                const auto found = tiles_.find(index);
                cached = found == tiles_.end() ? nullptr : &found->second;
                cachedIndex = index;
                if (cached != nullptr) const_cast<Tile*>(cached)->Used = stamp;
            }
            if (cached == nullptr) {
                peak.Ready = false;
                break;
            }
            const std::int64_t offset = c - index * kDetailTileColumns;
            const std::int64_t stop = std::min(end, (index + 1) * kDetailTileColumns);
            const auto size = static_cast<std::int64_t>(cached->Min.size());
            for (std::int64_t k = offset; k < stop - index * kDetailTileColumns && k < size; ++k) {
                peak.Min = std::min(peak.Min, cached->Min[static_cast<std::size_t>(k)]);
                peak.Max = std::max(peak.Max, cached->Max[static_cast<std::size_t>(k)]);
            }
            c = stop;
        }
        out[static_cast<std::size_t>(x)] = peak;
    }
}

std::vector<PeakColumn> DetailPeaks::Columns(std::int64_t first, std::int64_t count) const {
    std::vector<PeakColumn> out(static_cast<std::size_t>(std::max<std::int64_t>(0, count)));
    std::lock_guard<std::mutex> guard(mutex_);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t c = first + i;
        if (c < 0) continue;
        const auto found = tiles_.find(c / kDetailTileColumns);
        if (found == tiles_.end()) continue;
        const auto k = static_cast<std::size_t>(c % kDetailTileColumns);
        PeakColumn& column = out[static_cast<std::size_t>(i)];
        column.Ready = true;
        if (k < found->second.Min.size()) {
            column.Min = found->second.Min[k];
            column.Max = found->second.Max[k];
        }
    }
    return out;
}

std::size_t DetailPeaks::CacheBytes() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::size_t bytes = 0;
    for (const auto& [index, tile] : tiles_)
        bytes += tile.Min.capacity() + tile.Max.capacity() + sizeof(Tile) + 32;
    return bytes;
}

void DetailPeaks::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return stop_ || (wanted_.empty() && !busy_); });
}

bool DetailPeaks::Superseded(std::uint64_t generation) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return stop_ || generation != generation_;
}

void DetailPeaks::Execute() {
    for (;;) {
        std::int64_t tile = 0;
        std::string path;
        std::uint64_t generation = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            busy_ = false;
            idle_.notify_all();
            wake_.wait(lock, [this] { return stop_ || !wanted_.empty(); });
            if (stop_) break;
            tile = wanted_.front();
            wanted_.pop_front();
            if (tiles_.count(tile) != 0) continue;
            path = path_;
            generation = generation_;
            busy_ = true;
        }
        if (path != openPath_) OpenRecording(path);
        Tile computed = ComputeTile(tile);
        std::lock_guard<std::mutex> guard(mutex_);
        if (generation != generation_) continue;
        computed.Used = ++clock_;
        tiles_[tile] = std::move(computed);
        while (tiles_.size() > cacheTiles_) {
            auto oldest = tiles_.begin();
            for (auto it = tiles_.begin(); it != tiles_.end(); ++it)
                if (it->second.Used < oldest->second.Used) oldest = it;
            tiles_.erase(oldest);
        }
    }
    CloseRecording();
    std::lock_guard<std::mutex> guard(mutex_);
    busy_ = false;
    idle_.notify_all();
}

void DetailPeaks::CloseRecording() {
    if (stream_ != 0) audio::FreeStream(stream_);
    stream_ = 0;
    rate_ = channels_ = 0;
    openPath_.clear();
}

void DetailPeaks::OpenRecording(const std::string& path) {
    CloseRecording();
    openPath_ = path;
    stream_ = audio::OpenFileStream(
        false, path, 0, 0, audio::STREAM_DECODE | audio::STREAM_PRESCAN | audio::SAMPLE_FLOAT);
    audio::StreamInfoRecord info;
    if (stream_ == 0 || !audio::StreamInfo(stream_, &info) || info.freq == 0 || info.chans == 0) {
        // Nothing to decode: every tile comes out silent rather than waiting for ever.
        if (stream_ != 0) audio::FreeStream(stream_);
        stream_ = 0;
        return;
    }
    rate_ = info.freq;
    channels_ = info.chans;
}

DetailPeaks::Tile DetailPeaks::ComputeTile(std::int64_t tile) {
    Tile result;
    result.Min.assign(static_cast<std::size_t>(kDetailTileColumns), 0);
    result.Max.assign(static_cast<std::size_t>(kDetailTileColumns), 0);
    if (stream_ == 0) return result;
    const std::int64_t firstColumn = tile * kDetailTileColumns;
    const std::int64_t endColumn = firstColumn + kDetailTileColumns;
    // The first frame of column c: the smallest f with f x 200 >= c x rate.
    const std::int64_t firstFrame =
        (firstColumn * rate_ + kDetailColumnsPerSecond - 1) / kDetailColumnsPerSecond;
    const std::uint64_t bytes = static_cast<std::uint64_t>(firstFrame * channels_) * 4;
    if (!audio::SeekStream(stream_, bytes, audio::POS_BYTE)) return result;  // past the end

    if (buffer_.empty()) buffer_.resize(kReadSamples);
    const std::uint64_t generation = [this] {
        std::lock_guard<std::mutex> guard(mutex_);
        return generation_;
    }();
    std::int64_t sample = firstFrame * channels_;  // index of buffer_[0] in the stream
    for (;;) {
        if (Superseded(generation)) return result;
        const std::size_t whole = buffer_.size() / static_cast<std::size_t>(channels_) *
                                  static_cast<std::size_t>(channels_);
        const std::uint32_t got = audio::ReadDecodedData(
            stream_, buffer_.data(), static_cast<std::uint32_t>(whole * 4) | audio::DATA_FLOAT);
        // A read that fails in the middle leaves the rest of the tile silent.
        if (got == audio::BAD_READ || got < 4) return result;
        const auto n = static_cast<std::int64_t>(got / 4);
        std::int64_t i = 0;
        while (i < n) {
            const std::int64_t frame = FloorDiv(sample + i, channels_);
            const std::int64_t column = frame * kDetailColumnsPerSecond / rate_;
            if (column >= endColumn) return result;
            const std::int64_t nextFrame =
                ((column + 1) * rate_ + kDetailColumnsPerSecond - 1) / kDetailColumnsPerSecond;
            const std::int64_t stop = std::min(n, nextFrame * channels_ - sample);
            float low = 0.0f;
            float high = 0.0f;
            WidenRange(buffer_.data() + i, static_cast<std::size_t>(stop - i), low, high);
            const auto at = static_cast<std::size_t>(column - firstColumn);
            result.Min[at] = std::min(result.Min[at], ScaleSample(low));
            result.Max[at] = std::max(result.Max[at], ScaleSample(high));
            i = stop;
        }
        sample += n;
    }
}
