#include "audio/decoder.h"

#include <cstdio>
#include <cstring>

namespace audio {

ContainerKind SniffContainer(const unsigned char* head, std::size_t size) {
    auto starts = [&](const char* magic, std::size_t at = 0) {
        const std::size_t n = std::strlen(magic);
        return size >= at + n && std::memcmp(head + at, magic, n) == 0;
    };
    if ((starts("RIFF") || starts("RIFX") || starts("RF64") || starts("BW64")) && starts("WAVE", 8))
        return ContainerKind::Wave;
    if (starts("OggS")) return ContainerKind::Ogg;
    if (starts("ID3")) return ContainerKind::Mpeg;
    // An MPEG audio frame header: 11 sync bits, a valid layer and bitrate index.
    if (size >= 3 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 && (head[1] & 0x06) != 0 &&
        (head[2] & 0xF0) != 0xF0)
        return ContainerKind::Mpeg;
    if (starts("FORM") || starts("fLaC") || starts(".snd") || starts("caff") || starts("riff"))
        return ContainerKind::Other;
    return ContainerKind::Unknown;
}

std::unique_ptr<Decoder> OpenDecoder(const std::string& path) {
    unsigned char head[16] = {};
    std::size_t got = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    } else {
        return nullptr;
    }
    if (got == 0) return nullptr;
    switch (SniffContainer(head, got)) {
        case ContainerKind::Wave:
        case ContainerKind::Other:
            return OpenSndfileDecoder(path);
        case ContainerKind::Ogg:
            // Only Vorbis: libsndfile's Ogg seeking is wrong in the last page.
            return OpenVorbisDecoder(path);
        case ContainerKind::Mpeg:
            return OpenMpg123Decoder(path);
        case ContainerKind::Unknown:
            break;
    }
    // No known header: perhaps an MP3 with junk before its first frame. libsndfile is not
    // asked, as its own MPEG probing prints to stderr and its MP3 lengths are wrong.
    return OpenMpg123Decoder(path);
}

}  // namespace audio
