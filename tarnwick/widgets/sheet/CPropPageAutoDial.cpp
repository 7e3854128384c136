#include "tarnwick/widgets/sheet/CPropPageAutoDial.h"

#include "ui_CPropPageAutoDial.h"

#include "platform/internet/InternetCheckConnection.h"
#include "platform/internet/InternetConstants.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/dialup/RasOperations.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/widgets/dialdialog/CDialProgressDlg.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QApplication>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnwick {

namespace {

constexpr const char* kReachableText = "Die Verbindung zum angegebenen Server besteht.";
constexpr const char* kUnreachableText
    = "Die Verbindung zum angegebenen Server konnte nicht aufgebaut werden.\r\nKennzeichnen Sie in den MS Internet "
      "Explorer-Einstellungen eine Standardverbindung als \"automatisch verbinden\" oder wählen Sie eine "
      "DFÜ-Verbindung aus der Liste aus.\r\nÜberprüfen Sie auch den in Url angegebene Internetadresse.";
constexpr const char* kAlreadyConnectedText
    = "Die Verbindung zum angegebenen Server besteht bereits.\r\nTrennen Sie die bestehende Verbindung und testen "
      "Sie die DFÜ-Anwahl erneut.\r\nFalls eine Standardverbindung des MS Internet Explorers automatisch gewählt "
      "wird, deaktivieren Sie \"automatisch verbinden\", damit die unabhängige DFÜ-Verbindung gewählt wird.";
constexpr const char* kConnectedAskText
    = "Die Verbindung wurde erfolgreich hergestellt. Sie kann nun wieder getrennt werden.\r\nSoll Tarnwick die "
      "Verbindung trennen?";
constexpr const char* kDialedButUnreachableAskText
    = "Die DFÜ-Verbindung wurde erfolgreich aufgebaut, aber die Verbindung zum Server konnte nicht hergestellt "
      "werden.\r\nÜberprüfen Sie die in Url angegebene Internetadresse oder wählen Sie eine andere DFÜ-Verbindung "
      "aus.\r\nSoll Tarnwick die Verbindung trennen?";
constexpr const char* kSwitchOffText
    = "Wenn die Verbindung nicht hergestellt werden kann, sollte auch die automatische Anwahl deaktiviert werden.";
constexpr const char* kTestCaption = "Anwahl-Prüfung";

QString Local(const char* text)
{
    return QString::fromUtf8(text);
}

std::string Std(const QString& text)
{
    return text.toStdString();
}

bool ServerReachable(const std::string& url)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    platform::InternetError error;
    const bool reachable = platform::InternetCheckConnection(url, platform::FLAG_ICC_FORCE_CONNECTION, error);
    QApplication::restoreOverrideCursor();
    return reachable;
}

} // namespace

CPropPageAutoDial::CPropPageAutoDial(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageAutoDial>())
{
    m_ui->setupUi(this);
    ApplyPageWhatsThis(AutoDialPageWhatsThis());

    connect(m_ui->idc_1061, &QCheckBox::clicked, this, [this](bool checked) { OnAutoDial(checked); });
    // A user's choice only: filling the list selects without a notification.
    connect(m_ui->idc_1063, &QComboBox::activated, this, [this](int index) { OnSelectConnection(index); });
    connect(m_ui->idc_1062, &QPushButton::clicked, this, [this] { OnTestDial(); });
    connect(m_ui->idc_1006, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetAutoDialUsername(Std(text));
        UpdateModified();
    });
    connect(m_ui->idc_1007, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetAutoDialPW(Std(text));
        UpdateModified();
    });
}

CPropPageAutoDial::~CPropPageAutoDial() = default;

void CPropPageAutoDial::OnInitDialog()
{
    UpdateControls();
    m_bInitialized = true;
    m_bJustFilled = true;
}

void CPropPageAutoDial::OnSetActive()
{
    // The activation that follows the first filling would ask the provider
    // again (and show an enumeration error twice).
    if (m_bJustFilled) {
        m_bJustFilled = false;
        return;
    }
    // Other pages may have changed the settings meanwhile (RedirectUrl).
    UpdateControls();
}

void CPropPageAutoDial::EnableCredentials(bool enable)
{
    m_ui->idc_1006->setEnabled(enable);
    m_ui->idc_1007->setEnabled(enable);
}

