#include "browser/frm_add_fav.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "browser/core/browser_texts.h"

namespace pellquin {
namespace {

template <typename W>
W* Placed(W* widget, const char* objectName, const QString& accessibleName, int left, int top) {
    widget->setObjectName(QString::fromUtf8(objectName));
    widget->setAccessibleName(accessibleName);
    widget->move(left, top);
    return widget;
}

}  // namespace

TfrmAddFav::TfrmAddFav(Prompts& prompts, FolderBrowser* folders, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_folders(folders) {
    setObjectName("frmAddFav");
    setWindowTitle("Add Favourite Location/Path");
    setAccessibleName("Add Favourite Location/Path");
    setFont(QFont("MS Shell Dlg 2", 8));
    setFixedSize(468, 123);
    move(641, 291);

    auto* label1 = Placed(new QLabel("&Description :", this), "Label1", "Description", 5, 15);
    m_txtDescription = Placed(new QLineEdit(this), "txtDescription", "Description", 70, 11);
    m_txtDescription->resize(370, m_txtDescription->sizeHint().height());
    label1->setBuddy(m_txtDescription);
    auto* label2 = Placed(new QLabel("&Path :", this), "Label2", "Path", 5, 45);
    m_txtPath = Placed(new QLineEdit(this), "txtPath", "Path", 70, 40);
    m_txtPath->resize(351, m_txtPath->sizeHint().height());
    label2->setBuddy(m_txtPath);
    auto* browse =
        Placed(new QPushButton("...", this), "LMDButton2", "Browse for a folder", 423, 41);
    browse->setFixedSize(20, 20);
    auto* hint = Placed(new QLabel("Drive letter or local form (C:\\Data, /srv/data) or UNC form "
                                   "(\\\\Server\\Share\\Data)",
                                   this),
                        "Label3", "Path forms", 70, 64);
    hint->setStyleSheet("color: blue");
    auto* ok = Placed(new QPushButton("OK", this), "cmdOK", "OK", 156, 91);
    ok->setFixedSize(65, 23);
    ok->setDefault(true);
    auto* cancel = Placed(new QPushButton("Cancel", this), "LMDButton1", "Cancel", 241, 91);
    cancel->setFixedSize(65, 23);

    connect(ok, &QPushButton::clicked, this, &TfrmAddFav::cmdOKClick);
    connect(cancel, &QPushButton::clicked, this, &TfrmAddFav::LMDButton1Click);
    connect(browse, &QPushButton::clicked, this, &TfrmAddFav::LMDButton2Click);
    setTabOrder(m_txtDescription, m_txtPath);
    setTabOrder(m_txtPath, browse);
    setTabOrder(browse, ok);
    setTabOrder(ok, cancel);
}

void TfrmAddFav::cmdOKClick() {
    if (m_txtDescription->text().isEmpty()) {
        m_txtDescription->setText(m_txtPath->text());
    }
    if (m_txtPath->text().isEmpty()) {
        m_prompts.ShowError(kEmptyFavouritePath);
        return;
    }
    if (m_txtDescription->text().contains(QString::fromUtf8(kFavouriteSeparator))) {
        m_prompts.ShowError(kSeparatorInDescription);
        return;
    }
    accept();
}

void TfrmAddFav::LMDButton1Click() {
    reject();
}

void TfrmAddFav::LMDButton2Click() {
    if (m_folders != nullptr) {
        const std::optional<std::string> folder = m_folders->BrowseForFolder(winId());
        if (folder) {
            m_txtPath->setText(QString::fromStdString(*folder));
        }
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(this, QString());
    if (!folder.isEmpty()) {
        m_txtPath->setText(folder);
    }
}

}  // namespace pellquin
