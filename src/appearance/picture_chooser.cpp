#include "appearance/picture_chooser.h"

#include <QDir>
#include <QFileInfo>

#include "appearance/appearance_texts.h"

namespace pressory::appearance {

void configurePictureDialog(QFileDialog& dialog, const QString& lastChosen) {
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The description is shown as it is; the patterns in the last brackets
    // select the files.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(texts::kPictureFilterDescription + QStringLiteral(" (") + texts::kPicturePatterns +
                         QLatin1Char(')'));
    if (!lastChosen.isEmpty()) dialog.selectFile(lastChosen);
}

void PictureFileDialog::accept() {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
        const QFileInfo chosen(files.first());
        // A folder that does not exist: the name cannot be right; the dialog stays open.
        if (!chosen.isDir() && !QFileInfo(chosen.absolutePath()).isDir()) return;
    }
    QFileDialog::accept();
}

std::optional<QString> QtPictureChooser::choose(QWidget* parent) {
    PictureFileDialog dialog(parent);
    configurePictureDialog(dialog, lastChosen_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    lastChosen_ = QDir::toNativeSeparators(files.first());
    return lastChosen_;
}

}  // namespace pressory::appearance
