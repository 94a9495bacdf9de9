#include "statistics/ui/activity_table.h"

#include <QHeaderView>

#include "history/history_summary.h"
#include "statistics/statistics_rules.h"
#include "statistics/ui/activity_texts.h"

namespace pressory::statistics {
namespace {

// What a numeric column sorts by.
constexpr int kSortRole = Qt::UserRole + 2;

// A cell that sorts by its number, not by its text.
class NumberItem final : public QTableWidgetItem {
public:
    NumberItem(const QString& shown, double value, const QString& exported) : QTableWidgetItem(shown) {
        setData(kSortRole, value);
        setData(kExportRole, exported);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(kSortRole).toDouble() < other.data(kSortRole).toDouble();
    }
};

}  // namespace

QString utf8(const std::string& text) { return QString::fromStdString(text); }

QString dayText(int day) { return utf8(history::formatDay(day)); }

QString spanText(const HourRange& range) {
    return texts::kPeriodSpan.arg(dayText(dayOfHour(range.first)), dayText(dayOfHour(range.end - 1)));
}

QString appName(const std::string& name) { return name.empty() ? texts::kUnknownApp : utf8(name); }

QTableWidgetItem* textItem(const QString& text) { return new QTableWidgetItem(text); }

QTableWidgetItem* countItem(std::int64_t count) {
    return new NumberItem(utf8(groupDigits(count)), static_cast<double>(count), QString::number(count));
}

QTableWidgetItem* percentItem(double percent) {
    const QString shown = utf8(formatPercent(percent));
    return new NumberItem(shown, percent, shown);
}

QTableWidgetItem* speedItem(double perMinute) {
    const QString shown = utf8(formatSpeed(perMinute));
    return new NumberItem(shown, perMinute, shown);
}

QTableWidgetItem* changeItem(std::optional<double> percent) {
    const QString shown = percent ? utf8(formatChange(*percent)) : texts::kNoChange;
    return new NumberItem(shown, percent.value_or(0), shown);
}

QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers, bool sortable, int sortColumn,
                        Qt::SortOrder order) {
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setSortIndicator(sortColumn, order);
    t->setSortingEnabled(sortable);
    return t;
}

std::vector<std::vector<std::string>> tableRows(const QTableWidget& table) {
    const QString corner = table.property("corner").toString();
    const bool rowHeads = !corner.isEmpty();
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header;
    if (rowHeads) header.push_back(corner.toStdString());
    for (int c = 0; c < table.columnCount(); ++c) {
        const QTableWidgetItem* h = table.horizontalHeaderItem(c);
        header.push_back(h ? h->text().toStdString() : std::string());
    }
    rows.push_back(std::move(header));
    for (int r = 0; r < table.rowCount(); ++r) {
        std::vector<std::string> row;
        if (rowHeads) {
            const QTableWidgetItem* h = table.verticalHeaderItem(r);
            row.push_back(h ? h->text().toStdString() : std::string());
        }
        for (int c = 0; c < table.columnCount(); ++c) {
            const QTableWidgetItem* item = table.item(r, c);
            if (!item) {
                row.emplace_back();
                continue;
            }
            const QVariant exported = item->data(kExportRole);
            row.push_back((exported.isValid() ? exported.toString() : item->text()).toStdString());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace pressory::statistics
