#include "widgets/message_boxes.h"

#include <QMessageBox>

namespace pressory::widgets {

void QtMessageBoxes::show(BoxIcon icon, const QString& text) {
    QMessageBox::Icon qtIcon = QMessageBox::Information;
    if (icon == BoxIcon::Exclamation) qtIcon = QMessageBox::Warning;
    if (icon == BoxIcon::Critical) qtIcon = QMessageBox::Critical;
    QMessageBox box(qtIcon, kBoxCaption, text, QMessageBox::Ok);
    open_.append(&box);
    box.exec();
    open_.removeAll(&box);
}

void QtMessageBoxes::dismissAll() {
    const auto boxes = open_;
    for (const QPointer<QMessageBox>& box : boxes)
        if (box) box->done(QMessageBox::Ok);
}

}  // namespace pressory::widgets
