// SoundSettingsWindow: the sound settings window. The keyboard of the main window,
// moved down, whose 84 sound cells hold paths instead of counts: a file
// dropped on a cell sets its path, a left click shows it, a right click
// clears it. The cells also take the keyboard focus: Enter (or a double-click)
// chooses a file for the cell, Delete clears it. OK saves every path to the
// table and the settings file; cancel, Esc and the close box forget the edits.
// Modal.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>
#include <string>

#include "settings/settings.h"
#include "widgets/message_boxes.h"

class QLabel;
class QPushButton;

namespace pressory::platform {
class SoundPlayer;
}

namespace pressory::widgets {
class CountCell;
class KeyboardWidget;
}  // namespace pressory::widgets

namespace pressory::sound {

class SoundFileChooser;

struct SoundSettingsContext {
    std::string settingsPath;                      // Pressory.ini
    settings::SettingsRecord* settings = nullptr;  // required: its sound path table
    widgets::MessageBoxes* boxes = nullptr;        // required
    platform::SoundPlayer* player = nullptr;       // null: nothing to preload
    SoundFileChooser* chooser = nullptr;           // null: the window's own QFileDialog
};

class SoundSettingsWindow final : public QDialog {
    Q_OBJECT
public:
    // Creation fills the edit and the saved cells from the table.
    explicit SoundSettingsWindow(SoundSettingsContext context, QWidget* parent = nullptr);
    ~SoundSettingsWindow() override;

    void onCmdUpdateClicked();
    void onCmdCancelClicked();
    void onTxtKeyMouseDown(int vk, Qt::MouseButton button);
    // Enter or a double-click on a cell: a WAV file chosen replaces its path.
    void chooseFileFor(int vk);

    // Controls, by the names the window gives them. txtKeySave is the saved
    // path of a key, which the window never shows.
    widgets::KeyboardWidget* keyboard() const { return keyboard_; }
    widgets::CountCell* txtKey(int vk) const;
    QString txtKeySave(int vk) const;
    QPushButton* cmdUpdate() const { return cmdUpdate_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }
    QLabel* lblHelp(int index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int soundCellAt(const QPoint& keyboardPos) const;
    int soundCellOf(const QObject* object) const;
    bool cellEvent(int vk, QEvent* event);
    void onTxtKeyDragDrop(int vk, const QString& path);
    void setCellPath(int vk, const QString& path);
    void placeHelp();

    SoundSettingsContext ctx_;
    widgets::KeyboardWidget* keyboard_ = nullptr;
    std::array<QString, 256> txtKeySave_{};
    std::array<QLabel*, 6> lblHelp_{};
    QPushButton* cmdUpdate_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QWidget* shape1_ = nullptr;
    std::unique_ptr<SoundFileChooser> ownChooser_;
    // A left click shows the cell's path once it is clear that it was not
    // the first click of a double-click.
    QTimer pendingClick_;
    int pendingVk_ = -1;
};

}  // namespace pressory::sound
