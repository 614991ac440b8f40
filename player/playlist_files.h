// Which files the playlist takes: the add dialog's filters, and which of the files dropped
// from a file manager or named on the command line are recordings. No widgets.
#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

// The add dialog's filters, first shown first: every extension the engine opens, the
// three of the original filter, each of those alone, then every file.
QStringList PlaylistDialogFilters();

// The extensions of the first filter ("wav", "m4a", …), lower case.
const QStringList& RecordingExtensions();

// Whether `path` names a recording by its extension (any case). The engine still decides
// by content when the file is opened.
bool IsRecordingName(const QString& path);

// The local files among dropped URLs that name recordings, in the order dropped.
QStringList DroppedRecordings(const QList<QUrl>& urls);
