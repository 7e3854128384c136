#include "tarnwick/widgets/sheet/CPropPageRedirectTo.h"

#include "ui_CPropPageRedirectTo.h"

#include "tarnwick/cycle/LocalServerTest.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/SettingsFieldTable.h"
#include "tarnwick/settings/SettingsRules.h"
#include "tarnwick/widgets/common/UrlOpener.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QApplication>

namespace tarnwick {

CPropPageRedirectTo::CPropPageRedirectTo(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageRedirectTo>())
{
    m_ui->setupUi(this);
    MakeDigitsOnly(m_ui->idc_1028);
    m_ui->idc_1029->SetBuddy(m_ui->idc_1028);
    m_ui->idc_1031->installEventFilter(this);
    m_ui->idc_1033->setCurrentIndex(-1); // an unknown protocol shows none until one is chosen
    ApplyPageWhatsThis(RedirectToPageWhatsThis());

    // A user's choice only: filling the list is no change.
    connect(m_ui->idc_1033, &QComboBox::activated, this, [this](int index) { OnProtocolChosen(index); });
    connect(m_ui->idc_1031, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetLocalWebObject(text.toStdString());
        RefreshRedirectAddress();
        UpdateModified();
    });
    connect(m_ui->idc_1028, &QLineEdit::textChanged, this, [this](const QString& text) { OnPortChanged(text); });
    connect(m_ui->idc_1076, &QComboBox::activated, this, [this](int index) { OnFamilyChosen(index); });
    connect(m_ui->idc_1077, &QLineEdit::textChanged, this, [this](const QString& text) { OnInterfaceIdChanged(text); });
    connect(m_ui->idc_1038, &QCheckBox::clicked, this, [this] { TestLocalServer(false); });
    connect(m_ui->idc_1045, &QPushButton::clicked, this, [this] { BrowserTest(); });
}

CPropPageRedirectTo::~CPropPageRedirectTo() = default;

void CPropPageRedirectTo::OnInitDialog()
{
    m_ui->idc_1029->SetRange(1, 65535);
    Fill();
    m_bInitialized = true;
}

void CPropPageRedirectTo::OnSetActive()
{
    Fill();
}

void CPropPageRedirectTo::Fill()
{
    const int index = ProtocolIndexForServiceType(m_pSettings->GetLocalServiceType());
    if (index >= 0)
        m_ui->idc_1033->setCurrentIndex(index);

    const QString server = QString::fromStdString(m_pSettings->GetLocalServerName());
    m_ui->idc_1027->setText(server);
    m_ui->idc_1038->setEnabled(!server.isEmpty());
    if (server.isEmpty()) {
        m_ui->idc_1038->setChecked(false);
        m_ui->idc_1037->setPlainText(
            UserText("Um den lokalen Server zu testen, muss die Verbindung zum in URL angegebenen Server bestehen. "
                     "Betätigen Sie \"IP-Adressen ermitteln\", um die IP-Adresse des lokalen Servers zu ermitteln."));
    }

    const bool v6 = m_pSettings->GetAddressFamily() == 6;
    m_ui->idc_1076->setCurrentIndex(v6 ? 1 : 0);
    m_ui->idc_1077->setEnabled(v6);
    m_ui->idc_1077->setText(QString::fromStdString(m_pSettings->GetIpv6InterfaceId()));

    m_ui->idc_1031->setText(QString::fromStdString(m_pSettings->GetLocalWebObject()));
    const QString port = QString::number(m_pSettings->GetLocalPort());
    if (m_ui->idc_1028->text() == port)
        OnPortChanged(port); // a refill counts as a change of the port, which tests when asked to
    else
        m_ui->idc_1028->setText(port);
    RefreshRedirectAddress();
    UpdateModified();
}

void CPropPageRedirectTo::RefreshRedirectAddress()
{
    m_ui->idc_1030->setText(QString::fromStdString(m_pSettings->GetRedirectAddress()));
}

