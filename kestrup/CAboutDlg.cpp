#include "kestrup/CAboutDlg.h"

#include "ui_CAboutDlg.h"

#include <QStyle>

namespace kestrup {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::CAboutDlg)
{
    m_ui->setupUi(this);
    m_ui->idc_static_icon->setPixmap(windowIcon().pixmap(32, 32));
}

CAboutDlg::~CAboutDlg()
{
    delete m_ui;
}

} // namespace kestrup
