#include "tarnwick/widgets/sheet/CPropPageUpload.h"

#include "ui_CPropPageUpload.h"

#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/SettingsRules.h"
#include "tarnwick/widgets/common/ReadOnlyLook.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"
#include "tarnwick/widgets/sheet/FileChooser.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QCheckBox>
#include <QFocusEvent>

namespace tarnwick {

namespace {

bool IsMoveAway(Qt::FocusReason reason)
{
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

} // namespace

CPropPageUpload::CPropPageUpload(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageUpload>())
{
    m_ui->setupUi(this);
    ApplyReadOnlyLook(m_ui->idc_1002);
    MakeDigitsOnly(m_ui->idc_1053);
    m_ui->idc_1055->SetBuddy(m_ui->idc_1053);
    m_ui->idc_1051->installEventFilter(this);
    ApplyPageWhatsThis(UploadPageWhatsThis());

    OnTextChanged(m_ui->idc_1043, &CRedirectSettings::SetUploadFile);
    OnTextChanged(m_ui->idc_1052, &CRedirectSettings::SetUploadServer);
    OnTextChanged(m_ui->idc_1054, &CRedirectSettings::SetUploadDir);
    OnTextChanged(m_ui->idc_1006, &CRedirectSettings::SetUserName);
    OnTextChanged(m_ui->idc_1007, &CRedirectSettings::SetPassword);
    connect(m_ui->idc_1053, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        if (const auto port = FieldPort(text, 1))
            m_pSettings->SetUploadPort(*port);
        UpdateModified();
    });
    connect(m_ui->idc_1056, &QComboBox::activated, this, [this](int index) { OnProtocolChosen(index); });
    // Only the user's click: filling the page must not move the port.
    connect(m_ui->idc_1074, &QCheckBox::clicked, this, [this](bool checked) { OnTlsChosen(checked); });
    connect(m_ui->idc_1044, &QPushButton::clicked, this, [this] { ChooseTemplate(); });
}

CPropPageUpload::~CPropPageUpload() = default;

void CPropPageUpload::OnTextChanged(QLineEdit* field, void (CRedirectSettings::*setter)(std::string_view))
{
    connect(field, &QLineEdit::textChanged, this, [this, setter](const QString& text) {
        if (!m_bInitialized)
            return;
        (m_pSettings->*setter)(text.toStdString());
        UpdateModified();
    });
}

void CPropPageUpload::OnInitDialog()
{
    m_ui->idc_1055->SetRange(1, 65535);
    Fill();
    m_bInitialized = true;
}

void CPropPageUpload::OnSetActive()
{
    Fill();
}

void CPropPageUpload::Fill()
{
    m_ui->idc_1002->setText(QString::fromStdString(m_pSettings->GetPageFileName()));
    m_ui->idc_1043->setText(QString::fromStdString(m_pSettings->GetUploadFile()));
    m_ui->idc_1056->setCurrentIndex(ProtocolIndexForServiceType(m_pSettings->GetUploadServiceType()));
    m_ui->idc_1074->setChecked(m_pSettings->GetUploadTls() == 1);
    m_ui->idc_1052->setText(QString::fromStdString(m_pSettings->GetUploadServer()));
    m_ui->idc_1053->setText(QString::number(m_pSettings->GetUploadPort()));
    m_ui->idc_1054->setText(QString::fromStdString(m_pSettings->GetUploadDir()));
    m_ui->idc_1006->setText(QString::fromStdString(m_pSettings->GetUserName()));
    const QString password = QString::fromStdString(m_pSettings->GetPassword());
    m_ui->idc_1007->setText(password);
    m_ui->idc_1051->setText(password); // an unchanged password passes the check
    UpdateModified();
}

void CPropPageUpload::OnProtocolChosen(int index)
{
    const auto choice = ProtocolForIndex(index);
    if (!choice)
        return;
    const uint16_t port = UploadPortForTls(choice->serviceType, choice->port, m_pSettings->GetUploadTls() == 1);
    m_pSettings->SetUploadServiceType(choice->serviceType);
    m_pSettings->SetUploadPort(port);
    m_ui->idc_1053->setText(QString::number(port));
    UpdateModified();
}

void CPropPageUpload::OnTlsChosen(bool checked)
{
    m_pSettings->SetUploadTls(checked ? 1 : 0);
    const uint16_t port = UploadPortForTls(m_pSettings->GetUploadServiceType(), m_pSettings->GetUploadPort(), checked);
    m_pSettings->SetUploadPort(port);
    m_ui->idc_1053->setText(QString::number(port));
    UpdateModified();
}

bool CPropPageUpload::CheckPassword()
{
    if (m_ui->idc_1051->text().toStdString() == m_pSettings->GetPassword())
        return true;
    ShowMessage(this, QMessageBox::Critical, "Fehler",
                "Das Passwort wurde nicht richtig bestätigt!\r\nGeben Sie es erneut ein.");
    return false;
}

bool CPropPageUpload::OnApply()
{
    if (CheckPassword())
        return true;
    ActivateSelf();
    return false;
}

bool CPropPageUpload::eventFilter(QObject* watched, QEvent* event)
{
    // Only a move to another control is checked, not a menu or another window taking the focus.
    if (watched == m_ui->idc_1051 && event->type() == QEvent::FocusOut && m_bInitialized
        && IsMoveAway(static_cast<QFocusEvent*>(event)->reason()))
        CheckPassword();
    return CSettingsPage::eventFilter(watched, event);
}

void CPropPageUpload::ChooseTemplate()
{
    const FileDialogStart start = TemplateDialogStart(m_ui->idc_1043->text(), m_ui->idc_1002->text(),
                                                      TemplateFolder(Sheet()->Environment().programDirectory));
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::OpenExisting;
    request.initialPath = start.path;
    request.defaultSuffix = start.defaultSuffix;
    request.filter = QtFileFilter(kTemplateFilter);
    if (const auto chosen = ChooseFile(this, request))
        m_ui->idc_1043->setText(*chosen); // its change handler stores it
}

} // namespace tarnwick
