#include "tarnwick/widgets/window/CRedirectMainDlg.h"

#include "ui_CRedirectMainDlg.h"

#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/cycle/StatusList.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/ProgramSession.h"
#include "tarnwick/resources/ServiceHost.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/settings/RedirectAddressNormalisation.h"
#include "tarnwick/widgets/common/Artwork.h"
#include "tarnwick/widgets/common/HelpLauncher.h"
#include "tarnwick/widgets/common/QuestionBox.h"
#include "tarnwick/widgets/common/ReadOnlyLook.h"
#include "tarnwick/widgets/common/UrlOpener.h"
#include "tarnwick/widgets/common/WhatsThisTexts.h"
#include "tarnwick/widgets/window/CInfoDlg.h"
#include "tarnwick/widgets/window/CSystemTray.h"
#include "tarnwick/widgets/window/MainWindowIds.h"
#include "tarnwick/widgets/window/SettingsSheetOpener.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QWhatsThis>

#include <ctime>

namespace tarnwick {

namespace {

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A long address (IPv6) widens the field to show it whole; the tooltip
// shows it too, for a window the desktop keeps narrow.
void ShowAddress(QLineEdit& field, std::string_view address)
{
    const QString text = Text(address);
    field.setText(text);
    field.setCursorPosition(0);
    field.setToolTip(text);
    const QMargins margins = field.textMargins() + field.contentsMargins();
    const int needed = field.fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 12;
    if (needed > field.minimumWidth())
        field.setMinimumWidth(needed);
}

QString ProtocolText(int uploadServiceType)
{
    switch (uploadServiceType) {
    case 1:
        return QStringLiteral("ftp://");
    case 3:
        return QStringLiteral("http://");
    default:
        return QStringLiteral("ungültig!");
    }
}

} // namespace

CRedirectMainDlg::CRedirectMainDlg(ProgramSession& session, TrayBackend* trayBackend, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CRedirectMainDlg>())
    , m_app(session.App())
    , m_session(session)
{
    CRedirectApp& app = m_app;
    m_ui->setupUi(this);
    setWindowTitle(QString::fromStdString(app.m_strTitle));
    setWindowIcon(Icon(128));
    // A dialog gets no minimise button by itself; a window that lives for the whole run needs one.
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_ui->idc_57664->setPixmap(Pixmap(128, QSize(32, 32)));
    m_ui->idc_57664->setCursor(Qt::PointingHandCursor);
    m_ui->idc_57664->installEventFilter(this);
    m_ui->picture145->setPixmap(Pixmap(145, QSize(32, 32)));
    m_ui->picture143->setPixmap(Pixmap(143, QSize(32, 32)));
    m_ui->picture146->setPixmap(Pixmap(146, QSize(32, 32)));
    ApplyWhatsThis(this, MainWindowWhatsThis());
    ApplyReadOnlyLookBelow(this);

    m_tray = new CSystemTray(trayBackend, this);
    m_tray->SetMainWindow(this);
    m_trayAdded = m_tray->AddToTray(QStringLiteral("Tarnwick"), Icon(128));
    m_tray->LoadFrames(CSystemTray::kFirstFrame, CSystemTray::kLastFrame);
    connect(m_tray, &CSystemTray::commandChosen, this, [this](int command) { OnCommand(command); });
    // A notification area that starts after the program (the panel after the autostart entry) gets the icon then.
    connect(m_tray, &CSystemTray::iconAdded, this, [this] {
        if (m_iconRemoved)
            m_tray->WithdrawIcon();
        UpdateHideButton();
    });

    // The dial's progress belongs to the dial dialog, which shows it itself.
    m_session.AttachViews(this, this);
    connect(&m_session, &ProgramSession::bringToFrontRequested, this, [this] { ShowAndActivate(); });
    connect(&m_session, &ProgramSession::quitRequested, this, [this] { EndNow(0); });
    connect(&m_session, &ProgramSession::ended, this, [this] { EndNow(0); });
    // Values stored by --set or another instance show at once, not only in the next cycle's lines.
    connect(&m_session, &ProgramSession::storedSettingsTaken, this, [this] { FillControls(); });
    // The end of the user's session: no question comes back, the settings are kept.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
        Cycle().StopPeriodic();
        SaveSettings();
    });

    ConnectControls();
    FillControls();
    UpdateHideButton();
}

