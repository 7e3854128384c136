#include "tarnwick/widgets/sheet/CPropPageAllgemein.h"

#include "ui_CPropPageAllgemein.h"

#include "tarnwick/cycle/ConnectionTest.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/resources/ServiceHost.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/SettingsRules.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace tarnwick {

CPropPageAllgemein::CPropPageAllgemein(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageAllgemein>())
{
    m_ui->setupUi(this);
    MakeDigitsOnly(m_ui->idc_1017);
    m_ui->idc_1018->SetBuddy(m_ui->idc_1017);
    ApplyPageWhatsThis(GeneralPageWhatsThis());

    connect(m_ui->idc_1069, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetExtMessages(checked ? 1 : 0);
        UpdateModified();
    });
    connect(m_ui->idc_1070, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetClientIpByServer(checked ? 1 : 0);
        UpdateModified();
    });
    connect(m_ui->idc_1017, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetWaitTimeInMin(FieldNumber(text)); // the setter keeps 1..120
        UpdateModified();
    });
    connect(m_ui->idc_1075, &QLineEdit::textEdited, this, [this] {
        if (!m_bInitialized)
            return;
        m_bServiceHostEdited = true;
        m_pSettings->SetModified(1); // OK becomes available; the host itself waits in the field
        UpdateModified();
    });
    connect(m_ui->idc_1071, &QPushButton::clicked, this, [this] {
        if (m_bInitialized)
            TestConnection();
    });
}

CPropPageAllgemein::~CPropPageAllgemein() = default;

void CPropPageAllgemein::OnInitDialog()
{
    m_ui->idc_1018->SetRange(1, 60);
    // Empty stands for the host the build knows, shown greyed as the field's hint.
    const std::string host = resources::ServiceHost();
    m_ui->idc_1075->setPlaceholderText(QString::fromUtf8(resources::BuiltInServiceHost()));
    m_ui->idc_1075->setText(host == resources::BuiltInServiceHost() ? QString() : QString::fromStdString(host));
    Fill();
    m_bInitialized = true;
}

void CPropPageAllgemein::Fill()
{
    m_ui->idc_1069->setChecked(m_pSettings->GetExtMessages() != 0);
    m_ui->idc_1070->setChecked(m_pSettings->GetClientIpByServer() != 0);
    m_ui->idc_1017->setText(QString::number(m_pSettings->GetWaitTimeInMin()));
}

void CPropPageAllgemein::TestConnection()
{
    if (m_bTesting)
        return;
    m_bTesting = true;
    m_ui->idc_1071->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string typed = TypedServiceHost();
    const std::string url = m_bServiceHostEdited && resources::IsValidServiceHost(typed)
        ? resources::ClientIpUrlOf(typed)
        : Sheet()->Environment().clientIpUrl;
    // The answer comes back on this thread, and only while the page is still there.
    ConnectionTest::Start(Sheet()->Environment().services, url, m_pSettings->GetAddressFamily(),
                          [page = QPointer<CPropPageAllgemein>(this)](bool reached) {
                              QMetaObject::invokeMethod(
                                  qApp,
                                  [page, reached] {
                                      QApplication::restoreOverrideCursor();
                                      if (page)
                                          page->OnConnectionTested(reached);
                                  },
                                  Qt::QueuedConnection);
                          });
}

void CPropPageAllgemein::OnConnectionTested(bool reached)
{
    m_bTesting = false;
    m_ui->idc_1071->setEnabled(true);
    if (reached) {
        ShowMessage(this, QMessageBox::Information, "Test erfolgreich",
                    "Der Server ist erreichbar.\r\nDie Client-IP-Adresse sollte nur vom Server abgeholt werden, "
                    "wenn die direkte Ermittlung fehlschlägt.");
        return;
    }
    ShowMessage(this, QMessageBox::Critical, "Fehler",
                "Der Server ist nicht erreichbar!\r\nDie Client-IP-Adresse kann nicht vom Server abgeholt werden. "
                "Entweder besteht die Verbindung zum Server nicht oder der Server ist kurzzeitig außer Betrieb.");
    m_pSettings->SetClientIpByServer(0);
    Fill();
    UpdateModified();
}

std::string CPropPageAllgemein::TypedServiceHost() const
{
    return m_ui->idc_1075->text().trimmed().toStdString();
}

bool CPropPageAllgemein::OnApply()
{
    const std::string typed = TypedServiceHost();
    if (!m_bServiceHostEdited || typed.empty() || resources::IsValidServiceHost(typed))
        return true;
    ShowMessage(this, QMessageBox::Critical, "Fehler",
                "Ungültiger VELT-Server: \"" + typed
                    + "\".\r\nErlaubt sind ein Hostname oder eine IP-Adresse, wahlweise mit \":Port\" (1 bis "
                      "65535), z. B. server.example.org:8080. Leer lassen für den eingebauten Server.");
    ActivateSelf();
    m_ui->idc_1075->setFocus();
    return false;
}

bool CPropPageAllgemein::StoreServiceHost()
{
    if (!m_bServiceHostEdited)
        return true;
    std::string typed = TypedServiceHost();
    if (typed == resources::BuiltInServiceHost())
        typed.clear();
    if (resources::StoreServiceHost(typed))
        return true;
    ShowMessage(this, QMessageBox::Critical, "Fehler",
                "Der VELT-Server konnte nicht gespeichert werden; es gilt weiter " + resources::ServiceHost() + ".");
    return false;
}

} // namespace tarnwick
