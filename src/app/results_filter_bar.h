#pragma once

#include <QWidget>

#include "query/row_filter.h"

class QLabel;
class QLineEdit;

namespace pellquin {

// The filter box above the results list: a text that narrows the shown rows to those whose
// file name or user name contains it, letters in any case (RowFilter). Emits changed() as
// one types.
class ResultsFilterBar : public QWidget {
    Q_OBJECT
public:
    explicit ResultsFilterBar(QWidget* parent = nullptr);

    // The filter for the text typed now.
    RowFilter Filter() const;
    // Whether a text is typed, so some rows may be hidden.
    bool IsActive() const;
    QLineEdit* Edit() const { return m_txtFilter; }

signals:
    void changed();

private:
    QLineEdit* m_txtFilter = nullptr;
};

}  // namespace pellquin
