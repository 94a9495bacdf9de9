// Writes the program's icon as files, drawn by the program's own icon code:
//   render_icon OUTPUT_FOLDER SIZE...
//     OUTPUT_FOLDER/SIZExSIZE/apps/pressory.png for each size (the hicolor theme);
//   render_icon --ico FILE SIZE...
//     one Windows icon file holding every size (each image as PNG, as
//     Windows Vista and later read them; sizes 1 to 256). The program's is
//     packaging/windows/pressory.ico, sizes 16 24 32 48 64 128 256.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QtEndian>
#include <cstdio>

#include "widgets/app_icon.h"

namespace {

void putLe16(QByteArray& out, quint16 v) {
    const quint16 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void putLe32(QByteArray& out, quint32 v) {
    const quint32 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

bool writeIco(const QString& file, const QList<int>& sizes) {
    QList<QByteArray> pngs;
    for (const int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!pressory::widgets::appIconImage(size).save(&buffer, "PNG")) return false;
        pngs.append(png);
    }
    QByteArray ico;
    putLe16(ico, 0);  // reserved
    putLe16(ico, 1);  // an icon, not a cursor
    putLe16(ico, static_cast<quint16>(sizes.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const char side = static_cast<char>(sizes[i] == 256 ? 0 : sizes[i]);  // 0 stands for 256
        ico.append(side).append(side).append('\0').append('\0');
        putLe16(ico, 1);   // planes
        putLe16(ico, 32);  // bits per pixel
        putLe32(ico, static_cast<quint32>(pngs[i].size()));
        putLe32(ico, offset);
        offset += static_cast<quint32>(pngs[i].size());
    }
    for (const QByteArray& png : pngs) ico.append(png);
    QFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(ico) == ico.size() && out.flush();
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool ico = argc >= 2 && QByteArray(argv[1]) == "--ico";
    const int first = ico ? 2 : 1;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: render_icon OUTPUT_FOLDER SIZE...\n       render_icon --ico FILE SIZE...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[first]);
    QList<int> sizes;
    for (int i = first + 1; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || (ico && size > 256)) return 2;
        sizes.append(size);
    }
    if (ico) {
        if (writeIco(out, sizes)) return 0;
        std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(out));
        return 1;
    }
    for (const int size : sizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        if (!QDir().mkpath(folder) ||
            !pressory::widgets::appIconImage(size).save(folder + QStringLiteral("/pressory.png"))) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