CRedirectMainDlg::~CRedirectMainDlg()
{
    // The cycle shows through this window: from now on it shows nothing.
    m_session.AttachViews(nullptr, nullptr);
}

RedirectCycle& CRedirectMainDlg::Cycle()
{
    return m_session.Cycle();
}

void CRedirectMainDlg::ConnectControls()
{
    const auto onClick = [this](QPushButton* button, int command) {
        connect(button, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
    };
    onClick(m_ui->idc_1008, main_window::kIdcFindAddresses);
    onClick(m_ui->idc_1014, main_window::kIdcRedirectNow);
    onClick(m_ui->idc_1019, main_window::kIdcPeriodic);
    onClick(m_ui->idc_1039, main_window::kIdcTestRedirect);
    onClick(m_ui->idc_1050, main_window::kIdcSettings);
    onClick(m_ui->idc_1032, main_window::kIdcOptions);
    onClick(m_ui->idc_1044, main_window::kIdcBrowseTemplate);
    onClick(m_ui->idc_57670, main_window::kIdcHelp);
    onClick(m_ui->idc_57665, CSystemTray::kCmdHideOrEnd);
    connect(m_ui->idc_1020, &QCheckBox::clicked, this, [this](bool checked) { OnAutostartClicked(checked); });
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { ShowHelp(); });
}

void CRedirectMainDlg::Start()
{
    show();
    if (!m_trayAdded) {
        // Without a notification area the program still runs; say so once, without holding up the start.
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Fehler"),
                                    QStringLiteral("Fehler beim Erstellen des Systemsymbols in der Taskleiste!"),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    if (m_app.m_settings.GetAutoStart() == 1)
        Cycle().TogglePeriodic();
    if (m_app.m_bPending)
        QMetaObject::invokeMethod(
            this, [this] { OnCommand(CSystemTray::kCmdHideOrEnd); }, Qt::QueuedConnection);
}

void CRedirectMainDlg::OnCommand(int command)
{
    if (m_ended)
        return;
    switch (command) {
    case main_window::kIdcFindAddresses:
        Cycle().StartAddresses();
        break;
    case main_window::kIdcRedirectNow:
        Cycle().StartCycle();
        break;
    case main_window::kIdcPeriodic:
        Cycle().TogglePeriodic();
        break;
    case main_window::kIdcTestRedirect:
        OpenAddress(m_app.m_settings.GetRedirectUrl());
        break;
    case main_window::kIdcSettings:
        OpenSettingsSheet(QStringLiteral("Optionen"), 1);
        break;
    case main_window::kIdcOptions:
        OpenSettingsSheet(QStringLiteral("Optionen"), 2);
        break;
    case main_window::kIdcBrowseTemplate:
        OpenSettingsSheet(QStringLiteral("Einstellungen"), 3);
        break;
    case main_window::kIdcHelp:
        ShowHelp();
        break;
    case kCmdAbout:
    case kCmdInfoIcon:
        ShowInfo();
        break;
    case CSystemTray::kCmdShow:
        ToggleVisibility();
        break;
    case CSystemTray::kCmdRemoveIcon:
        OnRemoveIcon();
        break;
    case CSystemTray::kCmdForum:
        OpenAddress(resources::LoadString(resources::IDS_FORUM_URL));
        break;
    case CSystemTray::kCmdEnd:
        End();
        break;
    case CSystemTray::kCmdHideOrEnd:
        if (isVisible() && IsIconPresent()) {
            SaveSettings();
            ToggleVisibility();
            m_app.m_bPending = false;
        } else if (m_app.m_bPending && !IsIconPresent()) {
            // A pending start on a desktop without notification area would otherwise end at every log-in:
            // it keeps running, minimised; only the user ends it.
            m_app.m_bPending = false;
            showMinimized();
        } else {
            End();
        }
        break;
    default:
        break;
    }
}

void CRedirectMainDlg::FillControls()
{
    CRedirectSettings& settings = m_app.m_settings;
    m_ui->idc_1003->setText(QString::fromStdString(settings.GetRedirectUrl()));
    m_ui->idc_1002->setText(QString::fromStdString(settings.GetPageFileName()));
    m_ui->idc_1043->setText(QString::fromStdString(settings.GetUploadFile()));
    m_ui->idc_1057->setText(ProtocolText(settings.GetUploadServiceType()));
    m_ui->idc_1052->setText(QString::fromStdString(settings.GetUploadServer()));
    m_ui->idc_1053->setText(QString::number(settings.GetUploadPort()));
    m_ui->idc_1054->setText(QString::fromStdString(settings.GetUploadDir()));
    m_ui->idc_1017->setText(QString::number(static_cast<unsigned>(settings.GetWaitTimeInMin())));
    m_ui->idc_1020->setChecked(settings.GetAutoStart() == 1);
    m_ui->idc_1022->setText(QString::fromStdString(settings.GetRedirectAddress()));
}

void CRedirectMainDlg::ToggleVisibility()
{
    if (!isVisible()) {
        StopBlinking();
        if (isMinimized())
            showNormal();
        else
            show();
        raise();
        activateWindow();
    } else {
        if (!Cycle().IsPeriodic() && !m_app.m_bPending) {
            if (AskYesNo(this, QMessageBox::Question, QStringLiteral("Umleitung periodisch vornehmen"),
                         QStringLiteral("Soll Tarnwick die Umleitung periodisch überprüfen und ggfl. korrigieren, "
                                        "damit auch nach erneuter automatischer Anwahl zum Internetprovider zur "
                                        "richtigen Internetadresse umgeleitet wird?"))
                == QMessageBox::Yes)
                Cycle().TogglePeriodic();
        }
        hide();
    }
    UpdateHideButton();
}

void CRedirectMainDlg::ShowAndActivate()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    StopBlinking();
}

