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

std::size_t Stream::ReadResampled(float* out, std::size_t count) {
    if (!resampler) return ReadSource(out, count);
    std::size_t got = 0;
    while (got < count) {
        const std::size_t n = soxr_output(resampler.get(), out + got * channels, count - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}

std::size_t Stream::ResampledInput(void* state, float* out, std::size_t frames) {
    return static_cast<Stream*>(state)->ReadResampled(out, frames);
}

std::size_t Stream::ReadVoiced(float* out, std::size_t count) {
    if (!voice.IsOff() && !voiceChain) {
        voiceChain = std::make_unique<VoiceChain>(outputRate, channels);
        voiceChain->Set(voice);
    }
    if (!voiceChain || voiceChain->Bypassed()) return ReadResampled(out, count);
    return voiceChain->Read(out, count, &Stream::ResampledInput, this);
}

std::size_t Stream::TempoInput(void* state, float* out, std::size_t frames) {
    return static_cast<Stream*>(state)->ReadVoiced(out, frames);
}

void Stream::SetVoice(const VoiceSettings& newVoice) {
    voice = newVoice;
    // Made here rather than on the render thread when the output rate is already known.
    if (!voice.IsOff() && !voiceChain && outputRate > 0)
        voiceChain = std::make_unique<VoiceChain>(outputRate, channels);
    if (voiceChain) voiceChain->Set(voice);
}

void Stream::SetTempo(double newTempo) {
    tempo = newTempo;
    // Made here rather than on the render thread when the output rate is already known.
    if (tempo != 1.0 && !tempoStage && outputRate > 0)
        tempoStage = std::make_unique<TempoStage>(outputRate, channels);
}

std::int64_t Stream::PlaybackFrame(std::int64_t heardClock) const {
    if (ended) return frames;
    // Output-rate frames of the recording behind what was rendered: one for one while
    // the stretcher is out of the path, `tempo` for one through it.
    std::int64_t rendered = renderedFrames + static_cast<std::int64_t>(std::floor(stretchedInput));
    if (heardClock != kAllHeard) {
        // What is still on its way to the ear has not been heard yet.
        const std::int64_t unheard =
            std::clamp<std::int64_t>(lastMixEnd - heardClock, 0, outputFrames);
        const double scale = stretching ? tempo : 1.0;
        rendered -= std::min(
            rendered, static_cast<std::int64_t>(std::lround(static_cast<double>(unheard) * scale)));
    }
    const std::int64_t advanced =
        outputRate > 0 && outputRate != rate
            ? static_cast<std::int64_t>(static_cast<long double>(rendered) * rate / outputRate)
            : rendered;
    return std::min(frames, baseFrame + advanced);
}

bool Stream::MoveTo(std::int64_t frame) {
    if (!SeekSource(frame)) return false;
    baseFrame = frame;
    renderedFrames = 0;
    outputFrames = 0;
    ended = frame >= frames;
    if (resampler) {
        // A cleared soxr forgets its input function: give it again.
        soxr_clear(resampler.get());
        soxr_set_input_fn(resampler.get(), &Stream::ResamplerInput, this, kResampleChunk);
    }
    if (voiceChain) voiceChain->Reset();
    for (Effect& e : effects) e.band.ResetState();
    fading.clear();
    // A move starts the stretcher afresh, or leaves it out at normal speed.
    stretching = false;
    stretchedInput = 0.0;
    if (tempoStage) tempoStage->Clear();
    fadeCount = fadeAt = 0;
    return true;
}

void Stream::RestartStretch() {
    // The stretcher would first finish the sequences it holds at the old tempo (two of
    // them, some 60 ms). It starts afresh instead, at the frame of the recording now
    // heard, and the old tempo's next frames fade out under its first ones.
    const std::int64_t frame = PlaybackFrame();
    const auto ch = static_cast<std::size_t>(channels);
    fadeTail.resize(kTempoFadeFrames * ch);
    fadeCount = tempoStage->Process(fadeTail.data(), kTempoFadeFrames, &Stream::TempoInput, this);
    fadeAt = 0;
    if (!SeekSource(frame)) {
        // The decoder cannot go back: the old stretcher goes on and takes the new tempo
        // with its next sequence.
        fadeCount = 0;
        tempoStage->SetTempo(tempo);
        return;
    }
    baseFrame = frame;
    renderedFrames = 0;
    outputFrames = 0;
    stretchedInput = 0.0;
    if (resampler) {
        soxr_clear(resampler.get());
        soxr_set_input_fn(resampler.get(), &Stream::ResamplerInput, this, kResampleChunk);
    }
    tempoStage->Clear();
    if (voiceChain) voiceChain->Reset();
    // Back at normal speed the plain path takes over.
    stretching = tempo != 1.0;
}

bool Stream::PrepareResampler(int outRate) {
    if (tempoStage) {
        // A stretcher works at one rate; the next block makes one for the new rate.
        renderedFrames += static_cast<std::int64_t>(std::floor(stretchedInput));
        stretchedInput = 0.0;
        stretching = false;
        tempoStage.reset();
    }
    // The voice stages too work at one rate; remade at the new one when next needed.
    // Frames it read ahead are read again from where the ear is.
    const bool readAhead = voiceChain && voiceChain->Held() > 0;
    const std::int64_t heard = PlaybackFrame();
    voiceChain.reset();
    if (outRate == rate) {
        resampler.reset();
        outputRate = outRate;
        return !readAhead || MoveTo(heard);
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

bool Stream::Render(float* mix, std::size_t count, int outRate, std::int64_t mixEnd) {
    if (!alive || activity != ACTIVE_PLAYING) return false;
    if (ended) {
        activity = ACTIVE_STOPPED;
        return false;
    }
    if (outputRate != outRate && !PrepareResampler(outRate)) {
        activity = ACTIVE_STOPPED;
        return false;
    }
    block.resize(kMaxBlock * 2);
    if (stretching && tempo != tempoStage->Tempo()) RestartStretch();
    if (!stretching && tempo != 1.0) {
        if (!tempoStage) tempoStage = std::make_unique<TempoStage>(outRate, channels);
        // It takes over at the frame the plain path reached, so nothing is lost or repeated.
        tempoStage->Clear();
        stretching = true;
    }
    std::size_t got = 0;
    if (stretching) {
        tempoStage->SetTempo(tempo);
        got = tempoStage->Process(block.data(), count, &Stream::TempoInput, this);
        stretchedInput = tempoStage->NominalInput();
    } else {
        got = ReadVoiced(block.data(), count);
        renderedFrames += static_cast<std::int64_t>(got);
    }
    if (fadeAt < fadeCount) {
        // What the old tempo would have played fades out under the new one.
        const std::size_t n = std::min(got, fadeCount - fadeAt);
        const auto ch = static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < n; ++i) {
            const float in = static_cast<float>(fadeAt + i + 1) / static_cast<float>(fadeCount + 1);
            for (std::size_t c = 0; c < ch; ++c) {
                float& v = block[i * ch + c];
                v = v * in + fadeTail[(fadeAt + i) * ch + c] * (1.0f - in);
            }
        }
        fadeAt += n;
    }
    if (got > 0) {
        for (Effect& e : effects) e.band.Process(block.data(), got, channels, outRate);
        for (PeakingBand& band : fading) band.Process(block.data(), got, channels, outRate);
        std::erase_if(fading, [](const PeakingBand& band) { return band.IsFlat(); });
        if (channels == 1) {
            for (std::size_t i = 0; i < got; ++i) {
                mix[2 * i] += block[i];
                mix[2 * i + 1] += block[i];
            }
        } else {
            for (std::size_t i = 0; i < got * 2; ++i) mix[i] += block[i];
        }
    }
    outputFrames += static_cast<std::int64_t>(got);
    lastMixEnd = mixEnd;
    const bool sourceDone = readFrame >= frames;
    // Through the stretcher the end is when it has nothing more to give.
    const bool voiceHolds = voiceChain && voiceChain->Held() > 0;
    if (got < count || (!stretching && !resampler && sourceDone && !voiceHolds)) {
        ended = true;
        activity = ACTIVE_STOPPED;
    }
    return got > 0;
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
