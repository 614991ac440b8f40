// Find and replace over the editor's text (one string, line breaks CR LF, offsets in UTF-16
// code units). A pattern's own line breaks are taken as CR LF, and no match ever starts or
// ends between the CR and the LF of a line break. Without case sensitivity letters match
// in either case, Cyrillic ones (Ё and ё included) as well as Latin.
// Pure functions; any thread. ReplaceAllMatches: user-interface thread.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

class EditorText;
class TEditHistory;

struct FindOptions {
    bool caseSensitive = false;
    bool backward = false;
    bool wrap = true;  // continue from the other end when nothing is found before it
};

struct TextMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    bool wrapped = false;  // found only after continuing from the other end
    bool operator==(const TextMatch&) const = default;
};

// The pattern as the editor holds text: its line breaks as CR LF.
QString SearchPattern(const QString& typed);

// Forward: the first match starting at or after `from`; backward: the last match ending at
// or before `from`. With wrap, the search continues from the other end of the text.
std::optional<TextMatch> FindMatch(QStringView text, const QString& pattern, qsizetype from,
                                   const FindOptions& options);

// Every match starting in [from, to), left to right, never overlapping.
std::vector<TextMatch> MatchesIn(QStringView text, const QString& pattern, qsizetype from,
                                 qsizetype to, bool caseSensitive);

// Replaces every match of the text (non-overlapping, left to right; replacements are never
// searched again) in one step between two snapshots, so one undo brings the old text back.
// Returns the number of replacements; with none, nothing is recorded.
int ReplaceAllMatches(EditorText& text, TEditHistory& history, const QString& pattern,
                      const QString& replacement, bool caseSensitive);

// Replaces the selection when it is a match of the pattern, between two snapshots, and
// selects the next match after it. Returns true when something was replaced.
bool ReplaceSelectedMatch(EditorText& text, TEditHistory& history, const QString& pattern,
                          const QString& replacement, const FindOptions& options);
