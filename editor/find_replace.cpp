#include "editor/find_replace.h"

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "editor/editor_text.h"

namespace {

// A match may not begin on the LF of a CR LF, nor end right after its CR.
bool SplitsLineBreak(QStringView text, qsizetype start, qsizetype length) {
    auto inside = [&](qsizetype at) {
        return at > 0 && at < text.size() && text[at - 1] == u'\r' && text[at] == u'\n';
    };
    return inside(start) || inside(start + length);
}

Qt::CaseSensitivity Sensitivity(bool caseSensitive) {
    return caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

std::optional<qsizetype> Forward(QStringView text, QStringView pattern, qsizetype from,
                                 qsizetype endStart, Qt::CaseSensitivity cs) {
    for (qsizetype at = text.indexOf(pattern, from, cs); at >= 0 && at <= endStart;
         at = text.indexOf(pattern, at + 1, cs)) {
        if (!SplitsLineBreak(text, at, pattern.size())) return at;
    }
    return std::nullopt;
}

// The last match that starts at or after `lowest` and ends at or before `end`.
std::optional<qsizetype> Backward(QStringView text, QStringView pattern, qsizetype end,
                                  qsizetype lowest, Qt::CaseSensitivity cs) {
    // A negative start would make lastIndexOf count from the end of the text, and its
    // "not found" (-1) would pass for a match at a negative lowest.
    lowest = std::max<qsizetype>(lowest, 0);
    qsizetype from = end - pattern.size();
    while (from >= lowest) {
        const qsizetype at = text.lastIndexOf(pattern, from, cs);
        if (at < lowest) return std::nullopt;
        if (!SplitsLineBreak(text, at, pattern.size())) return at;
        from = at - 1;
    }
    return std::nullopt;
}

}  // namespace

QString SearchPattern(const QString& typed) {
    return NormalizeEditorText(typed);
}

std::optional<TextMatch> FindMatch(QStringView text, const QString& typed, qsizetype from,
                                   const FindOptions& options) {
    const QString pattern = SearchPattern(typed);
    if (pattern.isEmpty() || pattern.size() > text.size()) return std::nullopt;
    from = std::clamp<qsizetype>(from, 0, text.size());
    const Qt::CaseSensitivity cs = Sensitivity(options.caseSensitive);
    const qsizetype n = pattern.size();
    if (!options.backward) {
        if (auto at = Forward(text, pattern, from, text.size() - n, cs)) return TextMatch{*at, n};
        if (!options.wrap) return std::nullopt;
        // From the start again, up to matches that begin before `from`.
        if (auto at = Forward(text, pattern, 0, from - 1, cs)) return TextMatch{*at, n, true};
        return std::nullopt;
    }
    if (auto at = Backward(text, pattern, from, 0, cs)) return TextMatch{*at, n};
    if (!options.wrap) return std::nullopt;
    if (auto at = Backward(text, pattern, text.size(), from - n + 1, cs)) {
        return TextMatch{*at, n, true};
    }
    return std::nullopt;
}

std::vector<TextMatch> MatchesIn(QStringView text, const QString& typed, qsizetype from,
                                 qsizetype to, bool caseSensitive) {
    std::vector<TextMatch> found;
    const QString pattern = SearchPattern(typed);
    if (pattern.isEmpty()) return found;
    const Qt::CaseSensitivity cs = Sensitivity(caseSensitive);
    const qsizetype n = pattern.size();
    to = std::min(to, text.size());
    qsizetype at = std::max<qsizetype>(from, 0);
    while (auto match = Forward(text, pattern, at, std::min(to - 1, text.size() - n), cs)) {
        found.push_back({*match, n});
        at = *match + n;
    }
    return found;
}

int ReplaceAllMatches(EditorText& text, TEditHistory& history, const QString& pattern,
                      const QString& replacement, bool caseSensitive) {
    const QString whole = text.Text();
    const std::vector<TextMatch> matches =
        MatchesIn(whole, pattern, 0, whole.size(), caseSensitive);
    if (matches.empty()) return 0;
    std::vector<TextRange> ranges;
    ranges.reserve(matches.size());
    for (const TextMatch& m : matches) ranges.push_back({m.start, m.length});
    RecordSnapshot(text, history);
    text.ReplaceRanges(ranges, NormalizeEditorText(replacement));
    RecordSnapshot(text, history);
    return static_cast<int>(matches.size());
}

bool ReplaceSelectedMatch(EditorText& text, TEditHistory& history, const QString& typed,
                          const QString& replacement, const FindOptions& options) {
    const QString pattern = SearchPattern(typed);
    if (pattern.isEmpty()) return false;
    const QString selected = text.SelText();
    const bool isMatch = selected.compare(pattern, Sensitivity(options.caseSensitive)) == 0;
    if (isMatch) {
        RecordSnapshot(text, history);
        text.ReplaceSelection(replacement);
        RecordSnapshot(text, history);
    }
    // Then the next match, from the caret in the direction searched.
    const QString whole = text.Text();
    const qsizetype from =
        options.backward ? text.SelStart() - (isMatch ? NormalizeEditorText(replacement).size() : 0)
                         : text.SelStart() + text.SelLength();
    if (auto next = FindMatch(whole, typed, from, options)) {
        text.SetSelection(static_cast<int>(next->start), static_cast<int>(next->length));
    }
    return isMatch;
}
