#include "kestrup/CKestrupDlg.h"

#include "kestrup/CAboutDlg.h"
#include "kestrup/CInstallProgressDlg.h"
#include "kestrup/CKestrupApp.h"
#include "kestrup/CUpdateFlow.h"
#include "kestrup/KestrupTexts.h"
#include "tarnwick/messages/WindowMessages.h"
#include "ui_CKestrupDlg.h"

#include <QAction>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QThread>

#include <thread>

namespace kestrup {

QString DisplayText(const std::string& text)
{
    QString display = QString::fromUtf8(text);
    display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return display;
}

CKestrupDlg::CKestrupDlg(CKestrupApp& app, QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::CKestrupDlg)
    , m_flow(std::make_unique<CUpdateFlow>(app, *this))
{
    m_ui->setupUi(this);
    setWindowIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    connect(m_ui->idc_1002, &QPushButton::clicked, this, &CKestrupDlg::OnAbout);
    connect(m_ui->idc_2, &QPushButton::clicked, this, &CKestrupDlg::reject);

    // The window's context menu stands in for the system menu.
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* about = new QAction(QString::fromUtf8(IDS_ABOUTBOX), this);
    about->setObjectName(QStringLiteral("idc_%1").arg(IDM_ABOUTBOX));
    connect(about, &QAction::triggered, this, &CKestrupDlg::OnAbout);
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // The flow starts once the window shows and its message loop runs.
    PostMessage(WM_START_UPDATE, 0, 0);
}

CKestrupDlg::~CKestrupDlg()
{
    delete m_ui;
}

void CKestrupDlg::accept()
{
    if (m_bBusy || m_running)
        return;
    QDialog::accept();
}

void CKestrupDlg::reject()
{
    if (m_bBusy)
        return;
    if (m_running) {
        // A running step is ended first; the window closes after the flow.
        m_closeRequested = true;
        if (m_cancelRunning)
            m_cancelRunning();
        return;
    }
    QDialog::reject();
}

intptr_t CKestrupDlg::SendMessage(uint32_t message, uintptr_t, intptr_t lParam)
{
    if (message != tarnwick::WM_STATUS_TEXT || !lParam)
        return 0;
    const std::string text(reinterpret_cast<const char*>(lParam));
    if (QThread::currentThread() == thread())
        SetStatusText(text);
    else
        QMetaObject::invokeMethod(
            this, [this, &text] { SetStatusText(text); }, Qt::BlockingQueuedConnection);
    return 0;
}

void CKestrupDlg::PostMessage(uint32_t message, uintptr_t, intptr_t)
{
    if (message == WM_START_UPDATE)
        QMetaObject::invokeMethod(
            this, [this] { OnStartUpdate(); }, Qt::QueuedConnection);
}

void CKestrupDlg::OnStartUpdate()
{
    m_flow->OnStartUpdate();
    if (m_closeRequested)
        QDialog::reject();
}

void CKestrupDlg::OnAbout()
{
    CAboutDlg about(this);
    about.setWindowIcon(windowIcon());
    about.exec();
}

void CKestrupDlg::SetStepText(const std::string& text)
{
    m_ui->idc_1000->setText(DisplayText(text));
}

void CKestrupDlg::SetStatusText(const std::string& text)
{
    m_ui->idc_1003->setText(DisplayText(text));
}

void CKestrupDlg::ShowInformation(const std::string& text)
{
    QMessageBox::information(this, QStringLiteral("Hinweis"), DisplayText(text));
}

void CKestrupDlg::ShowStop(const std::string& text)
{
    QMessageBox::critical(this, QString::fromUtf8(kAppName), DisplayText(text));
}

void CKestrupDlg::PostCommand(int command)
{
    QMetaObject::invokeMethod(
        this,
        [this, command] {
            if (command == IDOK)
                accept();
            else
                reject();
        },
        Qt::QueuedConnection);
}

void CKestrupDlg::SetBusy(bool busy)
{
    m_bBusy = busy ? 1 : 0;
}

void CKestrupDlg::RunBlocking(const std::function<void()>& work, const std::function<void()>& cancel)
{
    QEventLoop loop;
    m_running = true;
    m_cancelRunning = cancel;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    m_cancelRunning = nullptr;
    m_running = false;
}

platform::installer::InstallObserver* CKestrupDlg::ShowInstallProgress(std::function<void()> cancel)
{
    HideInstallProgress();
    m_progress = new CInstallProgressDlg(std::move(cancel), this);
    m_progress->setWindowIcon(windowIcon());
    m_progress->show();
    return m_progress;
}

void CKestrupDlg::HideInstallProgress()
{
    delete m_progress;
    m_progress = nullptr;
}

} // namespace kestrup
