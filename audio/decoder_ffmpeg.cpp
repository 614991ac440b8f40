// Every other container and codec through FFmpeg's libavformat and libavcodec: the first
// audio stream of whatever FFmpeg opens (M4A/AAC, MP4 and other video files, WMA, Opus,
// WebM/MKV, AMR, 3GP…).
//
// Exact length: a scan at open time. Where every packet says its own duration in whole
// samples (AAC, Opus, FLAC, Vorbis, MP3, AMR, PCM), the packets are only read, not
// decoded, except the first and the last few: what the container marks as the encoder's
// delay and padding (skip side data, discarded packets, a last packet cut short) is
// learnt by decoding them as a straight read does. WMA's packets say their time only to
// the millisecond, but its decoder always delivers whole frames of one fixed length: the
// head is decoded to learn which frame a time stands for, and the last seconds to find
// the end (an hour opens in milliseconds instead of seconds). Otherwise (and for a WMA
// whose times do not fall on its frames) the scan decodes everything. An MP4 whose edit
// list ends before its last packet ends is cut there.
//
// Exact seeks: the scan keeps a checkpoint every few thousand samples (a packet and the
// number of samples decoding straight through delivers before it). A seek goes to the
// last checkpoint well before the target, so that the decoder's state has settled
// (overlap, pre-roll), decodes forward and throws the samples before the target away.
// WMA seeks by time instead; each frame's place comes from its time, so a straight read
// and a read after a seek agree, and a damaged stretch that lost frames plays as silence
// instead of pulling what follows early.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/intreadwrite.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>
#include <vector>

#include "audio/decoder.h"

namespace audio {
namespace {

// Samples decoded and thrown away before a seek target at least: one AAC or Opus frame
// of overlap is enough, Opus asks for 80 ms; a few frames more settle the predictors of
// speech codecs.
constexpr std::int64_t kMinPreroll = 8192;
constexpr std::int64_t kCheckpointSpacing = 8192;
// A decoder that keeps failing on every packet is not decoding this file.
constexpr int kMaxErrorsInARow = 64;
// Frames of the head (about two seconds) that must fall on one grid before times are
// trusted for places, and the seconds of the tail that must fit it too: a file whose
// packets share a time or whose frames straddle packets unevenly shows it there.
constexpr std::size_t kGridFrames = 48;
constexpr int kTailSeconds = 4;

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

// A packet from where decoding straight through is known to have delivered `sample`
// samples before it; (dts, pos) find it again after a seek.
struct Checkpoint {
    std::int64_t dts;
    std::int64_t pos;
    std::int64_t sample;
};

bool DurationsAreExact(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_OPUS:
        case AV_CODEC_ID_FLAC:
        case AV_CODEC_ID_VORBIS:
        case AV_CODEC_ID_MP3:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_AMR_NB:
        case AV_CODEC_ID_AMR_WB:
        case AV_CODEC_ID_ALAC:
            return true;
        default:
            return id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_ADPCM_IMA_QT;
    }
}

// Start skip and end discard the demuxer attached to a packet (0, 0 when none).
void SkipSideData(const AVPacket* pkt, std::int64_t* start, std::int64_t* end) {
    std::size_t size = 0;
    const std::uint8_t* side = av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &size);
    *start = *end = 0;
    if (side && size >= 8) {
        *start = AV_RL32(side);
        *end = AV_RL32(side + 4);
    }
}

// Appends `frame`'s samples, interleaved, as floats in −1 … 1.
template <typename T>
void Interleave(const AVFrame* frame, int channels, bool planar, float scale, float bias,
                float* out) {
    const int n = frame->nb_samples;
    if (planar) {
        for (int c = 0; c < channels; ++c) {
            const T* in = reinterpret_cast<const T*>(frame->extended_data[c]);
            for (int i = 0; i < n; ++i)
                out[i * channels + c] = (static_cast<float>(in[i]) - bias) * scale;
        }
    } else {
        const T* in = reinterpret_cast<const T*>(frame->extended_data[0]);
        const int total = n * channels;
        for (int i = 0; i < total; ++i) out[i] = (static_cast<float>(in[i]) - bias) * scale;
    }
}

