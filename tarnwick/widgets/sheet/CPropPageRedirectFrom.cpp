#include "tarnwick/widgets/sheet/CPropPageRedirectFrom.h"

#include "ui_CPropPageRedirectFrom.h"

#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/widgets/common/UrlOpener.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

namespace tarnwick {

CPropPageRedirectFrom::CPropPageRedirectFrom(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageRedirectFrom>())
{
    m_ui->setupUi(this);
    ApplyPageWhatsThis(RedirectFromPageWhatsThis());
    connect(m_ui->idc_1049, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetRedirectUrl(text.toStdString());
        UpdateModified();
    });
    connect(m_ui->idc_1039, &QPushButton::clicked, this, [this] { BrowserTest(); });
}

CPropPageRedirectFrom::~CPropPageRedirectFrom() = default;

void CPropPageRedirectFrom::OnInitDialog()
{
    m_ui->idc_1058->setText(QStringLiteral(
        "Tragen Sie hier die vollständige Internetadresse der Webseite ein, die vom Internet auf Ihren Computer "
        "umleiten soll.\nDie Eingabe muss folgendem Format entsprechen: http://Domäne/Webseite\nDomäne: Ihre "
        "Web-Domain (z. B. www.ihre-domain.de)\nWebseite: die umleidende Webseite (z. B. index.htm)"));
    Fill();
    m_bInitialized = true;
}

void CPropPageRedirectFrom::OnSetActive()
{
    Fill();
}

void CPropPageRedirectFrom::Fill()
{
    m_ui->idc_1049->setText(QString::fromStdString(m_pSettings->GetRedirectUrl()));
    // Only the DNS name kept current: the page's address is not used.
    m_ui->idc_1049->setEnabled(m_pSettings->IsRedirectPageOn());
    UpdateModified();
}

bool CPropPageRedirectFrom::OnApply()
{
    // Without the page (only the DNS name kept current) its address may stay empty.
    if (!m_pSettings->IsRedirectPageOn() || !m_pSettings->GetPageFileName().empty())
        return true;
    ShowMessage(this, QMessageBox::Critical, "Fehler",
                "Es wurde kein Webseitenname mit angegeben.\r\nTragen Sie den Namen der Webseite am Ende der "
                "Internetadresse ein.");
    ActivateSelf();
    return false;
}

void CPropPageRedirectFrom::BrowserTest()
{
    // What is typed, stored or not, and even an address the page would refuse.
    OpenUrl(QUrl(m_ui->idc_1049->text()), this, [this](const QString& text) {
        ShowMessage(this, QMessageBox::Critical, "Fehler",
                    "Fehler beim Starten des Internet-Browsers!\r\n" + text.toStdString());
    });
}

} // namespace tarnwick
