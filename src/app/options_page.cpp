#include "app/options_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <initializer_list>

#include "app/named_widgets.h"
#include "shell/context_menus.h"

namespace pellquin {
namespace {

// Selects or deselects one radio button. Deselecting leaves its group with none selected,
// which an exclusive group does not allow by itself.
void SetSelected(QRadioButton* button, bool selected) {
    if (selected) {
        button->setChecked(true);
        return;
    }
    QButtonGroup* group = button->group();
    group->setExclusive(false);
    button->setChecked(false);
    group->setExclusive(true);
}

// The group decides the exclusivity. The buttons stay auto-exclusive all the same: that is
// what makes the accessibility layer announce a checkable button as a radio button rather
// than as a check box.
QButtonGroup* ExclusiveGroup(QObject* parent, std::initializer_list<QRadioButton*> buttons) {
    auto* group = new QButtonGroup(parent);
    group->setExclusive(true);
    for (QRadioButton* button : buttons) {
        button->setAutoExclusive(true);
        group->addButton(button);
    }
    return group;
}

}  // namespace

OptionsPage::OptionsPage(SettingsStore& settings, ContextMenus& contextMenus)
    : m_settings(settings) {
    Named(this, "Options", "Options");
    auto* layout = new QVBoxLayout(this);

    auto* group1 =
        Named(new QGroupBox("Pellquin Options", this), "LMDGroupBox1", "Pellquin Options");
    auto* group1Layout = new QVBoxLayout(group1);
    m_chkPromptClearConnection = Named(new QCheckBox("Confirm on Clear Connection", group1),
                                       "chkPromptClearConnection", "Confirm on Clear Connection");
    m_chkShowDirectoryNames =
        Named(new QCheckBox("Show Directory names in right side panel", group1),
              "chkShowDirectoryNames", "Show Directory names in right side panel");
    m_chkPromptClearConnection->setChecked(true);
    m_chkShowDirectoryNames->setChecked(true);
    group1Layout->addWidget(m_chkPromptClearConnection);
    group1Layout->addWidget(m_chkShowDirectoryNames);
    layout->addWidget(group1);

    auto* group2 = Named(new QGroupBox("Query Mechanism", this), "LMDGroupBox2", "Query Mechanism");
    auto* group2Layout = new QVBoxLayout(group2);
    m_optDirectThenService =
        Named(new QRadioButton("Try direct API's followed by Pellquin service", group2),
              "optDirectThenService", "Try direct API's followed by Pellquin service");
    m_optDirectOnly = Named(new QRadioButton("Use Direct API's Only", group2), "optDirectOnly",
                            "Use Direct API's Only");
    m_optServiceOnly = Named(new QRadioButton("Use Pellquin Service Only", group2),
                             "optServiceOnly", "Use Pellquin Service Only");
    ExclusiveGroup(group2, {m_optDirectThenService, m_optDirectOnly, m_optServiceOnly});
    m_optDirectThenService->setChecked(true);
    group2Layout->addWidget(m_optDirectThenService);
    group2Layout->addWidget(m_optDirectOnly);
    group2Layout->addWidget(m_optServiceOnly);
    layout->addWidget(group2);

    auto* group5 = Named(new QGroupBox("Results Filename Format", this), "LMDGroupBox5",
                         "Results Filename Format");
    auto* group5Layout = new QVBoxLayout(group5);
    m_optClientRelative = Named(new QRadioButton("Client relative filename format", group5),
                                "optClientRelative", "Client relative filename format");
    m_optServerRelative = Named(new QRadioButton("Server relative filename format", group5),
                                "optServerRelative", "Server relative filename format");
    ExclusiveGroup(group5, {m_optClientRelative, m_optServerRelative});
    m_optClientRelative->setChecked(true);
    group5Layout->addWidget(m_optClientRelative);
    group5Layout->addWidget(m_optServerRelative);
    layout->addWidget(group5);

    m_chkAutoRefresh = Named(new QCheckBox("Auto &refresh every", this), "chkAutoRefresh",
                             "Auto refresh the results");
    m_spnAutoRefresh =
        Named(new QSpinBox(this), "spnAutoRefresh", "Seconds between automatic refreshes");
    m_spnAutoRefresh->setRange(1, 3600);
    m_spnAutoRefresh->setValue(30);
    m_spnAutoRefresh->setSuffix(" s");
    m_spnAutoRefresh->setEnabled(false);
    connect(m_chkAutoRefresh, &QCheckBox::toggled, m_spnAutoRefresh, &QSpinBox::setEnabled);
    connect(m_chkAutoRefresh, &QCheckBox::toggled, this, &OptionsPage::autoRefreshChanged);
    connect(m_spnAutoRefresh, qOverload<int>(&QSpinBox::valueChanged), this,
            &OptionsPage::autoRefreshChanged);
    // Beside Set As Default, which saves it, so the page keeps its height.
    auto* setDefaultRow = new QHBoxLayout;
    QPushButton* setDefault = Button("Set As &Default", "cmdSetDefault", "Set As Default", this);
    connect(setDefault, &QPushButton::clicked, this, &OptionsPage::SaveOptions);
    setDefaultRow->addWidget(setDefault);
    setDefaultRow->addSpacing(24);
    setDefaultRow->addWidget(m_chkAutoRefresh);
    setDefaultRow->addWidget(m_spnAutoRefresh);
    setDefaultRow->addStretch(1);
    setTabOrder(setDefault, m_chkAutoRefresh);
    setTabOrder(m_chkAutoRefresh, m_spnAutoRefresh);
    layout->addLayout(setDefaultRow);

    auto* group6 = Named(new QGroupBox("Windows Explorer Add In", this), "LMDGroupBox6",
                         "Windows Explorer Add In");
    auto* group6Layout = new QVBoxLayout(group6);
    auto* addInText = new QLabel(
        "This adds a \"Check with Pellquin\" option to the context (right click) menus within "
        "Windows explorer. This enables you to check files without navigating through Pellquin",
        group6);
    addInText->setObjectName("lblExplorerAddIn");
    addInText->setWordWrap(true);
    group6Layout->addWidget(addInText);
    auto* addInButtons = new QHBoxLayout;
    QPushButton* installMenus = Button("Install Menus", "LMDButton2", "Install Menus", group6);
    QPushButton* removeMenus = Button("Remove Menus", "LMDButton3", "Remove Menus", group6);
    connect(installMenus, &QPushButton::clicked, this,
            [&contextMenus] { contextMenus.InstallContextMenus(); });
    connect(removeMenus, &QPushButton::clicked, this,
            [&contextMenus] { contextMenus.RemoveContextMenus(); });
    addInButtons->addWidget(installMenus);
    addInButtons->addWidget(removeMenus);
    addInButtons->addStretch(1);
    group6Layout->addLayout(addInButtons);
    layout->addWidget(group6);
    layout->addStretch(1);
}

OptionsState OptionsPage::Options() const {
    OptionsState options;
    options.promptOnClear = m_chkPromptClearConnection->isChecked();
    options.showDirectories = m_chkShowDirectoryNames->isChecked();
    options.directThenService = m_optDirectThenService->isChecked();
    options.directOnly = m_optDirectOnly->isChecked();
    options.serviceOnly = m_optServiceOnly->isChecked();
    options.clientRelative = m_optClientRelative->isChecked();
    options.serverRelative = m_optServerRelative->isChecked();
    return options;
}

void OptionsPage::SetOptions(const OptionsState& options) {
    m_chkPromptClearConnection->setChecked(options.promptOnClear);
    m_chkShowDirectoryNames->setChecked(options.showDirectories);
    SetSelected(m_optDirectThenService, options.directThenService);
    SetSelected(m_optDirectOnly, options.directOnly);
    SetSelected(m_optServiceOnly, options.serviceOnly);
    SetSelected(m_optClientRelative, options.clientRelative);
    SetSelected(m_optServerRelative, options.serverRelative);
}

void OptionsPage::LoadOptions() {
    // The store assigns only the values it read; the others keep the controls' state.
    OptionsState options = Options();
    m_settings.LoadOptions(options);
    SetOptions(options);
    int32_t seconds = AutoRefreshSeconds();
    m_settings.LoadAutoRefresh(seconds);
    SetAutoRefreshSeconds(seconds);
}

void OptionsPage::SaveOptions() {
    m_settings.SaveOptions(Options());
    m_settings.SaveAutoRefresh(AutoRefreshSeconds());
}

int OptionsPage::AutoRefreshSeconds() const {
    return m_chkAutoRefresh->isChecked() ? m_spnAutoRefresh->value() : 0;
}

void OptionsPage::SetAutoRefreshSeconds(int seconds) {
    if (seconds > 0) {
        m_spnAutoRefresh->setValue(seconds);
    }
    m_chkAutoRefresh->setChecked(seconds > 0);
}

int OptionsPage::TryDirect() const {
    return m_optDirectThenService->isChecked() || m_optDirectOnly->isChecked() ? 1 : 0;
}

int OptionsPage::TryService() const {
    return m_optDirectThenService->isChecked() || m_optServiceOnly->isChecked() ? 1 : 0;
}

bool OptionsPage::PromptOnClear() const {
    return m_chkPromptClearConnection->isChecked();
}

bool OptionsPage::ShowDirectoryNames() const {
    return m_chkShowDirectoryNames->isChecked();
}

bool OptionsPage::ServerRelative() const {
    return m_optServerRelative->isChecked();
}

}  // namespace pellquin
