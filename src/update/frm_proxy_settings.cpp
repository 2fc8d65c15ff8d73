#include "update/frm_proxy_settings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

namespace pellquin {
namespace {

QLineEdit* NamedEdit(QWidget* parent, const char* name, const char* accessible) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(accessible);
    // Qt limits an edit to 32767 characters unless told otherwise; these have no limit.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

}  // namespace

TfrmProxySettings::TfrmProxySettings(QWidget* parent) : QDialog(parent) {
    setObjectName("frmProxySettings");
    setWindowTitle("Proxy Settings");
    setAccessibleName("Proxy Settings");

    auto* group = new QGroupBox("Proxy Settings", this);
    group->setObjectName("grpProxySettings");
    m_chkUseProxy = new QCheckBox("&Use Proxy Server", group);
    m_chkUseProxy->setObjectName("chkUseProxy");
    m_chkUseProxy->setAccessibleName("Use Proxy Server");
    m_txtHostName = NamedEdit(group, "txtHostName", "Host Name");
    m_txtPort = NamedEdit(group, "txtPort", "Port");
    m_txtUserName = NamedEdit(group, "txtUserName", "User");
    m_txtPassword = NamedEdit(group, "txtPassword", "Password");
    m_txtPassword->setEchoMode(QLineEdit::Password);
    // One "*" per character typed, whatever the style's own mask character.
    m_txtPassword->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");

    auto* form = new QFormLayout(group);
    form->addRow(m_chkUseProxy);
    form->addRow("&Host Name", m_txtHostName);
    form->addRow("&Port", m_txtPort);
    form->addRow("U&ser", m_txtUserName);
    form->addRow("Pass&word", m_txtPassword);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    ok->setAccessibleName("OK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cmdCancel");
    cancel->setAccessibleName("Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_chkUseProxy, m_txtHostName);
    setTabOrder(m_txtHostName, m_txtPort);
    setTabOrder(m_txtPort, m_txtUserName);
    setTabOrder(m_txtUserName, m_txtPassword);
    setTabOrder(m_txtPassword, ok);
    setTabOrder(ok, cancel);

    connect(m_chkUseProxy, &QCheckBox::toggled, this, &TfrmProxySettings::chkUseProxyChange);
    connect(ok, &QPushButton::clicked, this, &TfrmProxySettings::cmdOKClick);
    connect(cancel, &QPushButton::clicked, this, &TfrmProxySettings::cmdCancelClick);
    chkUseProxyChange();
}

void TfrmProxySettings::Fill(const ProxySettings& settings) {
    m_chkUseProxy->setChecked(settings.ProxyEnabled != 0);
    m_txtHostName->setText(QString::fromStdString(settings.ProxyServer));
    m_txtPort->setText(QString::number(settings.ProxyPort));
    m_txtUserName->setText(QString::fromStdString(settings.ProxyUser));
    m_txtPassword->setText(QString::fromStdString(settings.ProxyPassword));
    chkUseProxyChange();
    m_chkUseProxy->setFocus();
}

ProxySettings TfrmProxySettings::Values() const {
    ProxySettings settings;
    settings.ProxyEnabled = m_chkUseProxy->isChecked() ? 1 : 0;
    settings.ProxyServer = m_txtHostName->text().toStdString();
    settings.ProxyPort = ConvertPortText(m_txtPort->text().toStdString());
    settings.ProxyUser = m_txtUserName->text().toStdString();
    settings.ProxyPassword = m_txtPassword->text().toStdString();
    return settings;
}

void TfrmProxySettings::chkUseProxyChange() {
    const bool enabled = m_chkUseProxy->isChecked();
    for (QLineEdit* edit : {m_txtHostName, m_txtPort, m_txtUserName, m_txtPassword}) {
        edit->setEnabled(enabled);
    }
}

}  // namespace pellquin
