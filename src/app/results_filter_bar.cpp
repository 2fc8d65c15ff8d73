#include "app/results_filter_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/named_widgets.h"

namespace pellquin {

ResultsFilterBar::ResultsFilterBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel("Fil&ter:", this);
    m_txtFilter = Named(new QLineEdit(this), "txtFilter", "Filter the open files");
    m_txtFilter->setAccessibleDescription(
        "Shows only the rows whose file or user name contains "
        "this text");
    m_txtFilter->setPlaceholderText("File or user name");
    m_txtFilter->setClearButtonEnabled(true);
    label->setBuddy(m_txtFilter);
    layout->addWidget(label);
    layout->addWidget(m_txtFilter, 1);
    connect(m_txtFilter, &QLineEdit::textChanged, this, &ResultsFilterBar::changed);
}

RowFilter ResultsFilterBar::Filter() const {
    RowFilter filter;
    filter.SetText(m_txtFilter->text().toStdString());
    return filter;
}

bool ResultsFilterBar::IsActive() const {
    return !m_txtFilter->text().isEmpty();
}

}  // namespace pellquin
