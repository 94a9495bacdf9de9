#include "sound/ui/sound_file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "sound/ui/sound_settings_texts.h"

namespace pressory::sound {

std::optional<QString> QtSoundFileChooser::choose(QWidget* parent, const QString& current) {
    const QString start = current.isEmpty() ? lastFolder_ : QDir::fromNativeSeparators(current);
    const QString chosen = QFileDialog::getOpenFileName(parent, texts::kChooseWav, start, texts::kWavFilter);
    if (chosen.isEmpty()) return std::nullopt;
    lastFolder_ = QFileInfo(chosen).absolutePath();
    return QDir::toNativeSeparators(chosen);
}

}  // namespace pressory::sound
