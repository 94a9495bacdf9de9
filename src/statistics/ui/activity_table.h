// The tables of the activity views: numbers shown grouped and sorted as
// numbers, and what a table holds as text, for its CSV.
#pragma once

#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "statistics/activity_views.h"

namespace pressory::statistics {

// What a cell holds for the CSV, where its text is shortened or grouped.
inline constexpr int kExportRole = Qt::UserRole + 1;

QString utf8(const std::string& text);
QString dayText(int day);                  // "2026/12/08"
QString spanText(const HourRange& range);  // "2026/12/01 〜 2026/12/07"
QString appName(const std::string& name);  // the unknown application's name for ""

QTableWidgetItem* textItem(const QString& text);
QTableWidgetItem* countItem(std::int64_t count);              // "1,234", exported as 1234
QTableWidgetItem* percentItem(double percent);                // "12.34%"
QTableWidgetItem* speedItem(double perMinute);                // "123.4"
QTableWidgetItem* changeItem(std::optional<double> percent);  // "+12.5%", or "—" with nothing to compare

// A table of rows without row headers, read-only, one row selected at a
// time; a sortable one starts sorted by `sortColumn` in `order`.
QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers, bool sortable,
                        int sortColumn = 1, Qt::SortOrder order = Qt::DescendingOrder);

// Fills a table row by row with sorting held off (it would move rows while
// they are filled).
template <typename Fill>
void fillTable(QTableWidget* table, int rows, Fill fill) {
    const bool sortable = table->isSortingEnabled();
    table->setSortingEnabled(false);
    table->clearContents();
    table->setRowCount(rows);
    for (int r = 0; r < rows; ++r) fill(r);
    table->setSortingEnabled(sortable);
}

// A table's header and rows as text (numbers in full), in the order shown;
// a table with a "corner" property has its row headers as the first column,
// headed by that text.
std::vector<std::vector<std::string>> tableRows(const QTableWidget& table);

}  // namespace pressory::statistics
