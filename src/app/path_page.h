#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "prompts/prompts.h"
#include "browser/browser_services.h"

class QComboBox;
class QPushButton;
class QSplitter;

namespace pellquin {

class TPathBrowser;

// The "Path/File" page: the path box cboFileName with its pick list, the two Check buttons,
// the path browser beside its splitter, and "Map Drive". `host` is what the browser uses of
// the window, all but setPathText, which this page serves itself; its checkPath is also what
// both Check buttons and Enter in the path box run. `prompts` is borrowed and must outlive
// the page; the services are handed to the browser.
class PathPage : public QWidget {
    Q_OBJECT
public:
    PathPage(BrowserServices services, BrowserHost host, Prompts& prompts);

    std::string PathText() const;
    void SetPathText(const std::string& text);
    // The pick list is the path box's items; setting them keeps the box's text.
    std::vector<std::string> PickItems() const;
    void SetPickItems(const std::vector<std::string>& items);
    // Moves or inserts `path` at the top of the pick list.
    void UpdatePickList(const std::string& path);

    // The width of the drive tree beside the file list, in pixels.
    int DrivesWidth() const { return m_drivesWidth; }
    void SetDrivesWidth(int width);

    TPathBrowser& browser() { return *m_browser; }
    // The lower "Check": the window's default button while this page is showing.
    QPushButton* DefaultButton() const { return m_defaultButton; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_checkPath;
    QComboBox* m_cboFileName = nullptr;
    QSplitter* m_splitter = nullptr;
    TPathBrowser* m_browser = nullptr;
    QPushButton* m_defaultButton = nullptr;  // LMDButton1
    int m_drivesWidth = 200;
};

}  // namespace pellquin
