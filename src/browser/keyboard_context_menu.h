#pragma once

#include <QObject>

class QAbstractItemView;

namespace pellquin {

// Opens an item view's context menu from the keyboard: the Menu key and Shift+F10, at the
// current item (the top left of the view when there is none). Only X11 turns the Menu key into
// a context menu by itself, at the mouse pointer, and nothing turns Shift+F10 into one; the
// platform's own keyboard menu is dropped so that one key press opens one menu. The menu
// itself is the view's, whatever its context menu policy. Installed by Attach; the object is
// the view's child.
class KeyboardContextMenu : public QObject {
    Q_OBJECT
public:
    static void Attach(QAbstractItemView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit KeyboardContextMenu(QAbstractItemView* view);
    void Open();

    QAbstractItemView* m_view;
    bool m_opening = false;
};

}  // namespace pellquin