bool ConvertFrame(const AVFrame* frame, int channels, float* out) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_FLT:
            Interleave<float>(frame, channels, planar, 1.0f, 0.0f, out);
            return true;
        case AV_SAMPLE_FMT_S16:
            Interleave<std::int16_t>(frame, channels, planar, 1.0f / 32768, 0.0f, out);
            return true;
        case AV_SAMPLE_FMT_S32:
            Interleave<std::int32_t>(frame, channels, planar, 1.0f / 2147483648.0f, 0.0f, out);
            return true;
        case AV_SAMPLE_FMT_U8:
            Interleave<std::uint8_t>(frame, channels, planar, 1.0f / 128, 128.0f, out);
            return true;
        case AV_SAMPLE_FMT_DBL:
            Interleave<double>(frame, channels, planar, 1.0f, 0.0f, out);
            return true;
        case AV_SAMPLE_FMT_S64:
            Interleave<std::int64_t>(frame, channels, planar, 1.0f / 9223372036854775808.0f, 0.0f,
                                     out);
            return true;
        default:
            return false;
    }
}

class FfmpegDecoder final : public Decoder {
  public:
    // Opens the file, picks its first audio stream and scans it. False when FFmpeg does
    // not know the file, it holds no audio or the audio does not decode.
    bool Open(const std::string& path) {
        path_ = path;
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_ || !OpenFormat() || !OpenCodec()) return false;
        rate_ = codec_->sample_rate;
        channels_ = codec_->ch_layout.nb_channels;
        if (rate_ <= 0 || rate_ > 1'000'000 || channels_ <= 0 || channels_ > 64) return false;
        if (!ReadPacket()) return false;  // not one packet of sound
        first_ = {packet_->dts, packet_->pos, 0};
        const bool exact = DurationsAreExact(stream_->codecpar->codec_id);
        bool readOn = false;  // whether the index scan read beyond the first packet
        bool scanned = exact && ScanIndex(&readOn);
        if (exact && !scanned) {
            checkpoints_.clear();
            scanned = (!readOn || Restart()) && ScanPackets();
        }
        if (!scanned && LearnGrid()) {
            scanned = FindEndByTime();
            if (!scanned) grid_ = Grid{};
        }
        if (!scanned && !ScanByDecoding()) return false;
        // An MP4's edit list says where the sound ends; the last packet is decoded whole.
        if (std::strncmp(format_->iformat->name, "mov", 3) == 0 && stream_->duration > 0) {
            const std::int64_t declared =
                av_rescale_q(stream_->duration, stream_->time_base, AVRational{1, rate_});
            if (declared > 0 && declared < frames_) frames_ = declared;
        }
        if (frames_ <= 0) return false;
        return Rewind();
    }

    std::int64_t Frames() const override { return frames_; }
    int Rate() const override { return rate_; }
    int Channels() const override { return channels_; }
    const char* Library() const override { return "ffmpeg"; }

    bool Seek(std::int64_t frame) override {
        if (frame < 0 || frame > frames_) return false;
        // Going on from here is cheaper than any seek when the target is close ahead.
        if (!failed_ && frame >= Position() && frame - Position() <= kMinPreroll) {
            discardUntil_ = frame;
            return true;
        }
        // The last checkpoint far enough before the target for the decoder to settle.
        auto it = std::upper_bound(
            checkpoints_.begin(), checkpoints_.end(), frame - kMinPreroll,
            [](std::int64_t value, const Checkpoint& c) { return value < c.sample; });
        bool ok = false;
        if (grid_.on)
            ok = SeekByTime(frame);
        else if (it != checkpoints_.begin())
            ok = SeekToCheckpoint(*std::prev(it));
        if (!ok) ok = Rewind();
        if (!ok) return false;
        discardUntil_ = frame;
        return true;
    }

    std::size_t Read(float* out, std::size_t frames) override {
        std::size_t done = 0;
        while (done < frames && !failed_) {
            const std::int64_t available = pendingStart_ + PendingFrames();
            if (pendingAt_ < PendingFrames() &&
                pendingStart_ + static_cast<std::int64_t>(pendingAt_) < frames_) {
                // Samples before a seek target are decoded only to be thrown away.
                const std::int64_t here = pendingStart_ + static_cast<std::int64_t>(pendingAt_);
                if (here < discardUntil_) {
                    pendingAt_ += static_cast<std::size_t>(
                        std::min<std::int64_t>(discardUntil_, available) - here);
                    continue;
                }
                const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(
                    {static_cast<std::int64_t>(frames - done),
                     static_cast<std::int64_t>(PendingFrames() - pendingAt_), frames_ - here}));
                const std::size_t ch = static_cast<std::size_t>(channels_);
                if (pendingAt_ < gap_) {
                    const std::size_t silent = std::min(n, gap_ - pendingAt_);
                    std::fill_n(out + done * ch, silent * ch, 0.0f);
                    pendingAt_ += silent;
                    done += silent;
                    continue;
                }
                std::memcpy(out + done * ch, pending_.data() + (pendingAt_ - gap_) * ch,
                            n * ch * sizeof(float));
                pendingAt_ += n;
                done += n;
                continue;
            }
            if (available >= frames_ || !DecodeNext()) break;
        }
        return done;
    }

  private:
    std::size_t PendingFrames() const {
        return gap_ + pending_.size() / static_cast<std::size_t>(channels_);
    }
    std::int64_t Position() const {
        return std::max(discardUntil_, pendingStart_ + static_cast<std::int64_t>(pendingAt_));
    }

    bool OpenCodec() {
        const AVCodec* decoder = avcodec_find_decoder(stream_->codecpar->codec_id);
        if (!decoder) return false;
        codec_.reset(avcodec_alloc_context3(decoder));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), stream_->codecpar) < 0)
            return false;
        codec_->thread_count = 1;  // one packet in, its frame out: no frame-threading delay
        codec_->pkt_timebase = stream_->time_base;
        // Trims are done by Kept, so that a fresh decoder's initial skip never applies
        // after a seek.
        codec_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
        skipLeft_ = 0;
        honourSkip_ = true;
        return avcodec_open2(codec_.get(), decoder, nullptr) >= 0;
    }

    // Which samples of a decoded frame a straight read keeps: the trims the container
    // marks (encoder delay at the start, padding at the end, packets outside an edit
    // list). Start skips count only when decoding from the first packet.
    int Kept(const AVFrame& f, int* from) {
        const int n = f.nb_samples;
        std::int64_t start = 0, end = 0;
        if (const AVFrameSideData* side = av_frame_get_side_data(&f, AV_FRAME_DATA_SKIP_SAMPLES);
            side && side->size >= 8) {
            start = AV_RL32(side->data);
            end = AV_RL32(side->data + 4);
        }
        if (start > 0 && honourSkip_) skipLeft_ = start;
        const int skip = static_cast<int>(std::min<std::int64_t>(skipLeft_, n));
        skipLeft_ -= skip;
        *from = skip;
        if (f.flags & AV_FRAME_FLAG_DISCARD) return 0;
        return n - skip - static_cast<int>(std::min<std::int64_t>(end, n - skip));
    }

    // Next packet of our stream into packet_; false at the end of the file or on a read
    // error.
    bool ReadPacket() {
        for (;;) {
            av_packet_unref(packet_.get());
            if (av_read_frame(format_.get(), packet_.get()) < 0) return false;
            if (packet_->stream_index == streamIndex_) return true;
        }
    }

    // The fast scan: packets are read, not decoded; only the stretch before the first
    // checkpoint and after the last are decoded, to count what the decoder trims.
    bool ScanPackets() {
        std::int64_t raw = 0, sinceCheckpoint = 0;
        std::int64_t lastDts = AV_NOPTS_VALUE, lastPos = -1;
        do {
            const AVPacket* p = packet_.get();
            if (p->duration <= 0) return false;
            // A duration that is not a whole number of samples is rounded: decode instead.
            const std::int64_t scaled = p->duration * rate_ * stream_->time_base.num;
            if (scaled % stream_->time_base.den != 0) return false;
            std::int64_t start = 0, end = 0;
            SkipSideData(p, &start, &end);
            // Checkpoints only after every stretch the decoder skips at the start.
            if (start > 0 || (p->flags & AV_PKT_FLAG_DISCARD)) checkpoints_.clear();
            const bool unique =
                p->dts != AV_NOPTS_VALUE && (p->dts != lastDts || p->pos != lastPos);
            if (unique && start == 0 && end == 0 && !(p->flags & AV_PKT_FLAG_DISCARD) && raw > 0 &&
                sinceCheckpoint >= kCheckpointSpacing) {
                checkpoints_.push_back({p->dts, p->pos, raw});
                sinceCheckpoint = 0;
            }
            lastDts = p->dts;
            lastPos = p->pos;
            const std::int64_t samples =
                av_rescale_q(p->duration, stream_->time_base, AVRational{1, rate_});
            raw += samples;
            sinceCheckpoint += samples;
        } while (ReadPacket());
        return SettleCheckpoints();
    }

    // The fastest scan, for MP4 and its kin: the container's own index lists every packet
    // with its time and place, so nothing is read but the head and the tail.
    bool ScanIndex(bool* readOn) {
        if (std::strncmp(format_->iformat->name, "mov", 3) != 0) return false;
        const int count = avformat_index_get_entries_count(stream_);
        if (count < 2) return false;
        const AVRational base = stream_->time_base;
        const AVIndexEntry* first = avformat_index_get_entry(stream_, 0);
        std::int64_t last = AV_NOPTS_VALUE, sinceCheckpoint = 0, previousRaw = 0;
        int sinceDiscard = 0;
        for (int i = 0; i < count; ++i) {
            const AVIndexEntry* e = avformat_index_get_entry(stream_, i);
            if (!e || e->timestamp <= last) return false;  // not a plain list of packets
            last = e->timestamp;
            const std::int64_t ticks = e->timestamp - first->timestamp;
            if ((ticks * rate_ * base.num) % base.den != 0) return false;
            const std::int64_t raw = av_rescale_q(ticks, base, AVRational{1, rate_});
            sinceCheckpoint += raw - previousRaw;
            previousRaw = raw;
            if (e->flags & AVINDEX_DISCARD_FRAME) {
                sinceDiscard = 0;
                continue;
            }
            // Not right after packets the edit list leaves out: the first one kept may
            // carry a skip.
            if (++sinceDiscard > 2 && raw > 0 && sinceCheckpoint >= kCheckpointSpacing) {
                checkpoints_.push_back({e->timestamp, e->pos, raw});
                sinceCheckpoint = 0;
            }
        }
        *readOn = true;
        return SettleCheckpoints();
    }

    // Gives the checkpoints (made from durations) the sample counts a straight read
    // reaches at them, by decoding the head, and finds the exact end by decoding the tail.
    bool SettleCheckpoints() {
        if (checkpoints_.size() < 2) return false;  // a short file: decode it all
        // The head: what a straight read delivers before the first checkpoint.
        if (!Restart()) return false;
        std::int64_t head = 0;
        for (;;) {
            if (!heldPacket_ && !ReadPacket()) return false;
            heldPacket_ = false;
            if (Matches(*packet_, checkpoints_.front(), false)) break;
            if (avcodec_send_packet(codec_.get(), packet_.get()) < 0) continue;
            while (avcodec_receive_frame(codec_.get(), frame_.get()) >= 0) {
                if (frame_->ch_layout.nb_channels != channels_ || frame_->sample_rate != rate_)
                    return false;
                int from = 0;
                head += Kept(*frame_, &from);
                av_frame_unref(frame_.get());
            }
        }
        const std::int64_t shift = head - checkpoints_.front().sample;
        for (Checkpoint& c : checkpoints_) c.sample += shift;
        // The tail: decoded from the last checkpoint to the end.
        if (!SeekToCheckpoint(checkpoints_.back())) return false;
        while (DecodeNext()) {
        }
        if (failed_) return false;
        frames_ = pendingStart_ + static_cast<std::int64_t>(PendingFrames());
        return true;
    }

    // Whether a seek can find this packet again by its time or its byte position: the
    // packets of one Ogg page share the page's position, only the first can be told apart.
    static bool IsUnique(const AVPacket& p, std::int64_t lastDts, std::int64_t lastPos) {
        if (p.dts == AV_NOPTS_VALUE || p.dts == lastDts) return false;
        return p.pos < 0 || p.pos != lastPos;
    }

    static std::int64_t FrameTime(const AVFrame& f) {
        return f.pts != AV_NOPTS_VALUE ? f.pts : f.best_effort_timestamp;
    }

    static bool Matches(const AVPacket& p, const Checkpoint& c, bool byBytes) {
        const bool samePos = p.pos == c.pos;
        return byBytes ? samePos : (p.dts == c.dts && (samePos || p.pos < 0 || c.pos < 0));
    }

    // The slow scan: every packet decoded, counting what comes out.
    bool ScanByDecoding() {
        checkpoints_.clear();
        frameTimes_.clear();
        if (!Restart()) return false;
        std::int64_t total = 0, sinceCheckpoint = kCheckpointSpacing;
        std::int64_t lastDts = AV_NOPTS_VALUE, lastPos = -1;
        int errors = 0;
        bool more = true;
        while (more) {
            more = heldPacket_ || ReadPacket();
            heldPacket_ = false;
            if (more) {
                const AVPacket* p = packet_.get();
                const bool unique = IsUnique(*p, lastDts, lastPos);
                std::int64_t start = 0, end = 0;
                SkipSideData(p, &start, &end);
                if (unique && total > 0 && start == 0 && sinceCheckpoint >= kCheckpointSpacing) {
                    checkpoints_.push_back({p->dts, p->pos, total});
                    sinceCheckpoint = 0;
                }
                lastDts = p->dts;
                lastPos = p->pos;
            }
            if (avcodec_send_packet(codec_.get(), more ? packet_.get() : nullptr) < 0) {
                if (!more) break;
                if (++errors > kMaxErrorsInARow) return false;
                continue;
            }
            for (;;) {
                const int rc = avcodec_receive_frame(codec_.get(), frame_.get());
                if (rc < 0) break;
                if (frame_->ch_layout.nb_channels != channels_ || frame_->sample_rate != rate_) {
                    more = false;  // a stream that changes its format mid-way ends here
                    break;
                }
                errors = 0;
                // Frames carry the time of the packet that completed them; after a seek,
                // the first frame's time says where it belongs.
                const std::int64_t pts = FrameTime(*frame_);
                int from = 0;
                const int kept = Kept(*frame_, &from);
                if (pts != AV_NOPTS_VALUE && kept > 0 &&
                    (frameTimes_.empty() || pts > frameTimes_.back().first))
                    frameTimes_.emplace_back(pts, total);
                total += kept;
                sinceCheckpoint += kept;
                av_frame_unref(frame_.get());
            }
        }
        frames_ = total;
        return true;
    }

    void ClearPending() {
        pending_.clear();
        pendingAt_ = 0;
        discardUntil_ = 0;
        realign_ = false;
        errors_ = 0;
        draining_ = false;
        failed_ = false;
        gap_ = 0;
        placed_ = true;
        misfits_ = 0;
    }

    bool OpenFormat() {
        AVFormatContext* raw = nullptr;
        if (avformat_open_input(&raw, path_.c_str(), nullptr, nullptr) < 0) return false;
        format_.reset(raw);
        if (avformat_find_stream_info(format_.get(), nullptr) < 0) return false;
        streamIndex_ = -1;
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            AVStream* st = format_->streams[i];
            if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && streamIndex_ < 0 &&
                avcodec_find_decoder(st->codecpar->codec_id))
                streamIndex_ = static_cast<int>(i);
            else
                st->discard = AVDISCARD_ALL;  // a video track is never even read
        }
        if (streamIndex_ < 0) return false;
        stream_ = format_->streams[streamIndex_];
        return true;
    }

    // Back to the state right after opening: a fresh decoder (an initial skip is applied
    // again) and the demuxer at the first packet, held in packet_. Where seeking to the
    // first packet does not find it again, the file is opened anew.
    bool Restart() {
        heldPacket_ = false;
        if (av_seek_frame(format_.get(), streamIndex_, first_.dts, AVSEEK_FLAG_BACKWARD) >= 0) {
            while (ReadPacket()) {
                if (Matches(*packet_, first_, false)) {
                    heldPacket_ = true;
                    break;
                }
                if (packet_->dts != AV_NOPTS_VALUE && packet_->dts > first_.dts) break;
            }
        }
        if (!heldPacket_) {
            if (!OpenFormat() || !ReadPacket()) return false;
            heldPacket_ = true;
        }
        restartPts_ = packet_->pts;
        return OpenCodec();
    }

    bool Rewind() {
        ClearPending();
        pendingStart_ = 0;
        if (!Restart()) {
            failed_ = true;
            return false;
        }
        return true;
    }

    // Puts the demuxer right before the checkpoint's packet, by time and failing that by
    // byte position, and reads it; the decoder starts afresh there.
    bool SeekToCheckpoint(const Checkpoint& c) {
        ClearPending();
        avcodec_flush_buffers(codec_.get());
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool byBytes = attempt == 1;
            if (byBytes && (c.pos < 0 || (format_->iformat->flags & AVFMT_NO_BYTE_SEEK))) break;
            const int rc =
                byBytes ? av_seek_frame(format_.get(), streamIndex_, c.pos,
                                        AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD)
                        : av_seek_frame(format_.get(), streamIndex_, c.dts, AVSEEK_FLAG_BACKWARD);
            if (rc < 0) continue;
            while (ReadPacket()) {
                const AVPacket* p = packet_.get();
                if (Matches(*p, c, byBytes)) {
                    pendingStart_ = c.sample;
                    honourSkip_ = false;
                    skipLeft_ = 0;
                    heldPacket_ = true;  // decoded first by DecodeNext
                    realign_ = !frameTimes_.empty();
                    return true;
                }
                const bool beyond =
                    byBytes ? (p->pos > c.pos) : (p->dts != AV_NOPTS_VALUE && p->dts > c.dts);
                if (beyond) break;
            }
        }
        av_packet_unref(packet_.get());
        heldPacket_ = false;
        return false;
    }

    // Decodes the next frame into pending_ (replacing what was there). False at the end.
    bool DecodeNext() {
        for (;;) {
            const int rc = avcodec_receive_frame(codec_.get(), frame_.get());
            if (rc >= 0) {
                if (frame_->ch_layout.nb_channels != channels_ || frame_->sample_rate != rate_) {
                    av_frame_unref(frame_.get());
                    failed_ = true;  // a stream that changes its format mid-way ends here
                    return false;
                }
                pendingStart_ += static_cast<std::int64_t>(PendingFrames());
                gap_ = 0;
                const std::int64_t pts = FrameTime(*frame_);
                if (realign_) {
                    realign_ = false;
                    auto at =
                        std::lower_bound(frameTimes_.begin(), frameTimes_.end(),
                                         std::pair<std::int64_t, std::int64_t>(pts, INT64_MIN));
                    if (pts != AV_NOPTS_VALUE && at != frameTimes_.end() && at->first == pts)
                        pendingStart_ = at->second;
                }
                const std::size_t ch = static_cast<std::size_t>(channels_);
                int from = 0;
                int kept = Kept(*frame_, &from);
                lastPts_ = pts;
                lastFrom_ = from;
                lastSamples_ = frame_->nb_samples;
                if (grid_.on) Place(pts, &from, &kept);
                pending_.resize(static_cast<std::size_t>(frame_->nb_samples) * ch);
                pendingAt_ = 0;
                const bool converted = ConvertFrame(frame_.get(), channels_, pending_.data());
                av_frame_unref(frame_.get());
                if (!converted) {
                    failed_ = true;
                    return false;
                }
                if (from > 0)
                    pending_.erase(pending_.begin(),
                                   pending_.begin() + static_cast<std::ptrdiff_t>(from * ch));
                pending_.resize(static_cast<std::size_t>(std::max(kept, 0)) * ch);
                errors_ = 0;
                if (kept <= 0) continue;
                return true;
            }
            if (rc == AVERROR_EOF || draining_) return false;
            // The decoder wants input.
            const bool more = heldPacket_ || ReadPacket();
            heldPacket_ = false;
            if (!more) {
                draining_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            if (avcodec_send_packet(codec_.get(), packet_.get()) < 0 &&
                ++errors_ > kMaxErrorsInARow) {
                failed_ = true;
                return false;
            }
        }
    }

    // Where a frame starting at `pts` begins on the grid; false when the time is off it.
    bool GridSample(std::int64_t pts, std::int64_t* sample) const {
        if (!grid_.on || pts == AV_NOPTS_VALUE) return false;
        const AVRational base = stream_->time_base;
        const double frames = static_cast<double>(pts - grid_.pts) * base.num * rate_ /
                              (static_cast<double>(base.den) * static_cast<double>(grid_.step));
        const double whole = std::round(frames);
        if (!(std::abs(frames - whole) <= 0.25) || std::abs(whole) > 1e12) return false;
        *sample = grid_.sample + static_cast<std::int64_t>(whole) * grid_.step;
        return true;
    }

    // Puts the frame just decoded (at `pts`, its kept samples from `*from` on) at the place
    // its time says. The packet the decoder (re)started on is not placed by time: from the
    // start it follows on, after a seek its frames may lack what an earlier packet held.
    // Before the first placed frame after a seek, frames are dropped. A frame that overlaps
    // what was delivered loses the overlap; one that leaves a hole gets silence before it.
    void Place(std::int64_t pts, int* from, int* kept) {
        const bool fresh =
            restartPts_ != AV_NOPTS_VALUE && pts != AV_NOPTS_VALUE && pts <= restartPts_;
        std::int64_t start = 0;
        if (fresh || !GridSample(pts, &start)) {
            if (!placed_) *kept = 0;
            return;
        }
        const std::int64_t at = start + *from;
        if (!placed_) {
            pendingStart_ = at;
            placed_ = true;
        } else if (at < pendingStart_) {
            const int cut = static_cast<int>(std::min<std::int64_t>(pendingStart_ - at, *kept));
            *from += cut;
            *kept -= cut;
            ++misfits_;
        } else if (at > pendingStart_) {
            ++misfits_;
            if (at + *kept <= frames_) gap_ = static_cast<std::size_t>(at - pendingStart_);
        }
    }

    // WMA v1/v2 only: their decoder delivers whole frames of one length. Decodes the head
    // and checks that every frame's time names its place on one grid of that length.
    bool LearnGrid() {
        const AVCodecID id = stream_->codecpar->codec_id;
        if (id != AV_CODEC_ID_WMAV1 && id != AV_CODEC_ID_WMAV2) return false;
        if (!Rewind()) return false;
        const std::int64_t firstPts = restartPts_;
        if (firstPts == AV_NOPTS_VALUE) return false;
        struct Seen {
            std::int64_t pts, sample;
        };
        std::vector<Seen> seen;
        std::int64_t step = 0;
        while (seen.size() < kGridFrames && DecodeNext()) {
            // Only whole frames, past the first packet and the start's trim.
            if (lastFrom_ != 0 || lastPts_ == AV_NOPTS_VALUE || lastPts_ <= firstPts ||
                PendingFrames() != static_cast<std::size_t>(lastSamples_))
                continue;
            seen.push_back({lastPts_, pendingStart_});
            step = std::gcd(step, static_cast<std::int64_t>(lastSamples_));
        }
        // A frame shorter than 4 ms would not be told apart by millisecond times.
        if (failed_ || seen.size() < kGridFrames || step * 250 < rate_) return false;
        grid_ = {true, step, seen.front().pts, seen.front().sample};
        for (const Seen& s : seen) {
            std::int64_t sample = 0;
            if (!GridSample(s.pts, &sample) || sample != s.sample) {
                grid_ = Grid{};
                return false;
            }
        }
        return true;
    }

    // The exact end: the last seconds decoded from a seek by time. A tail that does not
    // fit its grid (a frame overlapping or leaving a hole) leaves it to the full scan.
    bool FindEndByTime() {
        std::int64_t end = AV_NOPTS_VALUE;
        if (stream_->duration > 0)
            end = stream_->duration +
                  (stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0);
        else if (format_->duration > 0)
            end = av_rescale_q(format_->duration, AV_TIME_BASE_Q, stream_->time_base);
        if (end == AV_NOPTS_VALUE) return false;
        frames_ = INT64_MAX;
        const std::int64_t endSample =
            grid_.sample + av_rescale_q(end - grid_.pts, stream_->time_base, AVRational{1, rate_});
        if (!SeekByTime(endSample - kTailSeconds * static_cast<std::int64_t>(rate_)) && !Rewind())
            return false;
        while (DecodeNext()) {
        }
        if (failed_ || !placed_ || misfits_ > 0) return false;
        frames_ = pendingStart_ + static_cast<std::int64_t>(PendingFrames());
        return frames_ > 0;
    }

    // Puts the demuxer on a packet far enough before `frame` for the decoder to settle and
    // decodes up to the first frame placed by time, which must not start after `frame` (a
    // packet may carry many frames). False when no such packet is found (the caller
    // rewinds instead).
    bool SeekByTime(std::int64_t frame) {
        const std::int64_t settle = kMinPreroll + grid_.step;
        std::int64_t back = settle + grid_.step;
        for (int attempt = 0; attempt < 4; ++attempt, back *= 4) {
            const std::int64_t sample = frame - back;
            if (sample <= grid_.sample + grid_.step) break;  // near the start: rewind
            ClearPending();
            avcodec_flush_buffers(codec_.get());
            heldPacket_ = false;
            const std::int64_t time =
                grid_.pts +
                av_rescale_q(sample - grid_.sample, AVRational{1, rate_}, stream_->time_base);
            if (av_seek_frame(format_.get(), streamIndex_, time, AVSEEK_FLAG_BACKWARD) < 0 ||
                !ReadPacket())
                break;
            if (packet_->pts == AV_NOPTS_VALUE) continue;
            const std::int64_t landed =
                grid_.sample +
                av_rescale_q(packet_->pts - grid_.pts, stream_->time_base, AVRational{1, rate_});
            if (landed > frame - settle) continue;  // not far enough back
            heldPacket_ = true;
            restartPts_ = packet_->pts;
            honourSkip_ = false;
            skipLeft_ = 0;
            pendingStart_ = landed;  // until the first frame placed by time
            placed_ = false;
            if (DecodeNext() && pendingStart_ <= frame) return true;
        }
        av_packet_unref(packet_.get());
        heldPacket_ = false;
        return false;
    }

    std::string path_;
    FormatPtr format_;
    CodecPtr codec_;
    PacketPtr packet_;
    FramePtr frame_;
    AVStream* stream_ = nullptr;
    int streamIndex_ = -1;
    int rate_ = 0, channels_ = 0;
    std::int64_t frames_ = 0;
    std::vector<Checkpoint> checkpoints_;
    Checkpoint first_{};  // the first packet of the stream
    // Decoding scan only: each frame's time and its first sample, for codecs whose frames
    // come out a packet or two after the packet that started them.
    std::vector<std::pair<std::int64_t, std::int64_t>> frameTimes_;
    bool realign_ = false;
    // WMA: frame starts at `pts` + k frames of `step` samples are sample `sample` + k·step.
    struct Grid {
        bool on = false;
        std::int64_t step = 0, pts = 0, sample = 0;
    };
    Grid grid_;
    std::int64_t restartPts_ = AV_NOPTS_VALUE;  // the packet the decoder last started on
    bool placed_ = true;   // false after a seek by time until a frame is placed
    int misfits_ = 0;      // frames that overlapped or left a hole since the last seek
    std::size_t gap_ = 0;  // silent frames before pending_'s samples
    // The last frame decoded: its time, samples trimmed at its start, its length.
    std::int64_t lastPts_ = AV_NOPTS_VALUE;
    int lastFrom_ = 0, lastSamples_ = 0;
    std::int64_t skipLeft_ = 0;  // of a start skip longer than the frame that carried it
    bool honourSkip_ = true;     // decoding from the first packet, not after a seek

    // Decoded samples of the current frame; the first is sample `pendingStart_` of the
    // straight-through read.
    std::vector<float> pending_;
    std::size_t pendingAt_ = 0;
    std::int64_t pendingStart_ = 0;
    std::int64_t discardUntil_ = 0;
    bool heldPacket_ = false;  // packet_ holds a packet read but not yet sent
    bool draining_ = false;
    bool failed_ = false;
    int errors_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> OpenFfmpegDecoder(const std::string& path) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    auto decoder = std::make_unique<FfmpegDecoder>();
    if (!decoder->Open(path)) return nullptr;
    return decoder;
}

}  // namespace audio
