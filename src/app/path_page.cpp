#include "app/path_page.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/named_widgets.h"
#include "browser/drive_tree.h"
#include "browser/path_browser.h"
#include "settings/settings_store.h"

namespace pellquin {

PathPage::PathPage(BrowserServices services, BrowserHost host, Prompts& prompts)
    : m_checkPath(host.checkPath) {
    Named(this, "tabPath", "Path/File");
    auto* layout = new QVBoxLayout(this);

    auto* pathRow = new QHBoxLayout;
    m_cboFileName = Named(new QComboBox(this), "cboFileName", "Path to check");
    m_cboFileName->setEditable(true);
    // The pick list changes only through UpdatePickList, never by typing Enter.
    m_cboFileName->setInsertPolicy(QComboBox::NoInsert);
    m_cboFileName->setMaxVisibleItems(10);
    m_cboFileName->lineEdit()->setAccessibleName("Path to check");
    m_cboFileName->view()->setAccessibleName("Recently checked paths");
    m_cboFileName->lineEdit()->installEventFilter(this);
    pathRow->addWidget(m_cboFileName, 1);
    QPushButton* check4 = Button("Check", "LMDButton4", "Check the path", this);
    connect(check4, &QPushButton::clicked, this, [this] { m_checkPath(); });
    pathRow->addWidget(check4);
    layout->addLayout(pathRow);

    m_splitter = Named(new QSplitter(Qt::Horizontal, this), "Splitter1", "Tree and file list");
    m_splitter->setHandleWidth(7);
    m_splitter->setChildrenCollapsible(false);
    host.setPathText = [this](const std::string& text) { SetPathText(text); };
    m_browser = new TPathBrowser(m_splitter, std::move(services), std::move(host), prompts);
    QWidget* drives = m_browser->tvwDrives();
    QWidget* files = m_browser->lvwFiles();
    m_splitter->setStretchFactor(1, 1);
    SetDrivesWidth(m_drivesWidth);
    connect(m_splitter, &QSplitter::splitterMoved, this,
            [this] { m_drivesWidth = m_splitter->sizes().value(0, m_drivesWidth); });
    layout->addWidget(m_splitter, 1);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* check1 = Button("&Check", "LMDButton1", "Check", this);
    check1->setDefault(true);
    m_defaultButton = check1;
    connect(check1, &QPushButton::clicked, this, [this] { m_checkPath(); });
    buttonRow->addWidget(check1);
    QPushButton* mapDrive = Button("&Map Drive", "cmdMapDrive", "Map Drive", this);
    connect(mapDrive, &QPushButton::clicked, m_browser, &TPathBrowser::cmdMapDriveClick);
    buttonRow->addWidget(mapDrive);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);

    setTabOrder(m_cboFileName, check4);
    setTabOrder(check4, drives);
    setTabOrder(drives, files);
    setTabOrder(files, check1);
}

std::string PathPage::PathText() const {
    return m_cboFileName->currentText().toStdString();
}

void PathPage::SetPathText(const std::string& text) {
    m_cboFileName->setEditText(QString::fromStdString(text));
}

std::vector<std::string> PathPage::PickItems() const {
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(m_cboFileName->count()));
    for (int i = 0; i < m_cboFileName->count(); ++i) {
        items.push_back(m_cboFileName->itemText(i).toStdString());
    }
    return items;
}

void PathPage::SetPickItems(const std::vector<std::string>& items) {
    // Replacing the items of an editable combo box would put the first one into its edit
    // field; the path box keeps the text the user has.
    const QString text = m_cboFileName->currentText();
    QStringList list;
    list.reserve(static_cast<int>(items.size()));
    for (const std::string& item : items) {
        list.append(QString::fromStdString(item));
    }
    m_cboFileName->clear();
    m_cboFileName->addItems(list);
    m_cboFileName->setCurrentIndex(-1);
    m_cboFileName->setEditText(text);
}

void PathPage::UpdatePickList(const std::string& path) {
    std::vector<std::string> items = PickItems();
    pellquin::UpdatePickList(items, path);
    SetPickItems(items);
}

void PathPage::SetDrivesWidth(int width) {
    m_drivesWidth = width;
    const QList<int> sizes = m_splitter->sizes();
    int total = 0;
    for (int size : sizes) {
        total += size;
    }
    m_splitter->setSizes({width, std::max(total - width, 1)});
}

bool PathPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_cboFileName->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_checkPath();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pellquin
