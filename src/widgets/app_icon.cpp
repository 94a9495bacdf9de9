#include "widgets/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pressory::widgets {
namespace {

const QColor kSide(0x80, 0x80, 0x80);
const QColor kShadow(0x00, 0x00, 0x00);
const QColor kFace(0xC0, 0xC0, 0xC0);
const QColor kLight(0xFF, 0xFF, 0xFF);
const QColor kCount(0xFF, 0x00, 0x00);
const QColor kLetter(0x00, 0x00, 0x80);

// Up to this size the picture is drawn pixel by pixel on a 32-unit grid;
// larger sizes draw the same picture in smooth shapes.
constexpr int kLargestGridSize = 32;

// A key cap with a red count bar and a navy "P", on a 32-unit grid.
void drawGridKeyCap(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    // The cap's sides, then its top face.
    p.setBrush(kSide);
    p.drawRect(2, 4, 28, 26);
    p.setBrush(kShadow);
    p.drawRect(2, 29, 28, 2);
    p.setBrush(kFace);
    p.drawRect(5, 2, 22, 22);
    p.setBrush(kLight);
    p.drawRect(5, 2, 22, 2);
    p.drawRect(5, 2, 2, 22);
    p.setBrush(kCount);
    p.drawRect(9, 18, 14, 4);
    p.setBrush(kLetter);
    p.drawRect(10, 5, 4, 12);
    p.drawRect(14, 5, 6, 3);
    p.drawRect(14, 11, 6, 3);
    p.drawRect(19, 7, 3, 5);
}

// The same cap in the same places and colours, with rounded corners and a
// round bowl to the P. packaging/linux/pressory.svg is this drawing.
void drawSmoothKeyCap(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath body;
    body.addRoundedRect(QRectF(2, 4, 28, 27), 3, 3);
    p.fillPath(body, kShadow);
    QPainterPath side;
    side.addRoundedRect(QRectF(2, 4, 28, 25), 3, 3);
    p.fillPath(side, kSide);

    QPainterPath face;
    face.addRoundedRect(QRectF(5, 2, 22, 22), 2, 2);
    p.fillPath(face, kLight);
    QPainterPath lit;
    lit.addRect(QRectF(7, 4, 20, 20));
    p.fillPath(face.intersected(lit), kFace);

    QPainterPath bar;
    bar.addRoundedRect(QRectF(9, 18, 14, 4), 1, 1);
    p.fillPath(bar, kCount);

    // The P: a stem, and a bowl of 4.5 units' radius with a hole in it.
    QPainterPath letter;
    letter.addRect(QRectF(10, 5, 4, 12));
    QPainterPath bowl;
    bowl.moveTo(14, 5);
    bowl.lineTo(17.5, 5);
    bowl.arcTo(QRectF(13, 5, 9, 9), 90, -180);
    bowl.lineTo(14, 14);
    bowl.closeSubpath();
    QPainterPath hole;
    hole.moveTo(14, 8);
    hole.lineTo(17.5, 8);
    hole.arcTo(QRectF(16, 8, 3, 3), 90, -180);
    hole.lineTo(14, 11);
    hole.closeSubpath();
    p.fillPath(letter.united(bowl.subtracted(hole)), kLetter);
}

void drawKeyCap(QPaintDevice& device, int size) {
    QPainter p(&device);
    p.setPen(Qt::NoPen);
    p.scale(size / 32.0, size / 32.0);
    if (size <= kLargestGridSize)
        drawGridKeyCap(p);
    else
        drawSmoothKeyCap(p);
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
