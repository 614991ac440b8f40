// Timestamps in the transcript: "[чч:мм:сс]" written from the player's position, and the
// hand-typed forms read back so that the player can be brought to that moment again.
// Recognised: "[h:mm:ss]" / "[hh:mm:ss]", "[m:ss]" / "[mm:ss]", each with an optional
// fraction of one to three digits ("[00:02:03.5]"). Minutes and seconds below 60; a
// timestamp never spans a line break.
// Pure functions; any thread. EditorText and TEditHistory: user-interface thread.
#pragma once

#include <QString>
#include <QStringView>
#include <functional>
#include <optional>
#include <vector>

class EditorText;
class TEditHistory;

// "[hh:mm:ss]" of whole seconds (truncated, never rounded up past the position); hours always
// shown, with more than two digits past 99 hours. Negative positions count as 0.
QString FormatTimestamp(double seconds);

// The seconds of a whole timestamp text such as "[1:02:03]"; nullopt when it is not one.
std::optional<double> ParseTimestamp(QStringView text);

struct TimestampSpan {
    qsizetype start = 0;   // offset of "[" in the text searched
    qsizetype length = 0;  // through "]"
    double seconds = 0.0;
};

// The timestamp that covers `offset` (from its "[" up to and including the offset right
// after its "]"), or nullopt.
std::optional<TimestampSpan> TimestampAt(QStringView text, qsizetype offset);

// Every timestamp that starts in [from, to) of `text`, in order.
std::vector<TimestampSpan> TimestampsIn(QStringView text, qsizetype from, qsizetype to);

// How the editor reaches the player: nothing else of the player is visible to it.
struct PlayerLink {
    // The current recording's position in seconds; nullopt when no recording is open.
    std::function<std::optional<double>()> Position;
    // Brings the current recording to `seconds` (the end when beyond it), starts the
    // fragment cycle afresh as the back and next commands do, and plays. False when no
    // recording is open.
    std::function<bool(double seconds)> PlayFrom;
};

// Replaces the selection with the timestamp of `seconds`, between two snapshots.
void InsertTimestamp(EditorText& text, TEditHistory& history, double seconds);
