// ProgressWindow: the small window that is on screen while
// the history file is read (for the history viewer and for the statistics),
// with the program's icon, "処理中です・・・" and a navy bar that grows by one
// grid row's share per record placed.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QWidget>

#include <cstdint>

class QLabel;

namespace pressory::widgets {

// ProgressBar (object name picProgressBar): a sunken box whose inside runs from 0 to 4000 across;
// everything left of the reached value is painted RGB(0, 0, 128).
class ProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void setReach(double x);  // 0..4000
    double reach() const { return reach_; }
    // The painted part in the widget's pixels (empty before the first step).
    QRect filledRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double reach_ = 0.0;
};

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(const QIcon& icon, QWidget* owner = nullptr);

    // The bar after `shown` of the records of a grid of `gridRows` rows.
    void showProgress(std::int64_t shown, std::int64_t gridRows);

    ProgressBar* progressBar() const { return progressBar_; }
    QLabel* iconLabel() const { return iconLabel_; }
    QLabel* message() const { return message_; }

private:
    QLabel* iconLabel_;
    QLabel* message_;
    ProgressBar* progressBar_;
};

}  // namespace pressory::widgets
