#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CInfoDlg;
}

namespace tarnwick {

class CHyperLink;

// The information dialog: program name, version, copyright and a link to the
// maker's user forum.
class CInfoDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CInfoDlg(QWidget* parent = nullptr);
    ~CInfoDlg() override;

    CHyperLink* ForumLink() const;

private:
    std::unique_ptr<Ui::CInfoDlg> m_ui;
};

} // namespace tarnwick
