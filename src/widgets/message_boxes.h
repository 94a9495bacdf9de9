// Modal message boxes with one OK button and the caption "Pressory".
#pragma once

#include <QList>
#include <QPointer>
#include <QString>

class QMessageBox;

namespace pressory::widgets {

// The caption of every box, the program's name.
inline const QString kBoxCaption = QStringLiteral("Pressory");

enum class BoxIcon { Information, Exclamation, Critical };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the box and returns when it has been answered.
    virtual void show(BoxIcon icon, const QString& text) = 0;
    // Closes every box that is open, as if it had been answered.
    virtual void dismissAll() = 0;
};

// The boxes a person sees.
class QtMessageBoxes final : public MessageBoxes {
public:
    void show(BoxIcon icon, const QString& text) override;
    void dismissAll() override;

private:
    QList<QPointer<QMessageBox>> open_;
};

}  // namespace pressory::widgets
