#pragma once

#include <QDialog>

namespace Ui {
class CAboutDlg;
}

namespace kestrup {

// The about box "Info über Kestrup".
class CAboutDlg : public QDialog
{
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    Ui::CAboutDlg* m_ui;
};

} // namespace kestrup
