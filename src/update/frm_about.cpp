#include "update/frm_about.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/constants.h"
#include "update/core/application_info.h"
#include "update/frm_proxy_settings.h"

namespace pellquin {
namespace {

QLabel* NamedLabel(QWidget* parent, const char* name, const QString& text, const char* accessible) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAccessibleName(accessible);
    return label;
}

QPushButton* NamedButton(QWidget* parent, const char* name, const char* text,
                         const char* accessible) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessible);
    return button;
}

// The user's decimal separator when it is one 8-bit character; otherwise none, so that only
// whole numbers convert.
char UserDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80) {
        return static_cast<char>(point.at(0).unicode());
    }
    return '\0';
}

// The hourglass from construction to every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    void Restore() {
        if (m_active) {
            QApplication::restoreOverrideCursor();
            m_active = false;
        }
    }

private:
    bool m_active = true;
};

// A versions file written by hand or pretty-printed puts blanks and line breaks around the
// address; they are no part of it, as they are no part of the version text.
std::string TrimmedAddress(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos) {
        return std::string();
    }
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

}  // namespace

TfrmAbout::TfrmAbout(std::unique_ptr<UpdateChecker> checker, std::unique_ptr<UrlLauncher> launcher,
                     Registry& registry, Prompts& prompts, QWidget* parent)
    : QDialog(parent),
      m_checker(std::move(checker)),
      m_launcher(std::move(launcher)),
      m_registry(registry),
      m_prompts(prompts) {
    setObjectName("frmAbout");
    setWindowTitle("About");
    setAccessibleName("About");

    auto* info = new QGroupBox("Application Information", this);
    info->setObjectName("grpApplicationInformation");
    m_lblAppName = NamedLabel(info, "lblAppName", QString(), "Application Name");
    m_lblVersion = NamedLabel(info, "lblVersion", QString(), "Version");
    m_lblCopyRight = NamedLabel(info, "lblCopyRight", QString(), "Copyright");
    m_lblURL = NamedLabel(info, "lblURL", QString(), "Website");
    m_lblURL->setStyleSheet("color: blue;");
    // Reachable with Tab and opened with Enter or Space, like a link.
    m_lblURL->setFocusPolicy(Qt::StrongFocus);
    m_lblURL->installEventFilter(this);
    auto* grid = new QGridLayout(info);
    const std::pair<const char*, const char*> captions[] = {{"Label1", "Application Name :"},
                                                            {"Label3", "Version :"},
                                                            {"Label4", "Copyright :"},
                                                            {"Label6", "Website : "}};
    QLabel* values[] = {m_lblAppName, m_lblVersion, m_lblCopyRight, m_lblURL};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(
            NamedLabel(info, captions[row].first, captions[row].second, captions[row].second), row,
            0);
        grid->addWidget(values[row], row, 1);
    }

    auto* updates = new QGroupBox("Updates", this);
    updates->setObjectName("grpUpdates");
    auto* cmdUpdates =
        NamedButton(updates, "cmdUpdates", "&Check For Updates", "Check For Updates");
    auto* cmdProxy = NamedButton(updates, "cmdProxy", "&Proxy Settings", "Proxy Settings");
    auto* details = new QGroupBox("Update Details", updates);
    details->setObjectName("grpUpdateDetails");
    m_lblStatus = NamedLabel(details, "lblStatus", QString(), "Update status");
    m_lblStatus2 = NamedLabel(details, "lblStatus2", QString(), "Update verdict");
    m_cmdDownload = NamedButton(details, "cmdDownload", "&Download", "Download");
    m_cmdDownload->hide();
    auto* detailsLayout = new QVBoxLayout(details);
    detailsLayout->addWidget(m_lblStatus);
    detailsLayout->addWidget(m_lblStatus2);
    detailsLayout->addWidget(m_cmdDownload, 0, Qt::AlignLeft);
    auto* updateButtons = new QHBoxLayout;
    updateButtons->addWidget(cmdUpdates);
    updateButtons->addWidget(cmdProxy);
    updateButtons->addStretch();
    auto* updatesLayout = new QVBoxLayout(updates);
    updatesLayout->addLayout(updateButtons);
    updatesLayout->addWidget(details);

    auto* cmdOk = NamedButton(this, "cmdOk", "OK", "OK");
    cmdOk->setDefault(true);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(cmdOk);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addWidget(updates);
    layout->addLayout(okRow);
    // A fixed dialog border: the box is as large as its contents and cannot be resized.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_frmProxySettings = new TfrmProxySettings(this);

    connect(cmdUpdates, &QPushButton::clicked, this, &TfrmAbout::cmdUpdatesClick);
    connect(cmdProxy, &QPushButton::clicked, this, &TfrmAbout::cmdProxyClick);
    connect(m_cmdDownload, &QPushButton::clicked, this, &TfrmAbout::cmdDownloadClick);
    connect(cmdOk, &QPushButton::clicked, this, &TfrmAbout::cmdOkClick);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::ShowApplicationInfo() {
    m_lblVersion->setText(QString::fromStdString(FormattedVersion()));
    m_lblAppName->setText(QString::fromUtf8(kProductName));
    m_lblURL->setText(QString::fromUtf8(WebAddress));
    m_lblCopyRight->setText(QString::fromUtf8(CopyrightText));
}

