// HistoryWindow: the newest records of the history file in a grid, newest
// first, under the file's header line. The grid's first ten columns (time,
// ratios, top five letters) stay in place while the rest scrolls sideways,
// and the header stays on top while the records scroll.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QIcon>
#include <QTableView>

#include <string>
#include <vector>

#include "history/history_reader.h"

class QLabel;
class QPushButton;

namespace pressory::widgets {
class ProgressWindow;
}

namespace pressory::history {

// The rows read: row 0 of the grid (the file's header line) is the header of
// the table, the records are its rows. Texts are UTF-8.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<Row> rows);
    // Rows of the grid, the header row included (0 for an empty file).
    int gridRowCount() const { return static_cast<int>(rows_.size()); }
    // The text of grid row `row` (0 the header), column `column`.
    QString cellText(int row, int column) const;
    // The record text of `column` that is longest in bytes (empty when none).
    QString longestText(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<Row> rows_;
    int columns_ = 11;
    // The columns captioned "\\" in header order (the ¥ key's comes first).
    std::vector<int> backslashColumns_;
};

// grdHistory: a table whose first columns are drawn by a second table laid
// over it, sharing its model and selection, so that they do not scroll sideways.
class HistoryGrid : public QTableView {
    Q_OBJECT
public:
    explicit HistoryGrid(QWidget* parent = nullptr);

    void setHistoryModel(HistoryTableModel* model);
    // Column widths in pixels for the screen's twips, widened where a
    // column's caption or one of its texts needs more.
    void applyColumnWidths(double dpiX, double dpiY);
    QTableView* frozenView() const { return frozen_; }
    // How much wider than designed the columns from `first` to `last` are.
    int widthBeyondDesign(int first, int last) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    void updateFrozenGeometry();
    void hideScrollingColumnsOfFrozen();
    int frozenWidth() const;
    int contentWidth(int column) const;

    QTableView* frozen_;
    std::vector<int> designedWidths_;  // of the designed columns, in pixels
};

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* owner = nullptr);

    // Reads the history file and fills the window while it is hidden, with
    // ProgressWindow on screen meanwhile; ProgressWindow is closed again before
    // this returns. False when the file could not be read (gone, not a file,
    // not readable, cut shorter while read): there is nothing to show then.
    bool load(const std::string& historyPath, int rowLimit, const QIcon& icon);

    HistoryGrid* grdHistory() const { return grdHistory_; }
    HistoryTableModel* historyModel() const { return model_; }
    QLabel* lblHeader(int index) const { return lblHeader_[index]; }
    QLabel* lblRowCount() const { return lblRowCount_; }
    QPushButton* cmdClose() const { return cmdClose_; }

signals:
    // After each record is placed, with the bar as it now stands.
    void progressStepped(pressory::widgets::ProgressWindow* progress, int shown, int gridRows);

private slots:
    void onCmdCloseClicked();

private:
    HistoryGrid* grdHistory_;
    HistoryTableModel* model_;
    QLabel* lblHeader_[2];
    QRect headerRects_[2];  // as designed, before the columns below them widen
    QLabel* lblRowCount_;
    QPushButton* cmdClose_;
};

}  // namespace pressory::history
