// Timestamps in the transcript: "[чч:мм:сс]" written from the player's position, and the
// hand-typed forms read back so that the player can be brought to that moment again.
// Recognised: "[h:mm:ss]" / "[hh:mm:ss]", "[m:ss]" / "[mm:ss]", each with an optional
// fraction of one to three digits ("[00:02:03.5]"), and the same between two "#"
// ("#00:02:03.50#"). Minutes and seconds below 60; a timestamp never spans a line break.
// A style chooses how new timestamps are written and a tape offset: a recording that starts
// at tape time 01:00:00 gets "[01:00:05]" five seconds in, and reading takes the offset off.
// Pure functions; any thread.
#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <vector>

// "[hh:mm:ss]" of whole seconds (truncated, never rounded up past the position); hours always
// shown, with more than two digits past 99 hours. Negative positions count as 0.
QString FormatTimestamp(double seconds);

// How new timestamps are written.
enum class TimestampFormat {
    Seconds = 0,  // "[чч:мм:сс]"
    Tenths,       // "[чч:мм:сс.д]"
    Hundredths,   // "#чч:мм:сс.дд#"
};
inline constexpr int kTimestampFormatCount = 3;

struct TimestampStyle {
    TimestampFormat format = TimestampFormat::Seconds;
    double offset = 0.0;  // tape time of the recording's start, whole seconds or more
    bool operator==(const TimestampStyle&) const = default;
};

// The caption of a format in the settings menu, e.g. "[чч:мм:сс.д]".
QString TimestampFormatCaption(TimestampFormat format);

// The timestamp of a recording position in `style`: the offset added, then truncated to the
// format's precision (after rounding to the millisecond, so 1.3 s stays "…01.3").
QString FormatTimestamp(double seconds, const TimestampStyle& style);

// The recording position of a timestamp read as `tapeSeconds`: the offset taken off, never
// below 0.
double RecordingSeconds(double tapeSeconds, const TimestampStyle& style);

// "чч:мм:сс" of an offset and back ("1:00:00", "01:00:00", "mm:ss" and plain seconds read);
// nullopt for anything else or a negative value.
QString FormatOffset(double seconds);
std::optional<double> ParseOffset(QStringView text);

// A clock time as written: two or three numbers separated by ":" (the last one the seconds),
// then perhaps a fraction. Ranges are not checked here: each reader has its own.
struct ClockReading {
    std::array<int, 3> numbers{};  // in the order written
    std::array<int, 3> digits{};   // how many digits each was written with
    int count = 0;                 // 2 or 3
    double fraction = 0.0;         // 0 … 0.999
};

// Reads the whole of `text` as a clock time: numbers of 1 … maxDigits digits, and after the
// last one, optionally, one of `fractionMarks` and one to three digits. nullopt for anything
// else (a blank, a sign, a fourth number, a mark without digits).
std::optional<ClockReading> ReadClock(QStringView text, int maxDigits, QStringView fractionMarks);

// The seconds of a whole timestamp text such as "[1:02:03]"; nullopt when it is not one.
std::optional<double> ParseTimestamp(QStringView text);

struct TimestampSpan {
    qsizetype start = 0;   // offset of "[" (or the first "#") in the text searched
    qsizetype length = 0;  // through "]" (or the second "#")
    double seconds = 0.0;  // as written: tape time, offset not taken off
};

// The timestamp that covers `offset` (from its "[" up to and including the offset right
// after its "]"), or nullopt.
std::optional<TimestampSpan> TimestampAt(QStringView text, qsizetype offset);

// Every timestamp that starts in [from, to) of `text`, in order.
std::vector<TimestampSpan> TimestampsIn(QStringView text, qsizetype from, qsizetype to);
