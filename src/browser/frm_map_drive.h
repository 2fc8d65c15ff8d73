#pragma once

#include <QDialog>

class QLineEdit;

namespace pellquin {

// frmMapDrive: asks for the share to connect ("\\server\share") where the system has no
// map-drive dialog of its own.
class TfrmMapDrive : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMapDrive(QWidget* parent);

    QLineEdit* txtShare() const { return m_txtShare; }
    std::string Share() const;

private:
    QLineEdit* m_txtShare = nullptr;
};

}  // namespace pellquin
