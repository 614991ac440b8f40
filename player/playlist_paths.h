// Which chosen paths the playlist takes. Pure functions, any thread.
#pragma once

#include <QString>
#include <QStringList>

// A project stores each playlist entry on a line of its own, so a path with a CR or LF in it
// could not be saved and read back: such paths are refused when added.
bool IsStorablePlaylistPath(const QString& path);

// The paths of `chosen` that the playlist takes, in order; the others go to `refused`.
QStringList StorablePlaylistPaths(const QStringList& chosen, QStringList* refused);

// The message for refused paths, each named on a line of its own (its breaks shown as ⏎).
QString RefusedPathsMessage(const QStringList& refused);
