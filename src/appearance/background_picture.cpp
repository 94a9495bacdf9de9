#include "appearance/background_picture.h"

#include <QAction>

#include "appearance/appearance_texts.h"
#include "appearance/picture_chooser.h"
#include "appearance/picture_loader.h"
#include "platform/app_folder.h"

namespace pressory::appearance {

BackgroundPicture::BackgroundPicture(Window window) : w_(std::move(window)) {}

bool BackgroundPicture::showFile(const std::string& path) {
    const std::optional<QImage> picture = loadPicture(path);
    if (!picture) return false;
    w_.show(*picture);
    return true;
}

void BackgroundPicture::applyAtStartUp() {
    const settings::SettingsRecord& r = *w_.settings;
    w_.pictureSwitch->setChecked(r.pictureEnable != 0);
    if (r.pictureEnable != 0 && platform::fileExists(r.pictureBackGround)) showFile(r.pictureBackGround);
}

void BackgroundPicture::onSwitchTriggered() {
    if (!w_.pictureSwitch->isChecked()) {
        w_.show(QImage());
        return;
    }
    // A picture that cannot be loaded any more leaves the window without one:
    // the switch and the path stay as they are.
    if (!showFile(w_.settings->pictureBackGround)) w_.show(QImage());
}

void BackgroundPicture::choose(PictureChooser* chooser, QWidget* parent) {
    if (chooser == nullptr) return;
    const std::optional<QString> chosen = chooser->choose(parent);
    if (!chosen) return;
    w_.settings->pictureBackGround = chosen->toLocal8Bit().toStdString();
    w_.pictureSwitch->setChecked(true);
    w_.settings->pictureEnable = -1;
    // An empty answer is no file: it cannot be loaded either.
    if (w_.settings->pictureBackGround.empty() || !showFile(w_.settings->pictureBackGround))
        w_.refuse(texts::kNotAPicture);
}

}  // namespace pressory::appearance
