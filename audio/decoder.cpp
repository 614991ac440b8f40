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
    // ISO media (MP4, M4A, 3GP, QuickTime), Matroska/WebM, ASF (WMA, WMV), AMR, ADTS AAC.
    if (starts("ftyp", 4) || starts("moov", 4) || starts("mdat", 4) || starts("wide", 4) ||
        starts("free", 4) || starts("\x1A\x45\xDF\xA3") ||
        starts("\x30\x26\xB2\x75\x8E\x66\xCF\x11") || starts("#!AMR") || starts("ADIF") ||
        (size >= 2 && head[0] == 0xFF && (head[1] & 0xF6) == 0xF0))
        return ContainerKind::Media;
    return ContainerKind::Unknown;
}

std::unique_ptr<Decoder> OpenDecoder(const std::string& path, bool mono) {
    unsigned char head[16] = {};  // enough for the longest magic and its offset
    std::size_t got = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    } else {
        return nullptr;
    }
    if (got == 0) return nullptr;
    std::unique_ptr<Decoder> decoder;
    switch (SniffContainer(head, got)) {
        case ContainerKind::Wave:
        case ContainerKind::Other:
            decoder = OpenSndfileDecoder(path);
            break;
        case ContainerKind::Ogg:
            // Vorbis through vorbisfile (libsndfile's Ogg seeking is wrong in the last
            // page); Opus, FLAC and Speex in Ogg go on to FFmpeg.
            decoder = OpenVorbisDecoder(path);
            break;
        case ContainerKind::Mpeg:
        case ContainerKind::Unknown:
            // No known header: perhaps an MP3 with junk before its first frame. libsndfile
            // is not asked, as its own MPEG probing prints to stderr and its MP3 lengths are
            // wrong. mpg123 refuses a file in which it finds no real frame.
            decoder = OpenMpg123Decoder(path, mono);
            break;
        case ContainerKind::Media:
            break;
    }
    if (decoder) return decoder;
    return OpenFfmpegDecoder(path);
}

}  // namespace audio
