// Writes the program's icon as PNG files of the hicolor theme's sizes:
//   render_icon OUTPUT_FOLDER SIZE...
// gives OUTPUT_FOLDER/SIZExSIZE/apps/pressory.png for each size. Run at build
// time, so the files are the program's own drawing and nothing else.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "widgets/app_icon.h"

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: render_icon OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0) return 2;
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        if (!QDir().mkpath(folder) ||
            !pressory::widgets::appIconImage(size).save(folder + QStringLiteral("/pressory.png"))) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
