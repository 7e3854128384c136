#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/widgets/common/HelpLauncher.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"
#include "tarnwick/widgets/sheet/SheetMessages.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace tarnwick {

CSettingsPage::CSettingsPage(QWidget* parent)
    : QWidget(parent)
{
}

void CSettingsPage::SetSettings(CRedirectSettings* settings)
{
    m_pSettings = settings;
    m_bInitialized = false;
}

CycleServices& CSettingsPage::Services() const
{
    return *m_sheet->Environment().services;
}

void CSettingsPage::Create()
{
    if (m_created)
        return;
    m_created = true;
    OnInitDialog();
}

void CSettingsPage::ShowHelp()
{
    HelpLauncher().ShowTopic(HelpTopic(), this, [this](const QString& text) {
        QApplication::beep();
        ShowMessage(this, QMessageBox::Critical, "Fehler", text.toStdString());
    });
}

void CSettingsPage::ApplyPageWhatsThis(WhatsThisTable table)
{
    ApplyWhatsThis(this, table);
}

void CSettingsPage::UpdateModified()
{
    if (m_sheet && m_pSettings)
        m_sheet->EnableOk(m_pSettings->GetModified() != 0);
}

void CSettingsPage::MakeDigitsOnly(QLineEdit* field)
{
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
}

void CSettingsPage::ActivateSelf()
{
    if (m_sheet)
        m_sheet->SetActivePage(this);
}

void CSettingsPage::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    ShowHelp();
}

} // namespace tarnwick