void CPropPageRedirectTo::OnProtocolChosen(int index)
{
    if (!m_bInitialized)
        return;
    if (const auto choice = ProtocolForIndex(index)) {
        m_pSettings->SetLocalServiceType(choice->serviceType);
        m_pSettings->SetLocalPort(choice->port);
        m_ui->idc_1028->setText(QString::number(choice->port));
    }
    RefreshRedirectAddress();
    UpdateModified();
    TestLocalServer(false);
}

void CPropPageRedirectTo::OnPortChanged(const QString& text)
{
    if (!m_bInitialized)
        return;
    if (const auto port = FieldPort(text, 1))
        m_pSettings->SetLocalPort(*port);
    RefreshRedirectAddress();
    UpdateModified();
    TestLocalServer(false);
}

void CPropPageRedirectTo::OnFamilyChosen(int index)
{
    if (!m_bInitialized)
        return;
    m_pSettings->SetAddressFamily(index == 1 ? 6 : 4);
    m_ui->idc_1077->setEnabled(index == 1);
    UpdateModified();
}

void CPropPageRedirectTo::OnInterfaceIdChanged(const QString& text)
{
    if (!m_bInitialized)
        return;
    // Only a valid identifier (or none) reaches the record; OK refuses the rest.
    const std::string value = text.trimmed().toStdString();
    if (!CheckSettingsValue(*FindSettingsField("Ipv6InterfaceId"), value))
        m_pSettings->SetIpv6InterfaceId(value);
    UpdateModified();
}

bool CPropPageRedirectTo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->idc_1031 && event->type() == QEvent::FocusOut && m_bInitialized)
        TestLocalServer(false);
    return CSettingsPage::eventFilter(watched, event);
}

bool CPropPageRedirectTo::TestLocalServer(bool forced)
{
    if (!forced && !m_ui->idc_1038->isChecked())
        return false;
    if (m_pSettings->GetLocalServerName().empty()) {
        m_ui->idc_1037->setPlainText(UserText("Die Verbindung zum Server muss bestehen, um den Test durchzuführen."));
        return false;
    }
    ++m_testsRun;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LocalServerTestResult result = TestLocalServerConnection(*m_pSettings);
    QApplication::restoreOverrideCursor();
    m_ui->idc_1037->setPlainText(UserText(result.statusText));
    return result.ok;
}

bool CPropPageRedirectTo::OnApply()
{
    const std::string interfaceId = m_ui->idc_1077->text().trimmed().toStdString();
    if (const auto refusal = CheckSettingsValue(*FindSettingsField("Ipv6InterfaceId"), interfaceId)) {
        ShowMessage(this, QMessageBox::Critical, "Fehler", *refusal);
        ActivateSelf();
        m_ui->idc_1077->setFocus();
        return false;
    }
    if (TestLocalServer(true))
        return true;
    const auto answer
        = ShowMessage(this, QMessageBox::Question, "Fehler",
                      "Der lokale Server ist nicht erreichbar.\r\nWollen Sie ein anderes Protokoll oder einen anderen "
                      "Port einstellen?",
                      QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return true;
    ActivateSelf();
    return false;
}

void CPropPageRedirectTo::BrowserTest()
{
    if (m_pSettings->GetLocalServerName().empty()) {
        ShowMessage(this, QMessageBox::Critical, "Fehler",
                    "Um den lokalen Server zu testen, muss die Verbindung zum in URL angegebenen Server bestehen.\r\n"
                    "Betätigen Sie \"IP-Adressen ermitteln\" und testen Sie erneut.");
        return;
    }
    const std::string address
        = CRedirectSettings::ComposeUrl(m_pSettings->GetLocalServiceType(), m_pSettings->GetLocalServerName(),
                                        m_pSettings->GetLocalPort(), m_pSettings->GetLocalWebObject());
    OpenUrl(QUrl(QString::fromStdString(address)), this, [this](const QString& text) {
        // No status list at hand behind the modal sheet: a beep alone goes unheard on most desktops.
        QApplication::beep();
        ShowMessage(this, QMessageBox::Critical, "Fehler", text.toStdString());
    });
}

} // namespace tarnwick
