#include "appearance/background_picture.h"

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
    const PictureSettings& s = *w_.settings;
    if (s.pictureOn() && platform::fileExists(s.picturePath())) showFile(s.picturePath());
}

void BackgroundPicture::onSwitchTriggered() {
    if (!w_.settings->pictureOn()) {
        w_.show(QImage());
        return;
    }
    // A picture that cannot be loaded any more leaves the window without one:
    // the switch and the path stay as they are.
    if (!showFile(w_.settings->picturePath())) w_.show(QImage());
}

void BackgroundPicture::choose(PictureChooser* chooser, QWidget* parent) {
    if (chooser == nullptr) return;
    const std::optional<QString> chosen = chooser->choose(parent);
    if (!chosen) return;
    w_.settings->setPicture(chosen->toLocal8Bit().toStdString());
    // An empty answer is no file: it cannot be loaded either.
    const std::string& path = w_.settings->picturePath();
    if (path.empty() || !showFile(path)) w_.refuse(texts::kNotAPicture);
}

}  // namespace pressory::appearance
