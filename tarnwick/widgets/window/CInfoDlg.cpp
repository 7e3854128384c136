#include "tarnwick/widgets/window/CInfoDlg.h"

#include "tarnwick/resources/StringTable.h"
#include "tarnwick/widgets/common/Artwork.h"
#include "tarnwick/widgets/window/CHyperLink.h"
#include "ui_CInfoDlg.h"

#include <QMessageBox>

namespace tarnwick {

CInfoDlg::CInfoDlg(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CInfoDlg>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(Icon(128));
    m_ui->picture136->setPixmap(Pixmap(136));
    m_ui->picture128->setPixmap(Pixmap(128, QSize(32, 32)));
    m_ui->idc_1040->setText(QString::fromStdString(resources::LoadString(resources::IDS_VERSION)));
    // The forum's address follows the maker's host, which a user may point elsewhere.
    m_ui->idc_1035->SetUrl(QString::fromStdString(resources::LoadString(resources::IDS_FORUM_URL)));
    connect(m_ui->idc_1, &QPushButton::clicked, this, &QDialog::accept);
    // The main window's status list lies behind this modal dialog: the failure shows here.
    connect(m_ui->idc_1035, &CHyperLink::openFailed, this,
            [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Fehler"), text); });
}

CInfoDlg::~CInfoDlg() = default;

CHyperLink* CInfoDlg::ForumLink() const
{
    return m_ui->idc_1035;
}

} // namespace tarnwick
