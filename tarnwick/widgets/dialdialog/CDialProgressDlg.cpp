#include "tarnwick/widgets/dialdialog/CDialProgressDlg.h"

#include "ui_CDialProgressDlg.h"

#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/widgets/common/Artwork.h"

#include <QMessageBox>
#include <QPointer>
#include <QThread>

namespace tarnwick {

namespace {

// Provider texts end their lines with CR LF; Qt's widgets break at LF alone.
QString WidgetText(const std::string& text)
{
    QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

} // namespace

bool CDialProgressDlg::s_dialling = false;

CDialProgressDlg::CDialProgressDlg(QWidget* parent, const RasFunctionTable& table)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CDialProgressDlg>())
{
    m_ui->setupUi(this);
    m_ui->picture148->setPixmap(Pixmap(148, QSize(32, 32)));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(m_ui->idc_2, &QPushButton::clicked, this, &CDialProgressDlg::reject);

    // A worker that hangs up later may hold the last reference; the dial is
    // still released on the thread it belongs to.
    m_progress = std::shared_ptr<DialProgress>(
        new DialProgress(table, *this, [this](int result) { OnFinished(result); }), [](DialProgress* progress) {
            if (QThread::currentThread() == progress->thread())
                delete progress;
            else
                progress->deleteLater();
        });
}

CDialProgressDlg::~CDialProgressDlg()
{
    // The dial outlives the window only for the caller's hang-up: it must
    // neither report to it nor take notifications any more.
    m_closing = true;
    m_progress->Cancel();
}

void CDialProgressDlg::SetSettings(const CRedirectSettings* settings)
{
    m_request
        = DialRequest {settings->GetAutoDialConnection(), settings->GetAutoDialUsername(), settings->GetAutoDialPW()};
}

int CDialProgressDlg::DoModal()
{
    // One dial at a time: the provider's notifications reach only one of
    // them (a cycle's dial that comes while the settings test dials).
    if (s_dialling)
        return kDialCancel;
    s_dialling = true;
    const int result = RunDial();
    s_dialling = false;
    return result;
}

int CDialProgressDlg::RunDial()
{
    m_progress->Start(m_request);
    if (!m_progress->Ended()) {
        m_running = true;
        const QPointer<CDialProgressDlg> self(this);
        exec();
        if (!self)
            return kDialCancel; // the window went with its parent
        m_running = false;
        // However the window closed, the dial no longer reports to it.
        m_progress->Cancel();
    }
    return m_progress->Result();
}

bool CDialProgressDlg::HangUp()
{
    return m_progress->HangUp();
}

void CDialProgressDlg::reject()
{
    // Ends through the dial, so that its result is Cancel and later
    // notifications are dropped; the connection attempt goes on.
    m_progress->Cancel();
}

void CDialProgressDlg::OnFinished(int result)
{
    if (!m_closing && m_running)
        QDialog::done(result);
}

void CDialProgressDlg::SetStatusText(const std::string& text)
{
    m_ui->idc_1066->setText(WidgetText(text));
}

void CDialProgressDlg::SetEntryName(const std::string& name)
{
    m_ui->idc_1073->setText(WidgetText(name));
}

void CDialProgressDlg::SetPhoneNumber(const std::string& number)
{
    m_ui->idc_1072->setText(WidgetText(number));
}

void CDialProgressDlg::ShowError(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), WidgetText(text), QMessageBox::Ok, this);
    box.exec();
}

int RunDialProgressDialog(QWidget* parent, const RasFunctionTable& table, const DialRequest& request,
                          std::shared_ptr<DialProgress>& progress)
{
    CDialProgressDlg dialog(parent, table);
    dialog.SetRequest(request);
    progress = dialog.Progress();
    return dialog.DoModal();
}

} // namespace tarnwick
