#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"

#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/widgets/common/Artwork.h"
#include "tarnwick/widgets/common/WhatsThisTexts.h"
#include "tarnwick/widgets/sheet/CPropPageAllgemein.h"
#include "tarnwick/widgets/sheet/CPropPageAutoDial.h"
#include "tarnwick/widgets/sheet/CPropPageBackupValues.h"
#include "tarnwick/widgets/sheet/CPropPageDnsName.h"
#include "tarnwick/widgets/sheet/CPropPageRedirectFrom.h"
#include "tarnwick/widgets/sheet/CPropPageRedirectTo.h"
#include "tarnwick/widgets/sheet/CPropPageUpload.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tarnwick {

CPropSheetRedirectProperties::CPropSheetRedirectProperties(const QString& title, QWidget* parent, int startPage,
                                                           SheetEnvironment environment)
    : QDialog(parent)
    , m_environment(std::move(environment))
    , m_general(new CPropPageAllgemein)
    , m_autoDial(new CPropPageAutoDial)
    , m_redirectFrom(new CPropPageRedirectFrom)
    , m_redirectTo(new CPropPageRedirectTo)
    , m_upload(new CPropPageUpload)
    , m_backup(new CPropPageBackupValues)
    , m_dnsName(new CPropPageDnsName)
    , m_tabs(new QTabWidget(this))
    , m_buttons(new QDialogButtonBox(this))
    , m_startPage(startPage)
{
    // A sheet shown without a running program (a test) gets services of its own.
    if (!m_environment.services)
        m_environment.services = std::make_shared<CycleServices>();
    setWindowTitle(title);
    setWindowIcon(Icon(128));
    setModal(true);
    // The title bar's question mark, where the window manager offers one.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    m_pages = {m_general, m_redirectFrom, m_redirectTo, m_upload, m_backup, m_autoDial, m_dnsName};
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setUsesScrollButtons(false); // every caption in full
    for (CSettingsPage* page : m_pages) {
        page->SetSheet(this);
        m_tabs->addTab(page, page->windowTitle());
    }

    m_ok = m_buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = m_buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    QPushButton* help = m_buttons->addButton(QStringLiteral("Hilfe"), QDialogButtonBox::HelpRole);
    m_ok->setObjectName(ControlObjectName(1));
    cancel->setObjectName(ControlObjectName(2));
    help->setObjectName(ControlObjectName(9));
    m_ok->setDefault(true);
    m_ok->setEnabled(false);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CPropSheetRedirectProperties::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CPropSheetRedirectProperties::reject);
    connect(help, &QPushButton::clicked, this, [this] { GetPage(GetActiveIndex())->ShowHelp(); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this] { GetPage(GetActiveIndex())->ShowHelp(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    // A tab index the sheet does not offer opens the first page.
    if (m_startPage < 0 || m_startPage >= GetPageCount())
        m_startPage = 0;
    m_tabs->setCurrentIndex(m_startPage);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_shown)
            Activate(index);
    });
}

CPropSheetRedirectProperties::~CPropSheetRedirectProperties() = default;

void CPropSheetRedirectProperties::SetSettings(const CRedirectSettings& settings)
{
    m_settings.CopyFrom(&settings);
    for (CSettingsPage* page : m_pages)
        page->SetSettings(&m_settings);
    // Not every page's filling says so: a record modified before opens with OK available.
    EnableOk(m_settings.GetModified() != 0);
}

CSettingsPage* CPropSheetRedirectProperties::GetPage(int index) const
{
    if (index < 0 || index >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<std::size_t>(index)];
}

int CPropSheetRedirectProperties::GetActiveIndex() const
{
    return m_tabs->currentIndex();
}

void CPropSheetRedirectProperties::SetActivePage(int index)
{
    if (GetPage(index))
        m_tabs->setCurrentIndex(index);
}

void CPropSheetRedirectProperties::SetActivePage(CSettingsPage* page)
{
    for (int i = 0; i < GetPageCount(); ++i) {
        if (GetPage(i) == page)
            SetActivePage(i);
    }
}

void CPropSheetRedirectProperties::EnableOk(bool enable)
{
    m_ok->setEnabled(enable);
}

void CPropSheetRedirectProperties::PostCancel()
{
    QMetaObject::invokeMethod(this, &CPropSheetRedirectProperties::reject, Qt::QueuedConnection);
}

void CPropSheetRedirectProperties::accept()
{
    if (!m_ok->isEnabled())
        return;
    for (CSettingsPage* page : m_pages) {
        if (page->IsCreated() && !page->OnApply())
            return;
    }
    // The host lies outside the settings copy: stored only now that nothing refuses any more.
    if (m_general->IsCreated() && !m_general->StoreServiceHost())
        return;
    QDialog::accept();
}

void CPropSheetRedirectProperties::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    Activate(m_tabs->currentIndex());
}

void CPropSheetRedirectProperties::Activate(int index)
{
    CSettingsPage* page = GetPage(index);
    if (!page)
        return;
    page->Create();
    page->OnSetActive();
}

} // namespace tarnwick
