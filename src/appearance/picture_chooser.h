// The file chooser of the picture command.
#pragma once

#include <QFileDialog>
#include <QString>
#include <optional>

class QWidget;

namespace pressory::appearance {

// A modal file-open dialog for a picture file.
class PictureChooser {
public:
    virtual ~PictureChooser() = default;
    // Shows the dialog and returns when it is closed: the full path of the
    // chosen file, or nothing when the person cancelled.
    virtual std::optional<QString> choose(QWidget* parent) = 0;
};

// The file dialog as the picture command uses it: one filter entry, any file
// name in a folder that exists (a name of a file that does not exist is
// returned as typed), offering `lastChosen` when there is one.
void configurePictureDialog(QFileDialog& dialog, const QString& lastChosen);

// A file dialog that only accepts a name in an existing folder.
class PictureFileDialog final : public QFileDialog {
public:
    explicit PictureFileDialog(QWidget* parent) : QFileDialog(parent) {}
    void accept() override;
};

// QFileDialog; it offers the name chosen last since the program started.
class QtPictureChooser final : public PictureChooser {
public:
    std::optional<QString> choose(QWidget* parent) override;

private:
    QString lastChosen_;
};

}  // namespace pressory::appearance
