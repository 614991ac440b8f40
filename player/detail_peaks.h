// Peaks finer than the envelope, for a zoomed waveform strip: one column per 1/200 second
// holding the smallest and the largest scaled sample of that stretch (all channels
// together, scaled as the envelope is, column c covering the frames f with
// trunc(f x 200 / rate) = c). Only the part in view is computed, in tiles, on a worker
// thread of its own with a decoding stream of its own; the tiles are kept in a small cache
// that forgets the least recently used, so memory stays bounded for any length.
//
// Threads: every public member is called from one thread (the user-interface thread),
// except CacheBytes and Stop, which any thread may call. The worker never touches the
// user interface; reads take a lock only for the copy.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "player/strip_zoom.h"

constexpr int kDetailColumnsPerSecond = 200;
constexpr std::int64_t kDetailTileColumns = 1024;  // 5.12 s a tile
// At most this many tiles are kept (2 KB each, about three hours of detail).
constexpr std::size_t kDetailCacheTiles = 2048;

struct PeakColumn {
    std::int8_t Min = 0;
    std::int8_t Max = 0;
    bool Ready = false;  // false: not computed yet, draw as not ready
};

class DetailPeaks {
  public:
    // `cacheTiles`: how many tiles are kept at most.
    explicit DetailPeaks(std::size_t cacheTiles = kDetailCacheTiles);
    ~DetailPeaks();
    DetailPeaks(const DetailPeaks&) = delete;
    DetailPeaks& operator=(const DetailPeaks&) = delete;

    // The recording whose detail is wanted (UTF-8 path); forgets every tile of the
    // previous one. The same path again changes nothing.
    void SetRecording(const std::string& path);
    // Asks for the columns [first, end) to be computed, nearest the middle first; tiles of
    // an earlier wish that are not started yet are dropped.
    void Want(std::int64_t first, std::int64_t end);
    // The peaks of the pixels x = 0 ... width - 1 of a view: each pixel spans the detail
    // columns of its stretch of time. Pixels whose columns are not all computed are not
    // Ready. Nothing is asked for here (see Want).
    void PixelPeaks(const StripView& view, int width, std::vector<PeakColumn>& out) const;
    // Copies columns [first, first + count) (tests, benchmarks).
    std::vector<PeakColumn> Columns(std::int64_t first, std::int64_t count) const;

    // Memory held by the cached tiles.
    std::size_t CacheBytes() const;
    // Blocks until every wanted tile is done (tests, benchmarks).
    void WaitIdle();
    // Ends the worker; idempotent (the destructor runs it).
    void Stop();

    // The detail columns a pixel x of a view spans: [first, end), at least one column.
    static void PixelColumns(const StripView& view, int x, std::int64_t& first, std::int64_t& end);

  private:
    struct Tile {
        std::vector<std::int8_t> Min;
        std::vector<std::int8_t> Max;
        std::uint64_t Used = 0;  // stamp of the last read, for forgetting the oldest
    };
    void Execute();
    // Computes one tile of `path` on the worker's decoding stream.
    Tile ComputeTile(std::int64_t tile);
    void OpenRecording(const std::string& path);
    void CloseRecording();
    bool Superseded(std::uint64_t generation) const;

    const std::size_t cacheTiles_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::string path_;
    std::uint64_t generation_ = 0;
    std::deque<std::int64_t> wanted_;
    bool busy_ = false;
    bool stop_ = false;
    mutable std::uint64_t clock_ = 0;
    mutable std::unordered_map<std::int64_t, Tile> tiles_;

    // Worker thread only: its decoding stream and what it knows of it.
    std::string openPath_;
    std::uint32_t stream_ = 0;
    std::int64_t rate_ = 0;
    std::int64_t channels_ = 0;
    std::vector<float> buffer_;

    std::thread thread_;
};
