// The editor's side of timestamps: writing one at the caret, and the link through which the
// editor asks the player for its position. The timestamps themselves (formats, styles,
// reading them back) are timecode's.
// User-interface thread.
#pragma once

#include <functional>
#include <optional>

#include "timecode/timestamps.h"

class EditorText;
class TEditHistory;

// How the editor reaches the player: nothing else of the player is visible to it.
struct PlayerLink {
    // The current recording's position in seconds; nullopt when no recording is open.
    std::function<std::optional<double>()> Position;
    // Brings the current recording to `seconds` (the end when beyond it), starts the
    // fragment cycle afresh as the back and next commands do, and plays. False when no
    // recording is open.
    std::function<bool(double seconds)> PlayFrom;
    // The current recording's length in seconds (where the last subtitle ends); nullopt when
    // no recording is open. May be left empty.
    std::function<std::optional<double>()> Length;
};

// Replaces the selection with the timestamp of `seconds` in `style`, between two snapshots.
void InsertTimestamp(EditorText& text, TEditHistory& history, double seconds,
                     const TimestampStyle& style = {});
