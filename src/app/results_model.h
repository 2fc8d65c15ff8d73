#pragma once

#include <QAbstractTableModel>
#include <locale>
#include <vector>

#include "query/result_rows.h"

namespace pellquin {

// The rows of the results list. Holds copies of the texts; ordering and texts come from
// result_rows.h, so this class only maps them to columns and roles.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces every row, putting them in the order of their id texts.
    void SetRows(std::vector<ResultRow> rows);
    void Clear();

    // Reorders by a column; selections and other persistent indexes follow their rows.
    void SortByColumn(int column, bool ascending);

    const std::vector<ResultRow>& Rows() const { return m_rows; }

private:
    std::vector<ResultRow> m_rows;
    std::locale m_locale;
};

}  // namespace pellquin
