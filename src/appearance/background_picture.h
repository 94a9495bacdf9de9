// The main window's background picture: the picture switch (a check mark of
// the View menu), the picture file command and the picture at start-up.
#pragma once

#include <QImage>
#include <QString>
#include <functional>

#include "settings/settings.h"

class QAction;
class QWidget;

namespace pressory::appearance {

class PictureChooser;

class BackgroundPicture {
public:
    // What the commands act on.
    struct Window {
        QAction* pictureSwitch = nullptr;              // its check mark is the switch
        settings::SettingsRecord* settings = nullptr;  // the picture path and PictureEnable
        std::function<void(const QImage&)> show;       // the window's picture; a null image: none
        std::function<void(const QString&)> refuse;    // a critical message box
    };

    explicit BackgroundPicture(Window window);

    // Start-up: the switch from the settings, and the picture when the switch
    // is on and the file can be loaded; a file that cannot is left out
    // without a message.
    void applyAtStartUp();

    // After the switch's check mark was inverted: on, the picture of the
    // stored path (none for an empty path or a file that cannot be loaded,
    // silently); off, no picture.
    void onSwitchTriggered();

    // The picture file command: the chooser, then the path and the switch
    // are set, then the picture is loaded; a cancel changes nothing, and a
    // file that cannot be loaded is refused with a message while the picture
    // shown before stays.
    void choose(PictureChooser* chooser, QWidget* parent);

private:
    bool showFile(const std::string& path);

    Window w_;
};

}  // namespace pressory::appearance
