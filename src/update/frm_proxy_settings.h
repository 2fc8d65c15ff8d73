#pragma once

#include <QDialog>

#include "settings/proxy_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pellquin {

// The proxy dialog: edits a copy of the proxy settings. Kept between openings, so it holds
// what was last typed until the next Fill.
class TfrmProxySettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmProxySettings(QWidget* parent = nullptr);

    // Shows `settings` in the controls (the port in decimal) and applies the enabling rule.
    void Fill(const ProxySettings& settings);
    // The controls' values as typed, the port converted by ConvertPortText; ProxyEnabled 0/1.
    ProxySettings Values() const;

public slots:
    // The four edits are enabled exactly when the box is checked.
    void chkUseProxyChange();
    void cmdOKClick() { done(QDialog::Accepted); }
    void cmdCancelClick() { done(QDialog::Rejected); }

private:
    QCheckBox* m_chkUseProxy = nullptr;
    QLineEdit* m_txtHostName = nullptr;
    QLineEdit* m_txtPort = nullptr;
    QLineEdit* m_txtUserName = nullptr;
    QLineEdit* m_txtPassword = nullptr;
};

}  // namespace pellquin
