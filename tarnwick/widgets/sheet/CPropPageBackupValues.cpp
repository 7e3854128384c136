#include "tarnwick/widgets/sheet/CPropPageBackupValues.h"

#include "ui_CPropPageBackupValues.h"

#include "platform/profile/Profile.h"
#include "tarnwick/resources/ServiceHost.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/SettingsRules.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"
#include "tarnwick/widgets/sheet/FileChooser.h"
#include "tarnwick/widgets/sheet/PageWhatsThis.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QProcess>

namespace tarnwick {

CPropPageBackupValues::CPropPageBackupValues(QWidget* parent)
    : CSettingsPage(parent)
    , m_ui(std::make_unique<Ui::CPropPageBackupValues>())
{
    m_ui->setupUi(this);
    // Stands for a daily version check that the program does not make.
    m_ui->idc_1048->setText(QStringLiteral("einmal täglich überprüfen, ob bei %1 eine neue Version von Tarnwick "
                                           "vorliegt")
                                .arg(QString::fromStdString(resources::ServiceHost())));
    ApplyPageWhatsThis(BackupPageWhatsThis());

    connect(m_ui->idc_1046, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_bInitialized)
            return;
        m_pSettings->SetBackupFile(text.toStdString());
        UpdateModified();
    });
    connect(m_ui->idc_1044, &QPushButton::clicked, this, [this] { ChooseBackupFile(); });
    connect(m_ui->idc_1059, &QPushButton::clicked, this, [this] { ReadSettings(); });
    connect(m_ui->idc_1060, &QPushButton::clicked, this, [this] { StartUpgrade(); });
}

CPropPageBackupValues::~CPropPageBackupValues() = default;

void CPropPageBackupValues::OnInitDialog()
{
    Fill();
    m_bInitialized = true;
}

void CPropPageBackupValues::OnSetActive()
{
    Fill();
}

void CPropPageBackupValues::Fill()
{
    m_ui->idc_1046->setText(QString::fromStdString(m_pSettings->GetBackupFile()));
    UpdateModified();
}

namespace {

FileDialogRequest BackupFileRequest(FileDialogRequest::Kind kind, const std::string& backupFile)
{
    FileDialogRequest request;
    request.kind = kind;
    // A bare name lies where the backup functions put it.
    request.initialPath
        = QString::fromStdString(backupFile.empty() ? backupFile : platform::profile::ResolveProfilePath(backupFile));
    request.defaultSuffix = QStringLiteral("bak");
    request.filter = QtFileFilter(kBackupFilter);
    return request;
}

} // namespace

void CPropPageBackupValues::ChooseBackupFile()
{
    const auto chosen
        = ChooseFile(this, BackupFileRequest(FileDialogRequest::Kind::Save, m_pSettings->GetBackupFile()));
    if (!chosen)
        return;
    m_pSettings->SetBackupFile(chosen->toStdString());
    m_ui->idc_1046->setText(QString::fromStdString(m_pSettings->GetBackupFile()));
    UpdateModified();
}

void CPropPageBackupValues::ReadSettings()
{
    const auto chosen
        = ChooseFile(this, BackupFileRequest(FileDialogRequest::Kind::OpenExisting, m_pSettings->GetBackupFile()));
    if (!chosen)
        return;
    // The file read does not become the backup file.
    if (!m_pSettings->LoadFromBackupFile(chosen->toStdString())) {
        ShowMessage(
            this, QMessageBox::Critical, "Fehler",
            QStringLiteral("Die Datei %1 konnte nicht als Sicherungsdatei gelesen werden.").arg(*chosen).toStdString());
    }
    // OK becomes available even for values equal to the ones before.
    m_pSettings->SetModified(1);
    Fill();
}

void CPropPageBackupValues::StartUpgrade()
{
    const SheetEnvironment& environment = Sheet()->Environment();
    if (QProcess::startDetached(UpgradeProgram(environment.programDirectory),
                                UpgradeArguments(environment.title, environment.version),
                                QString::fromStdString(environment.programDirectory))) {
        Sheet()->PostCancel();
        return;
    }
    ShowMessage(this, QMessageBox::Critical, "Fehler",
                "Fehler beim Starten des VELT Online-Update-Starters (Kestrup.exe)!");
}

} // namespace tarnwick
