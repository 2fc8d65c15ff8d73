#include "browser/frm_map_drive.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pellquin {

TfrmMapDrive::TfrmMapDrive(QWidget* parent) : QDialog(parent) {
    setObjectName("frmMapDrive");
    setWindowTitle("Map Drive");
    setAccessibleName("Map Drive");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("&Share (\\\\server\\share) :", this);
    label->setObjectName("lblShare");
    m_txtShare = new QLineEdit(this);
    m_txtShare->setObjectName("txtShare");
    m_txtShare->setAccessibleName("Share");
    m_txtShare->setMinimumWidth(300);
    label->setBuddy(m_txtShare);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("buttons");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cmdCancel");
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(m_txtShare);
    layout->addWidget(buttons);
}

std::string TfrmMapDrive::Share() const {
    return m_txtShare->text().trimmed().toStdString();
}

}  // namespace pellquin
