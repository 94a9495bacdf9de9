#include "widgets/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace pressory::widgets {
namespace {

// Drawn on a 32-unit grid and scaled, so both sizes share one picture.
// (packaging/linux/pressory.svg is this drawing as a scalable file.)
void drawKeyCap(QPaintDevice& device, int size) {
    QPainter p(&device);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(size / 32.0, size / 32.0);

    // The cap's sides, then its top face.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x80, 0x80, 0x80));
    p.drawRect(2, 4, 28, 26);
    p.setBrush(QColor(0x00, 0x00, 0x00));
    p.drawRect(2, 29, 28, 2);
    p.setBrush(QColor(0xC0, 0xC0, 0xC0));
    p.drawRect(5, 2, 22, 22);
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawRect(5, 2, 22, 2);
    p.drawRect(5, 2, 2, 22);

    // A red count bar over the face and a navy "P".
    p.setBrush(QColor(0xFF, 0x00, 0x00));
    p.drawRect(9, 18, 14, 4);
    p.setBrush(QColor(0x00, 0x00, 0x80));
    p.drawRect(10, 5, 4, 12);
    p.drawRect(14, 5, 6, 3);
    p.drawRect(14, 11, 6, 3);
    p.drawRect(19, 7, 3, 5);
}

QPixmap keyCap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    drawKeyCap(pm, size);
    return pm;
}

}  // namespace

QIcon appIcon() {
    QIcon icon;
    icon.addPixmap(keyCap(16));
    icon.addPixmap(keyCap(32));
    return icon;
}

QImage appIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    drawKeyCap(image, size);
    return image;
}

}  // namespace pressory::widgets
