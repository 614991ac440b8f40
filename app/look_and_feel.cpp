#include "app/look_and_feel.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

QStringList RegisterWindowsFonts(const QString& folder) {
    QStringList families;
    // Not the bold Tahoma beside them: its outlines are the regular strokes on bold widths, so
    // bold text drew thin and letter-spaced. Bold is made from the regular face instead.
    for (const char* file : {"tahoma.ttf", "ms_sans_serif.ttf"}) {
        const int id =
            QFontDatabase::addApplicationFont(QDir(folder).filePath(QLatin1String(file)));
        if (id < 0) continue;
        for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
            if (!families.contains(family)) families << family;
        }
    }
    return families;
}

bool InstallRussianToolkitTexts(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void SetUpLookAndFeel(QApplication& app) {
    RegisterWindowsFonts();
    // Without a class name this also replaces the theme's own fonts of menus and status bars.
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    InstallRussianToolkitTexts(app);
}
