#include "browser/frm_add_fav.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

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
    move(641, 291);

    // The arrangement of the fixed layout (labels left, edits right, the browse button after
    // the path, the hint below it, OK and Cancel centred at the bottom), sized from the font:
    // fixed pixel sizes cut the hint and hid the labels' colons under the edits.
    auto* label1 = Placed(new QLabel("&Description :", this), "Label1", "Description", 5, 15);
    m_txtDescription = Placed(new QLineEdit(this), "txtDescription", "Description", 70, 11);
    label1->setBuddy(m_txtDescription);
    auto* label2 = Placed(new QLabel("&Path :", this), "Label2", "Path", 5, 45);
    m_txtPath = Placed(new QLineEdit(this), "txtPath", "Path", 70, 40);
    label2->setBuddy(m_txtPath);
    auto* browse =
        Placed(new QPushButton("...", this), "LMDButton2", "Browse for a folder", 423, 41);
    const QFontMetrics metrics(font());
    browse->setFixedWidth(
        std::max(20, metrics.horizontalAdvance("...") + metrics.averageCharWidth() * 2));
    auto* hint = Placed(new QLabel("Drive letter or local form (C:\\Data, /srv/data) or UNC form "
                                   "(\\\\Server\\Share\\Data)",
                                   this),
                        "Label3", "Path forms", 70, 64);
    hint->setStyleSheet("color: blue");
    auto* ok = Placed(new QPushButton("OK", this), "cmdOK", "OK", 156, 91);
    ok->setDefault(true);
    auto* cancel = Placed(new QPushButton("Cancel", this), "LMDButton1", "Cancel", 241, 91);
    const int buttonWidth = std::max({65, ok->sizeHint().width(), cancel->sizeHint().width()});
    ok->setFixedWidth(buttonWidth);
    cancel->setFixedWidth(buttonWidth);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(m_txtDescription, 0, 1, 1, 2);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(m_txtPath, 1, 1);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(hint, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    // The edits at least as wide as laid out (the description's 370 pixels), wider where the
    // hint's font needs it; the box keeps the size its contents give it, as a fixed box did.
    grid->setColumnMinimumWidth(1, 351);
    grid->setSizeConstraint(QLayout::SetFixedSize);

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
