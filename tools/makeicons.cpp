// Writes the player's icon as PNG files for the desktop's icon theme:
//   makeicons OUTPUT-FOLDER   →  OUTPUT-FOLDER/hicolor/<N>x<N>/apps/zypo.png
#include "dialogs/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeicons OUTPUT-FOLDER\n");
        return 2;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
        QDir().mkpath(dir);
        if (!zypo::appIconPixmap(size).save(dir + QStringLiteral("/zypo.png")))
            return 1;
    }
    return 0;
}
