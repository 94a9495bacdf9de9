// The file chooser of the sound settings window's cells.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace pressory::sound {

// A modal file-open dialog for a WAV file.
class SoundFileChooser {
public:
    virtual ~SoundFileChooser() = default;
    // Shows the dialog, starting at `current` when it names a file, and
    // returns when it is closed: the full path of the chosen file, or nothing
    // when the person cancelled.
    virtual std::optional<QString> choose(QWidget* parent, const QString& current) = 0;
};

// QFileDialog, showing WAV files; without a current path it starts in the
// folder chosen from last since the program started.
class QtSoundFileChooser final : public SoundFileChooser {
public:
    std::optional<QString> choose(QWidget* parent, const QString& current) override;

private:
    QString lastFolder_;
};

}  // namespace pressory::sound