void CPropPageAutoDial::UpdateControls()
{
    const bool autoDial = m_pSettings->GetAutoDial() != 0;
    m_ui->idc_1065->setText(QString::fromStdString(m_pSettings->GetRedirectUrl()));
    m_ui->idc_1061->setChecked(autoDial);
    m_ui->idc_1063->setEnabled(autoDial);
    if (autoDial) {
        FillEntryList();
    } else {
        EnableCredentials(false);
        m_ui->idc_1062->setEnabled(false);
    }
    m_ui->idc_1006->setText(QString::fromStdString(m_pSettings->GetAutoDialUsername()));
    m_ui->idc_1007->setText(QString::fromStdString(m_pSettings->GetAutoDialPW()));
    UpdateModified();
}

const RasFunctionTable& CPropPageAutoDial::RasFunctions() const
{
    return Services().m_rasFunctions;
}

bool CPropPageAutoDial::FillEntryList()
{
    QComboBox* list = m_ui->idc_1063;
    list->clear();
    m_ui->idc_1062->setEnabled(false);
    list->addItem(Local(kStandardConnectionItem));

    const RasEntryList entries = ListRasEntries(RasFunctions());
    if (entries.error != 0)
        ShowMessage(this, QMessageBox::Critical, "Fehler", entries.errorText);
    for (const std::string& name : entries.names)
        list->addItem(QString::fromStdString(name));

    // The stored entry, also when it is only the beginning of an item's name.
    const int index = list->findText(QString::fromStdString(m_pSettings->GetAutoDialConnection()), Qt::MatchStartsWith);
    if (index >= 0) {
        list->setCurrentIndex(index);
    } else {
        m_pSettings->SetAutoDialConnection("");
        list->setCurrentIndex(0);
    }
    m_ui->idc_1062->setEnabled(true);
    EnableCredentials(list->currentIndex() > 0 && m_pSettings->GetAutoDial() != 0);
    return list->count() > 0;
}

void CPropPageAutoDial::OnAutoDial(bool checked)
{
    if (!m_bInitialized)
        return;
    m_pSettings->SetAutoDial(checked ? 1 : 0);
    if (checked && FillEntryList()) {
        m_ui->idc_1063->setEnabled(true);
    } else {
        m_ui->idc_1063->setEnabled(false);
        EnableCredentials(false);
        m_ui->idc_1062->setEnabled(false);
    }
    UpdateModified();
}

void CPropPageAutoDial::OnSelectConnection(int index)
{
    if (!m_bInitialized)
        return;
    if (index <= 0) {
        m_pSettings->SetAutoDialConnection("");
        m_pSettings->SetAutoDialUsername("");
        m_pSettings->SetAutoDialPW("");
        EnableCredentials(false);
    } else {
        const std::string entry = Std(m_ui->idc_1063->itemText(index));
        m_pSettings->SetAutoDialConnection(entry);
        if (const std::optional<RasCredentials> credentials = ReadRasCredentials(RasFunctions(), entry)) {
            m_pSettings->SetAutoDialUsername(credentials->userName);
            m_pSettings->SetAutoDialPW(credentials->password);
            EnableCredentials(true);
        }
    }
    m_ui->idc_1006->setText(QString::fromStdString(m_pSettings->GetAutoDialUsername()));
    m_ui->idc_1007->setText(QString::fromStdString(m_pSettings->GetAutoDialPW()));
    UpdateModified();
}

void CPropPageAutoDial::OnTestDial()
{
    const std::string url = m_pSettings->GetRedirectUrl();
    const bool reachable = ServerReachable(url);
    if (m_pSettings->GetAutoDialConnection().empty()) {
        if (reachable)
            ShowMessage(this, QMessageBox::Information, "Hinweis", kReachableText);
        else
            ShowMessage(this, QMessageBox::Critical, "Fehler", kUnreachableText);
        return;
    }
    if (reachable) {
        ShowMessage(this, QMessageBox::Critical, "Hinweis", kAlreadyConnectedText);
        return;
    }

    // The values on the page, saved or not.
    CDialProgressDlg dialog(this, RasFunctions());
    dialog.SetSettings(m_pSettings);
    if (dialog.DoModal() == kDialOk) {
        const bool reached = ServerReachable(url);
        if (ShowMessage(this, QMessageBox::Information, kTestCaption,
                        reached ? kConnectedAskText : kDialedButUnreachableAskText, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes)
            dialog.HangUp();
        return;
    }
    dialog.HangUp();
    ShowMessage(this, QMessageBox::Warning, kTestCaption, kSwitchOffText);
    m_pSettings->SetAutoDial(0);
    UpdateControls();
}

} // namespace tarnwick