void CRedirectMainDlg::UpdateHideButton()
{
    m_ui->idc_57665->setText(IsIconPresent() ? QStringLiteral("V&erstecken") : QStringLiteral("B&eenden"));
}

void CRedirectMainDlg::OpenSettingsSheet(const QString& title, int page)
{
    if (!m_sheetOpener)
        return;
    const bool periodic = Cycle().IsPeriodic();
    if (periodic)
        Cycle().StopPeriodic(); // also cancels a running step
    CRedirectSettings edited;
    const std::string serviceHost = resources::ServiceHost();
    if (m_sheetOpener->Run(this, title, page, m_app.m_settings, edited)) {
        // The sheet may have pointed the address service elsewhere; the next run asks there.
        if (resources::ServiceHost() != serviceHost)
            m_app.m_strClientIpUrl = resources::LoadString(resources::IDS_CLIENT_IP_URL);
        m_app.m_settings.CopyFrom(&edited);
        NormaliseRedirectAddress(m_app.m_settings);
        Cycle().SettingsChanged();
        m_ui->idc_1022->setText(QString::fromStdString(m_app.m_settings.GetRedirectAddress()));
        m_app.SaveSettings(true);
        FillControls();
    }
    if (periodic)
        Cycle().StartPeriodic(); // with the new interval, and a cycle at once
}

bool CRedirectMainDlg::IsIconPresent() const
{
    return m_tray->IsEnabled() && !m_tray->IsWithdrawn();
}

void CRedirectMainDlg::End()
{
    Cycle().CancelCycle();
    if (Cycle().IsBusy()) {
        // The step reports soon; the user may end again then.
        ShowAndActivate();
        return;
    }
    Cycle().StopPeriodic();
    SaveSettings();
    EndNow(0);
}

void CRedirectMainDlg::EndNow(int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    hide();
    Q_EMIT programEnded(exitCode);
}

void CRedirectMainDlg::OnAutostartClicked(bool checked)
{
    m_app.m_settings.SetAutoStart(checked ? 1 : 0);
    if (m_app.m_settings.GetAutoStart() != 1)
        return; // the logon-start entry stays
    m_app.WriteAutostartEntry();
    m_iconRemoved = false;
    m_tray->RestoreIcon();
    UpdateHideButton();
}

void CRedirectMainDlg::OnRemoveIcon()
{
    ShowAndActivate();
    m_app.DeleteAutostartEntry();
    m_iconRemoved = true;
    m_tray->WithdrawIcon();
    UpdateHideButton();
    m_app.m_settings.SetAutoStart(0);
    m_ui->idc_1020->setChecked(false);
}

