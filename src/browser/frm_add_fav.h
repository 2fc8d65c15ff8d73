#pragma once

#include <QDialog>

#include "platform/folder_browser.h"
#include "prompts/prompts.h"

class QLineEdit;
class QPushButton;

namespace pellquin {

// frmAddFav: asks for a favourite's description and path. Ends with Accepted (OK) only
// when the path is not empty and the description holds no "|||"; an empty description
// becomes the path.
class TfrmAddFav : public QDialog {
    Q_OBJECT
public:
    // `folders` may be null: the toolkit's folder dialog serves. Both are borrowed.
    TfrmAddFav(Prompts& prompts, FolderBrowser* folders, QWidget* parent);

    QLineEdit* txtDescription() const { return m_txtDescription; }
    QLineEdit* txtPath() const { return m_txtPath; }

    void cmdOKClick();
    void LMDButton1Click();
    void LMDButton2Click();

private:
    Prompts& m_prompts;
    FolderBrowser* m_folders;
    QLineEdit* m_txtDescription = nullptr;
    QLineEdit* m_txtPath = nullptr;
};

}  // namespace pellquin
