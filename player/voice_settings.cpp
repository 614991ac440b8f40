#include "player/voice_settings.h"

#include <array>

namespace {

using audio::VoiceChannel, audio::VoiceNoise;

constexpr std::array<const char*, 4> kChannelValues = {"", "left", "right", "mix"};
constexpr std::array<const char*, 4> kNoiseValues = {"", "light", "medium", "strong"};

template <typename Enum>
Enum Parse(const QString& text, const std::array<const char*, 4>& values) {
    for (std::size_t i = 1; i < values.size(); ++i)
        if (text == QLatin1String(values[i])) return static_cast<Enum>(i);
    return static_cast<Enum>(0);
}

}  // namespace

QString VoiceChannelValue(VoiceChannel channel) {
    return QString::fromLatin1(kChannelValues[static_cast<std::size_t>(channel) % 4]);
}

QString VoiceNoiseValue(VoiceNoise noise) {
    return QString::fromLatin1(kNoiseValues[static_cast<std::size_t>(noise) % 4]);
}

QString VoiceLevellingValue(bool levelling) {
    return levelling ? QStringLiteral("on") : QString();
}

VoiceChannel ParseVoiceChannel(const QString& text) {
    return Parse<VoiceChannel>(text, kChannelValues);
}

VoiceNoise ParseVoiceNoise(const QString& text) {
    return Parse<VoiceNoise>(text, kNoiseValues);
}

bool ParseVoiceLevelling(const QString& text) {
    return text == QLatin1String("on");
}

QString VoiceChannelCaption(VoiceChannel channel) {
    switch (channel) {
        case VoiceChannel::Left:
            return QStringLiteral("Только левый канал");
        case VoiceChannel::Right:
            return QStringLiteral("Только правый канал");
        case VoiceChannel::Mix:
            return QStringLiteral("Смешать каналы");
        case VoiceChannel::Both:
            break;
    }
    return QStringLiteral("Оба канала");
}

QString VoiceNoiseCaption(VoiceNoise noise) {
    switch (noise) {
        case VoiceNoise::Light:
            return QStringLiteral("Слабое");
        case VoiceNoise::Medium:
            return QStringLiteral("Среднее");
        case VoiceNoise::Strong:
            return QStringLiteral("Сильное");
        case VoiceNoise::Off:
            break;
    }
    return QStringLiteral("Выключено");
}

VoiceNoise ToggledNoise(VoiceNoise now, VoiceNoise lastOn) {
    if (now != VoiceNoise::Off) return VoiceNoise::Off;
    return lastOn == VoiceNoise::Off ? VoiceNoise::Medium : lastOn;
}