void CRedirectMainDlg::OpenAddress(const std::string& address)
{
    OpenUrl(QUrl(QString::fromStdString(address)), this, [this](const QString& text) { ShowOpenFailure(text); });
}

void CRedirectMainDlg::ShowOpenFailure(const QString& text)
{
    // A beep alone goes unheard on most desktops.
    QApplication::beep();
    AddStatusLine(FormatStatusLine(std::time(nullptr), text.toStdString()));
}

void CRedirectMainDlg::ShowInfo()
{
    CInfoDlg info(this);
    info.exec();
}

void CRedirectMainDlg::ShowHelp()
{
    HelpLauncher().ShowTopic(HelpLauncher::MainTopic(), this, [this](const QString& text) { ShowOpenFailure(text); });
}

void CRedirectMainDlg::SaveSettings()
{
    m_app.SaveSettings(false);
}

void CRedirectMainDlg::reject()
{
    OnCommand(CSystemTray::kCmdHideOrEnd);
}

void CRedirectMainDlg::closeEvent(QCloseEvent* event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    event->ignore();
    OnCommand(CSystemTray::kCmdHideOrEnd);
}

void CRedirectMainDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // Window managers give programs no window menu: its entry stands here, beside What's This.
    QMenu menu(this);
    QWidget* under = childAt(event->pos());
    while (under && under != this && under->whatsThis().isEmpty())
        under = under->parentWidget();
    if (under && under != this) {
        QAction* whatsThis = menu.addAction(QStringLiteral("Was ist das?"));
        const QString text = under->whatsThis();
        const QPoint at = event->globalPos();
        connect(whatsThis, &QAction::triggered, this, [text, at, under] { QWhatsThis::showText(at, text, under); });
        menu.addSeparator();
    }
    QAction* about = menu.addAction(Text(resources::LoadString(resources::IDS_ABOUTBOX)));
    connect(about, &QAction::triggered, this, [this] { OnCommand(kCmdAbout); });
    menu.exec(event->globalPos());
}

bool CRedirectMainDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->idc_57664 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OnCommand(kCmdInfoIcon);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CRedirectMainDlg::SetAddressesButtonLabel(std::string_view label)
{
    m_ui->idc_1008->setText(Text(label));
}

void CRedirectMainDlg::SetCycleButtonLabel(std::string_view label)
{
    m_ui->idc_1014->setText(Text(label));
}

void CRedirectMainDlg::SetPeriodicButtonLabel(std::string_view label)
{
    m_ui->idc_1019->setText(Text(label));
}

void CRedirectMainDlg::SetIntervalEnabled(bool enabled)
{
    m_ui->idc_1017->setEnabled(enabled);
}

void CRedirectMainDlg::SetLocalAddress(std::string_view address)
{
    ShowAddress(*m_ui->idc_1000, address);
}

void CRedirectMainDlg::SetRemoteAddress(std::string_view address)
{
    ShowAddress(*m_ui->idc_1001, address);
}

void CRedirectMainDlg::SetRedirectAddress(std::string_view address)
{
    ShowAddress(*m_ui->idc_1022, address);
}

void CRedirectMainDlg::ClearStatusList()
{
    m_ui->idc_1021->clear();
}

void CRedirectMainDlg::AddStatusLine(std::string_view line)
{
    // Lines are joined by a line end; a text that brings its own CR LF keeps the break.
    QString text = Text(line);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1); // the line end that the next line would add anyway
    m_ui->idc_1021->appendPlainText(text);
    QScrollBar* bar = m_ui->idc_1021->verticalScrollBar();
    bar->setValue(bar->maximum());
}

bool CRedirectMainDlg::IsWindowVisible() const
{
    return isVisible();
}

void CRedirectMainDlg::ShowAndBringToFront()
{
    ShowAndActivate();
}

void CRedirectMainDlg::StartBlinking()
{
    m_tray->StartBlinking(CSystemTray::kBlinkPeriodMs, 0);
}

void CRedirectMainDlg::StopBlinking()
{
    m_tray->StopBlinking();
}

} // namespace tarnwick
