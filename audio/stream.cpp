// The stream pipeline: reading the source exactly to the frame, resampling to the output
// rate, effects, mixing in; and the decoding streams' delivery.
#include "audio/stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {

std::size_t Stream::ReadSource(float* out, std::size_t count) {
    const std::int64_t left = frames - readFrame;
    if (left <= 0) return 0;
    count =
        static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
    std::size_t got = 0;
    if (sourceChannels == channels) {
        while (got < count) {
            const std::size_t n = decoder->Read(out + got * channels, count - got);
            if (n == 0) break;
            got += n;
        }
    } else {
        // More than two channels: even ones to the left, odd ones to the right.
        const std::size_t chunk = 1024;
        mixdownScratch.resize(chunk * static_cast<std::size_t>(sourceChannels));
        while (got < count) {
            const std::size_t n =
                decoder->Read(mixdownScratch.data(), std::min(chunk, count - got));
            if (n == 0) break;
            const float leftScale = 1.0f / static_cast<float>((sourceChannels + 1) / 2);
            const float rightScale = 1.0f / static_cast<float>(sourceChannels / 2);
            for (std::size_t i = 0; i < n; ++i) {
                const float* src = mixdownScratch.data() + i * sourceChannels;
                float l = 0, r = 0;
                for (int c = 0; c < sourceChannels; c += 2) l += src[c];
                for (int c = 1; c < sourceChannels; c += 2) r += src[c];
                out[(got + i) * 2] = l * leftScale;
                out[(got + i) * 2 + 1] = r * rightScale;
            }
            got += n;
        }
    }
    if (got < count) {
        std::fill(out + got * channels, out + count * channels, 0.0f);
        got = count;
    }
    readFrame += static_cast<std::int64_t>(got);
    return got;
}

bool Stream::SeekSource(std::int64_t frame) {
    if (frame < 0 || frame > frames) return false;
    if (frame != readFrame && !decoder->Seek(frame)) return false;
    readFrame = frame;
    return true;
}

std::size_t Stream::ResamplerInput(void* state, soxr_cbuf_t* data, std::size_t requested) {
    auto* self = static_cast<Stream*>(state);
    const std::size_t n = std::min(requested, kResampleChunk);
    const std::size_t got = self->ReadSource(self->resampleInput.data(), n);
    *data = self->resampleInput.data();
    return got;
}

std::int64_t Stream::PlaybackFrame() const {
    if (ended) return frames;
    const std::int64_t advanced =
        outputRate > 0 && outputRate != rate
            ? static_cast<std::int64_t>(static_cast<long double>(renderedFrames) * rate /
                                        outputRate)
            : renderedFrames;
    return std::min(frames, baseFrame + advanced);
}

bool Stream::MoveTo(std::int64_t frame) {
    if (!SeekSource(frame)) return false;
    baseFrame = frame;
    renderedFrames = 0;
    ended = frame >= frames;
    if (resampler) {
        // A cleared soxr forgets its input function: give it again.
        soxr_clear(resampler.get());
        soxr_set_input_fn(resampler.get(), &Stream::ResamplerInput, this, kResampleChunk);
    }
    for (Effect& e : effects) e.band.ResetState();
    return true;
}

bool Stream::PrepareResampler(int outRate) {
    if (outRate == rate) {
        resampler.reset();
        outputRate = outRate;
        return true;
    }
    if (resampler && outputRate == outRate) return true;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_t s = soxr_create(rate, outRate, static_cast<unsigned>(channels), &error, &io, &quality,
                           &runtime);
    if (!s || error) {
        if (s) soxr_delete(s);
        return false;
    }
    resampler.reset(s);
    resampleInput.resize(kResampleChunk * static_cast<std::size_t>(channels));
    soxr_set_input_fn(s, &Stream::ResamplerInput, this, kResampleChunk);
    // Rendered frames counted at another rate mean nothing at this one.
    const std::int64_t frame = PlaybackFrame();
    outputRate = outRate;
    return MoveTo(frame);
}

void Stream::Render(float* mix, std::size_t count, int outRate) {
    if (!alive || activity != ACTIVE_PLAYING) return;
    if (ended) {
        activity = ACTIVE_STOPPED;
        return;
    }
    if (outputRate != outRate && !PrepareResampler(outRate)) {
        activity = ACTIVE_STOPPED;
        return;
    }
    block.resize(kMaxBlock * 2);
    std::size_t got = 0;
    if (!resampler) {
        got = ReadSource(block.data(), count);
    } else {
        while (got < count) {
            const std::size_t n =
                soxr_output(resampler.get(), block.data() + got * channels, count - got);
            if (n == 0) break;
            got += n;
        }
    }
    if (got > 0) {
        for (Effect& e : effects) e.band.Process(block.data(), got, channels, outRate);
        if (channels == 1) {
            for (std::size_t i = 0; i < got; ++i) {
                mix[2 * i] += block[i];
                mix[2 * i + 1] += block[i];
            }
        } else {
            for (std::size_t i = 0; i < got * 2; ++i) mix[i] += block[i];
        }
    }
    renderedFrames += static_cast<std::int64_t>(got);
    const bool sourceDone = readFrame >= frames;
    if (got < count || (!resampler && sourceDone)) {
        ended = true;
        activity = ACTIVE_STOPPED;
    }
}

std::size_t Stream::ReadDecoded(unsigned char* out, std::size_t samples) {
    const bool asFloat = floatSamples;
    auto put = [&](std::size_t index, float value) {
        if (asFloat) {
            std::memcpy(out + index * 4, &value, 4);
        } else {
            const float scaled = std::clamp(value * 32768.0f, -32768.0f, 32767.0f);
            const auto v = static_cast<std::int16_t>(std::lrintf(scaled));
            std::memcpy(out + index * 2, &v, 2);
        }
    };
    std::size_t done = 0;
    while (pendingCount > 0 && done < samples) {
        put(done++, pendingFrame[pendingOffset++]);
        if (pendingOffset == pendingCount) pendingCount = pendingOffset = 0;
    }
    const auto ch = static_cast<std::size_t>(channels);
    const std::size_t wholeFrames = (samples - done) / ch;
    if (wholeFrames > 0) {
        auto* dst = reinterpret_cast<float*>(out + done * 4);
        if (asFloat && reinterpret_cast<std::uintptr_t>(dst) % alignof(float) == 0) {
            // Straight into the caller's buffer: no copy on the envelope's path.
            done += ReadSource(dst, wholeFrames) * ch;
        } else {
            block.resize(kMaxBlock * 2);
            std::size_t left = wholeFrames;
            while (left > 0) {
                const std::size_t n = ReadSource(block.data(), std::min(left, kMaxBlock));
                if (n == 0) break;
                for (std::size_t i = 0; i < n * ch; ++i) put(done + i, block[i]);
                done += n * ch;
                left -= n;
            }
        }
    }
    if (done < samples && readFrame < frames && samples - done < ch) {
        // The caller asked for part of a frame: keep the rest for the next read.
        ReadSource(pendingFrame, 1);
        pendingCount = static_cast<int>(ch);
        pendingOffset = 0;
        while (done < samples) put(done++, pendingFrame[pendingOffset++]);
    }
    samplesDelivered += static_cast<std::int64_t>(done);
    return done;
}

}  // namespace audio
