#include "browser/keyboard_context_menu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace pellquin {

void KeyboardContextMenu::Attach(QAbstractItemView* view) {
    view->installEventFilter(new KeyboardContextMenu(view));
}

KeyboardContextMenu::KeyboardContextMenu(QAbstractItemView* view) : QObject(view), m_view(view) {}

bool KeyboardContextMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_view) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers =
            key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if ((key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
            Open();
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu && !m_opening &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void KeyboardContextMenu::Open() {
    QWidget* viewport = m_view->viewport();
    const QModelIndex current = m_view->currentIndex();
    const QRect item = current.isValid() ? m_view->visualRect(current) : QRect();
    // Just inside the item's lower left, as a menu for a row is placed; viewport coordinates,
    // as a mouse's context menu event for the view has them.
    const QPoint at = item.isValid() && viewport->rect().intersects(item)
                          ? QPoint(item.left() + 4, item.bottom())
                          : QPoint(4, 4);
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, at, viewport->mapToGlobal(at));
    m_opening = true;
    QCoreApplication::sendEvent(viewport, &menuEvent);
    m_opening = false;
}

}  // namespace pellquin
