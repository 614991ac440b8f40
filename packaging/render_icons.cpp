// Build tool: writes the program's icon as PNG files for the hicolor theme,
// render_icons <folder> <size>...  →  <folder>/<size>x<size>/apps/nuvtolvek.png
#include <QDir>
#include <QImage>
#include <cstdio>

#include "app/program_icon.h"

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: render_icons <folder> <size>...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "render_icons: bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) || !ProgramImage(size).save(folder + "/nuvtolvek.png", "PNG")) {
            std::fprintf(stderr, "render_icons: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
