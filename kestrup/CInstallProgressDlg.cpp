#include "kestrup/CInstallProgressDlg.h"

#include "tarnwick/transfer/InternetStatusTextTable.h"
#include "ui_CInstallProgressDlg.h"

#include <QPointer>
#include <QPushButton>

namespace kestrup {

namespace inst = platform::installer;

CInstallProgressDlg::CInstallProgressDlg(std::function<void()> cancel, QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::CInstallProgressDlg)
    , m_cancel(std::move(cancel))
{
    m_ui->setupUi(this);
    connect(m_ui->idc_2, &QPushButton::clicked, this, &CInstallProgressDlg::reject);
}

CInstallProgressDlg::~CInstallProgressDlg()
{
    delete m_ui;
}

void CInstallProgressDlg::reject()
{
    // The window stays until the installer has ended; it closes it then.
    if (m_cancel && m_ui->idc_2->isEnabled()) {
        m_ui->idc_2->setEnabled(false);
        m_ui->idc_1100->setText(QStringLiteral("Installation wird abgebrochen..."));
        m_cancel();
    }
}

void CInstallProgressDlg::Show(const QString& text)
{
    QMetaObject::invokeMethod(
        this, [this, text] { m_ui->idc_1100->setText(text); }, Qt::QueuedConnection);
}

void CInstallProgressDlg::OnStage(inst::InstallStage stage)
{
    switch (stage) {
    case inst::InstallStage::Downloading:
        Show(QStringLiteral("Setupdatei wird heruntergeladen..."));
        break;
    case inst::InstallStage::Verifying:
        Show(QStringLiteral("Prüfsumme der Setupdatei wird überprüft..."));
        break;
    case inst::InstallStage::Extracting:
        Show(QStringLiteral("Setupdatei wird entpackt..."));
        break;
    case inst::InstallStage::Installing:
        // From here on the installation runs to its end.
        QMetaObject::invokeMethod(
            this, [this] { m_ui->idc_2->setEnabled(false); }, Qt::QueuedConnection);
        Show(QStringLiteral("Dateien werden ersetzt..."));
        break;
    }
}

void CInstallProgressDlg::OnInternetStatus(uint32_t code, const std::string& info)
{
    if (!tarnwick::InternetStatusTextTable::Contains(code) || code == 60 || code == 70)
        return;
    QString text = QString::fromUtf8(tarnwick::InternetStatusTextTable::Text(code));
    if (code == 10 || code == 11)
        text += QStringLiteral(" (") + QString::fromStdString(info) + QStringLiteral(")");
    Show(text);
}

void CInstallProgressDlg::OnDownloadProgress(uint64_t received, uint64_t total)
{
    QMetaObject::invokeMethod(
        this,
        [this, received, total] {
            if (total == 0)
                return;
            m_ui->idc_1101->setRange(0, 1000);
            m_ui->idc_1101->setValue(static_cast<int>(std::min<uint64_t>(1000, received * 1000 / total)));
        },
        Qt::QueuedConnection);
}

} // namespace kestrup
