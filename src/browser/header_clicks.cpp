#include "browser/header_clicks.h"

#include <QHeaderView>
#include <utility>

namespace pellquin {

void HeaderClicks::Connect(QHeaderView* header, std::function<void(int)> clicked) {
    new HeaderClicks(header, std::move(clicked));
}

HeaderClicks::HeaderClicks(QHeaderView* header, std::function<void(int)> clicked)
    : QObject(header), m_clicked(std::move(clicked)) {
    connect(header, &QHeaderView::sectionPressed, this, [this] { m_pressed = true; });
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        m_pressed = false;
        m_clicked(section);
    });
    connect(header, &QHeaderView::sectionDoubleClicked, this, [this](int section) {
        if (!m_pressed && section >= 0) {
            m_clicked(section);
        }
    });
}

}  // namespace pellquin
