// AboutWindow: the version window. The program's icon three times in a column,
// the title line with the version, a credit line, an etched rule and OK.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QLabel;
class QPushButton;
class QWidget;

namespace pressory::help {

// "Pressory  Version 1.5.0": the title, two blanks, "Version", the three
// numbers in plain decimal.
QString titleLine(int major, int minor, int revision);
// The credit line, from the company name of the version information.
QString creditLine(const QString& companyName);

class AboutWindow final : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    // Creation: the title line and the credit line from the program's version.
    void load();

    // Which key source counts (empty: nothing is said).
    void setKeySource(const QString& inUse);

    void onCmdOkClicked();

    QLabel* lblTitle() const { return lblTitle_; }
    QLabel* lblCredit() const { return lblCredit_; }
    QLabel* lblDescription() const { return lblDescription_; }
    QLabel* lblKeySource() const { return lblKeySource_; }
    QLabel* picIcon(int i) const { return picIcon_.at(static_cast<std::size_t>(i)); }
    QWidget* separator(int i) const { return separators_.at(static_cast<std::size_t>(i)); }
    QPushButton* cmdOK() const { return cmdOK_; }

private:
    QLabel* lblTitle_ = nullptr;
    QLabel* lblCredit_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* lblKeySource_ = nullptr;
    std::array<QLabel*, 3> picIcon_{};
    std::array<QWidget*, 2> separators_{};
    QPushButton* cmdOK_ = nullptr;
};

// Creates the version window, centred on the screen, and shows it modally;
// returns when it is closed. `parent` keeps it out of the task bar;
// `keySource` is the key source in use, as it names itself.
void showVersionWindow(QWidget* parent, const QString& keySource = {});

}  // namespace pressory::help