void TfrmAbout::FormShow() {
    ShowApplicationInfo();
    LoadProxySettings(m_registry, m_proxySettings);
}

void TfrmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
    CentreOverOwner();
    // The window manager frames the box only once it is mapped; centred again then, with the
    // frame known, it stands centred from its first appearance on.
    QMetaObject::invokeMethod(this, &TfrmAbout::CentreOverOwner, Qt::QueuedConnection);
}

void TfrmAbout::CentreOverOwner() {
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner == nullptr || !isVisible()) {
        return;
    }
    const QRect frame = frameGeometry();
    const QPoint corner =
        owner->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
    move(corner);
}

void TfrmAbout::cmdUpdatesClick() {
    WaitCursor cursor;
    repaint();
    m_lblStatus->setText(kCheckingText);
    // The request blocks the window; the text must be on screen before it starts.
    m_lblStatus->repaint();

    const UpdateCheckResult result = m_checker->Check(m_proxySettings, UserDecimalSeparator());
    using Outcome = UpdateCheckResult::Outcome;
    switch (result.outcome) {
        case Outcome::Newer:
        case Outcome::UpToDate: {
            const bool newer = result.outcome == Outcome::Newer;
            m_lblStatus2->setText(newer ? kNewerVersionText : kUpToDateText);
            m_cmdDownload->setVisible(newer);
            m_lblStatus->clear();
            break;
        }
        case Outcome::FileContentError:
            m_lblStatus->setText(kUpdateInfoErrorText);
            break;
        case Outcome::SocketError:
            cursor.Restore();
            m_prompts.ShowCaptionedMessage(kSocketErrorCaption,
                                           SocketErrorMessage(result.socketError));
            break;
        case Outcome::Failure:
            m_lblStatus->clear();
            cursor.Restore();
            m_prompts.ShowError(result.failureText);
            break;
    }
}

void TfrmAbout::cmdDownloadClick() {
    const std::string address = TrimmedAddress(m_checker->DownloadURL());
    if (!IsWebAddress(address)) {
        m_prompts.ShowError("The download address \"" + address + "\" is not a web address");
        return;
    }
    m_launcher->Open(address, static_cast<uint64_t>(winId()));
}

void TfrmAbout::lblURLClick() {
    m_launcher->Open(WebAddress, static_cast<uint64_t>(winId()));
}

void TfrmAbout::cmdProxyClick() {
    m_frmProxySettings->Fill(m_proxySettings);
    if (m_frmProxySettings->exec() != QDialog::Accepted) {
        return;
    }
    m_proxySettings = m_frmProxySettings->Values();
    SaveProxySettings(m_registry, m_proxySettings);
}

void TfrmAbout::SetUnderlined(bool underlined) {
    QFont font = m_lblURL->font();
    font.setUnderline(underlined);
    m_lblURL->setFont(font);
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lblURL) {
        switch (event->type()) {
            case QEvent::Enter:
                lblURLMouseEnter();
                break;
            case QEvent::Leave:
                lblURLMouseLeave();
                break;
            case QEvent::MouseButtonRelease:
                lblURLClick();
                return true;
            case QEvent::KeyPress: {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                    lblURLClick();
                    return true;
                }
                break;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace pellquin
