// The main window's background picture: the picture switch (a check mark of
// the View menu), the picture file command and the picture at start-up.
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace pressory::appearance {

class PictureChooser;

// The picture's settings: the switch (PictureEnable), which its check mark
// shows, and the file (PictureBackGround).
class PictureSettings {
public:
    virtual ~PictureSettings() = default;
    virtual bool pictureOn() const = 0;
    virtual const std::string& picturePath() const = 0;
    // A chosen file: its path is kept and the switch goes on.
    virtual void setPicture(const std::string& path) = 0;
};

class BackgroundPicture {
public:
    // What the commands act on.
    struct Window {
        PictureSettings* settings = nullptr;         // the switch and the path
        std::function<void(const QImage&)> show;     // the window's picture; a null image: none
        std::function<void(const QString&)> refuse;  // a critical message box
    };

    explicit BackgroundPicture(Window window);

    // Start-up: the picture when the switch is on and the file can be
    // loaded; a file that cannot is left out without a message.
    void applyAtStartUp();

    // After a click on the switch's check mark: on, the picture of the
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
