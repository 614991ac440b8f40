#include "timecode/timestamp_turns.h"

#include "timecode/timestamps.h"

namespace {

// The name of a turn marker starting at `at` (after the timestamp), or empty.
QString TurnAfter(QStringView text, qsizetype at) {
    const qsizetype n = text.size();
    while (at < n && (text[at] == u' ' || text[at] == u'\t')) ++at;
    if (at < n && text[at] == u'\r') ++at;
    if (at < n && text[at] == u'\n')
        ++at;
    else if (at == 0 || (text[at - 1] != u'\r'))
        return {};
    if (at >= n || text[at] != u'[') return {};
    const qsizetype close = text.indexOf(u']', at + 1);
    if (close < 0) return {};
    const QStringView name = text.mid(at + 1, close - at - 1);
    if (name.isEmpty() || name.contains(u'\n') || name.contains(u'\r')) return {};
    if (ParseTimestamp(text.mid(at, close - at + 1))) return {};
    const qsizetype after = close + 1;
    if (after < n && text[after] != u'\r' && text[after] != u'\n') return {};
    return name.toString();
}

}  // namespace

std::vector<TimestampTurn> TimestampTurns(QStringView text) {
    std::vector<TimestampTurn> turns;
    for (const TimestampSpan& span : TimestampsIn(text, 0, text.size()))
        turns.push_back(
            {span.seconds, span.start, span.length, TurnAfter(text, span.start + span.length)});
    return turns;
}
