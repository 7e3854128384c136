#include "tarnwick/widgets/sheet/CPropPageDnsName.h"

#include "ui_CPropPageDnsName.h"

#include "tarnwick/dns/PublishedNameCheck.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/SettingsFieldTable.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QApplication>
#include <QPointer>

namespace tarnwick {

namespace {

// DnsUpdate's values, in the order of the kind list.
constexpr int kKindOff = 0;
constexpr int kKindUpdateService = 1;
constexpr int kKindDnsServer = 2;

// The --set refusal of a value, if any.
std::optional<std::string> Refusal(std::string_view name, const QString& value)
{
    const SettingsField* field = FindSettingsField(name);
    return field ? CheckSettingsValue(*field, value.toStdString()) : std::nullopt;
}

} // namespace

CPropPageDnsName::CPropPageDnsName(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageDnsName>())
{
    m_ui->setupUi(this);
    ApplyPageWhatsThis(DnsNamePageWhatsThis());

    OnTextChanged(m_ui->idc_1102, &CRedirectSettings::SetDnsName);
    OnTextChanged(m_ui->idc_1103, &CRedirectSettings::SetDnsServer);
    OnTextChanged(m_ui->idc_1104, &CRedirectSettings::SetDnsUser);
    OnTextChanged(m_ui->idc_1105, &CRedirectSettings::SetDnsPassword);
    OnTextChanged(m_ui->idc_1107, &CRedirectSettings::SetDnsKey);
    OnTextChanged(m_ui->idc_1108, &CRedirectSettings::SetDnsCheckServer);
    // A user's choice only: filling the page selects without a notification.
    connect(m_ui->idc_1101, &QComboBox::activated, this, [this](int index) { OnKindChosen(index); });
    connect(m_ui->idc_1109, &QCheckBox::clicked, this, [this](bool checked) {
        m_pSettings->SetRedirectPage(checked ? 1 : 0);
        UpdateModified();
    });
    connect(m_ui->idc_1110, &QPushButton::clicked, this, [this] { CheckNow(); });
}

CPropPageDnsName::~CPropPageDnsName() = default;

void CPropPageDnsName::OnTextChanged(QLineEdit* field, void (CRedirectSettings::*setter)(std::string_view))
{
    connect(field, &QLineEdit::textChanged, this, [this, setter](const QString& text) {
        if (!m_bInitialized)
            return;
        (m_pSettings->*setter)(text.toStdString());
        UpdateModified();
    });
}

void CPropPageDnsName::OnInitDialog()
{
    Fill();
    m_bInitialized = true;
}

void CPropPageDnsName::OnSetActive()
{
    // A backup read on another page may have brought other values.
    Fill();
}

void CPropPageDnsName::Fill()
{
    const bool initialized = m_bInitialized;
    m_bInitialized = false;
    m_ui->idc_1101->setCurrentIndex(m_pSettings->GetDnsUpdate());
    m_ui->idc_1102->setText(QString::fromStdString(m_pSettings->GetDnsName()));
    m_ui->idc_1103->setText(QString::fromStdString(m_pSettings->GetDnsServer()));
    m_ui->idc_1104->setText(QString::fromStdString(m_pSettings->GetDnsUser()));
    const QString password = QString::fromStdString(m_pSettings->GetDnsPassword());
    m_ui->idc_1105->setText(password);
    m_ui->idc_1106->setText(password); // an unchanged password passes the check
    m_ui->idc_1107->setText(QString::fromStdString(m_pSettings->GetDnsKey()));
    m_ui->idc_1108->setText(QString::fromStdString(m_pSettings->GetDnsCheckServer()));
    m_ui->idc_1109->setChecked(m_pSettings->GetRedirectPage() != 0);
    m_bInitialized = initialized;
    EnableByKind();
    UpdateModified();
}

void CPropPageDnsName::EnableByKind()
{
    const int kind = m_pSettings->GetDnsUpdate();
    const bool on = kind != kKindOff;
    for (QWidget* control : {static_cast<QWidget*>(m_ui->idc_1102), static_cast<QWidget*>(m_ui->idc_1103),
                             static_cast<QWidget*>(m_ui->idc_1108), static_cast<QWidget*>(m_ui->idc_1109)})
        control->setEnabled(on);
    m_ui->idc_1110->setEnabled(on && !m_bChecking);
    for (QLineEdit* credential : {m_ui->idc_1104, m_ui->idc_1105, m_ui->idc_1106})
        credential->setEnabled(kind == kKindUpdateService);
    m_ui->idc_1107->setEnabled(kind == kKindDnsServer);
}

void CPropPageDnsName::OnKindChosen(int index)
{
    if (!m_bInitialized || index < kKindOff || index > kKindDnsServer)
        return;
    m_pSettings->SetDnsUpdate(index);
    EnableByKind();
    UpdateModified();
}

bool CPropPageDnsName::Refuse(QLineEdit* field, const std::string& text)
{
    ShowMessage(this, QMessageBox::Critical, "Fehler", text);
    ActivateSelf();
    if (field->isEnabled()) {
        field->setFocus();
        field->selectAll();
    }
    return false;
}

bool CPropPageDnsName::CheckValues()
{
    // Every value as the command line would take it, also those the kind does not use.
    const std::pair<const char*, QLineEdit*> values[] = {
        {"DnsName", m_ui->idc_1102},     {"DnsServer", m_ui->idc_1103}, {"DnsUser", m_ui->idc_1104},
        {"DnsPassword", m_ui->idc_1105}, {"DnsKey", m_ui->idc_1107},    {"DnsCheckServer", m_ui->idc_1108},
    };
    for (const auto& [setting, field] : values) {
        if (const auto refusal = Refusal(setting, field->text()))
            return Refuse(field, *refusal);
    }
    const int kind = m_pSettings->GetDnsUpdate();
    if (kind == kKindOff)
        return true;
    // Without a name or a server nothing could be kept current.
    for (QLineEdit* needed : {m_ui->idc_1102, m_ui->idc_1103}) {
        if (needed->text().isEmpty())
            return Refuse(needed,
                          "Für den DNS-Namen fehlen Angaben.\r\nTragen Sie den Namen und den Server ein "
                          "oder wählen Sie als Art \"aus\".");
    }
    if (kind == kKindUpdateService && m_ui->idc_1106->text() != m_ui->idc_1105->text())
        return Refuse(m_ui->idc_1106, "Das Passwort wurde nicht richtig bestätigt!\r\nGeben Sie es erneut ein.");
    return true;
}

bool CPropPageDnsName::OnApply()
{
    return CheckValues();
}

void CPropPageDnsName::CheckNow()
{
    if (m_bChecking)
        return;
    for (QLineEdit* field : {m_ui->idc_1102, m_ui->idc_1108}) {
        if (const auto refusal = Refusal(field == m_ui->idc_1102 ? "DnsName" : "DnsCheckServer", field->text())) {
            Refuse(field, *refusal);
            return;
        }
    }
    if (m_ui->idc_1102->text().isEmpty()) {
        Refuse(m_ui->idc_1102, "Tragen Sie zuerst den DNS-Namen ein, der geprüft werden soll.");
        return;
    }
    m_bChecking = true;
    m_ui->idc_1110->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The values on the page, saved or not; the answer comes back on this
    // thread, and only while the page is still there.
    StartPublishedNameCheck(m_ui->idc_1102->text().toStdString(), m_ui->idc_1108->text().toStdString(),
                            [page = QPointer<CPropPageDnsName>(this)](PublishedNameReport report) {
                                QMetaObject::invokeMethod(
                                    qApp,
                                    [page, report = std::move(report)] {
                                        QApplication::restoreOverrideCursor();
                                        if (page)
                                            page->OnChecked(report);
                                    },
                                    Qt::QueuedConnection);
                            });
}

void CPropPageDnsName::OnChecked(const PublishedNameReport& report)
{
    m_bChecking = false;
    EnableByKind();
    ShowMessage(this, report.answered ? QMessageBox::Information : QMessageBox::Critical,
                report.answered ? "DNS-Name" : "Fehler", report.text);
}

} // namespace tarnwick
