#include "app/file_filters.h"

#include <QFileDialog>
#include <QStringList>

void SetDialogNameFilters(QFileDialog& dialog, const QString& filters) {
    // Qt matches the patterns of a filter's last parentheses and, with the details hidden,
    // shows what comes before them: the caption goes first, whole, then the patterns to match.
    QStringList entries;
    for (const QString& filter : filters.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const qsizetype open = filter.lastIndexOf(u'(');
        QString patterns = open >= 0 && filter.endsWith(u')')
                               ? filter.mid(open + 1, filter.size() - open - 2).trimmed()
                               : QStringLiteral("*");
        if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
        entries << QStringLiteral("%1 (%2)").arg(filter.trimmed(), patterns);
    }
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(entries);
}
