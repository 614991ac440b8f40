// The sound engine on arbitrary bytes saved as .wav, .ogg, .mp3, .m4a, .webm and .wma: opening, a
// full decode through a decoding stream, and playback rendered through the manual output with a
// seek. A decoding stream delivers exactly the length it reports.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audio.h"

namespace {

std::string TempPath(const char* extension) {
    static const std::string base = [] {
        char dir[] = "/tmp/nuv_fuzz_audio_XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        return std::string(dir);
    }();
    return base + "/input" + extension;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool opened = audio::OpenManualOutput(44100);
    if (!opened) std::abort();
    if (size > 256 * 1024) return 0;

    static const char* const kExtensions[] = {".wav", ".ogg", ".mp3", ".m4a", ".webm", ".wma"};
    const std::string path = TempPath(kExtensions[size % 6]);
    if (!WriteFile(path, data, size)) return 0;

    // Decoding stream: read everything, compare with the length it promised.
    if (audio::HSTREAM dec = audio::OpenFileStream(
            false, path, 0, 0,
            audio::STREAM_DECODE | audio::STREAM_PRESCAN | audio::SAMPLE_FLOAT)) {
        const std::uint64_t length = audio::StreamLength(dec, audio::POS_BYTE);
        audio::StreamInfoRecord info;
        if (!audio::StreamInfo(dec, &info) || info.freq == 0 || info.chans == 0) std::abort();
        std::vector<float> buffer(4096);
        std::uint64_t total = 0;
        for (;;) {
            const std::uint32_t got = audio::ReadDecodedData(
                dec, buffer.data(),
                static_cast<std::uint32_t>(buffer.size() * sizeof(float)) | audio::DATA_FLOAT);
            if (got == 0 || got == audio::BAD_READ) break;
            total += got;
            if (total > (std::uint64_t{1} << 31)) std::abort();  // a decode that never ends
        }
        if (total != length) std::abort();
        audio::FreeStream(dec);
    }

    // Playback: render a little, seek into the middle, render to the end of a short stretch.
    if (audio::HSTREAM play = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN)) {
        const std::uint64_t length = audio::StreamLength(play, audio::POS_BYTE);
        audio::HFX fx = audio::AddStreamEffect(play, audio::FX_PARAMEQ, 1);
        const audio::ParamEqParams eq{1000.0f, 10.0f, 15.0f};
        audio::SetEffectParameters(fx, &eq);
        audio::PlayStream(play, false);
        audio::AdvanceManualOutput(2048);
        audio::SeekStream(play, length / 2, audio::POS_BYTE);
        audio::AdvanceManualOutput(4096);
        if (audio::StreamPosition(play, audio::POS_BYTE) > length) std::abort();
        audio::FreeStream(play);
    }
    unlink(path.c_str());
    return 0;
}
