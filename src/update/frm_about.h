#pragma once

#include <QDialog>
#include <memory>

#include "platform/registry.h"
#include "platform/url_launcher.h"
#include "prompts/prompts.h"
#include "settings/proxy_settings.h"
#include "update/core/update_checker.h"

class QLabel;
class QPushButton;

namespace pellquin {

class TfrmProxySettings;

// The About box: application name, version, copyright and web address, the update check and
// the way to the proxy dialog. Kept between showings, so the last check's details stay.
// Holds the program's one proxy settings record. `registry` and `prompts` are borrowed and
// must outlive the box; `prompts` shows the socket-error box and, for every other failure of
// a check, the application's exception box.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(std::unique_ptr<UpdateChecker> checker, std::unique_ptr<UrlLauncher> launcher,
              Registry& registry, Prompts& prompts, QWidget* parent = nullptr);
    ~TfrmAbout() override;

    // Fills the name, version, copyright and web address labels.
    void ShowApplicationInfo();

    ProxySettings& proxySettings() { return m_proxySettings; }
    TfrmProxySettings& frmProxySettings() { return *m_frmProxySettings; }
    const std::string& DownloadURL() const { return m_checker->DownloadURL(); }

public slots:
    void cmdUpdatesClick();
    void cmdDownloadClick();
    void cmdProxyClick();
    void lblURLClick();
    // Hovering underlines the web address; colour and cursor stay.
    void lblURLMouseEnter() { SetUnderlined(true); }
    void lblURLMouseLeave() { SetUnderlined(false); }
    void cmdOkClick() { done(QDialog::Accepted); }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Centres the box's frame over its owner's window (at every show; the frame of a box that
    // is not yet framed is taken as it is and centred again once it is known).
    void CentreOverOwner();
    // The show event: the information labels, then the proxy settings from the registry.
    void FormShow();
    void SetUnderlined(bool underlined);

    std::unique_ptr<UpdateChecker> m_checker;
    std::unique_ptr<UrlLauncher> m_launcher;
    Registry& m_registry;
    Prompts& m_prompts;
    ProxySettings m_proxySettings;

    TfrmProxySettings* m_frmProxySettings = nullptr;
    QLabel* m_lblAppName = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblCopyRight = nullptr;
    QLabel* m_lblURL = nullptr;
    QLabel* m_lblStatus = nullptr;
    QLabel* m_lblStatus2 = nullptr;
    QPushButton* m_cmdDownload = nullptr;
};

}  // namespace pellquin
