#include "tarnwick/dialup/DialSession.h"

#include "tarnwick/dialup/DialProgress.h"

#include "platform/messages/ThreadMessages.h"
#include "tarnwick/messages/WindowMessages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace tarnwick {

namespace {

// The dial without a window: every text becomes a status line.
class StatusLineView : public DialProgressView
{
public:
    explicit StatusLineView(DialStatusSink status)
        : m_status(std::move(status))
    {
    }
    void SetStatusText(const std::string& text) override { Say(text); }
    void SetEntryName(const std::string&) override { }
    void SetPhoneNumber(const std::string&) override { }
    void ShowError(const std::string& text) override { Say(text); }

private:
    void Say(const std::string& text)
    {
        if (m_status)
            m_status(text);
    }
    DialStatusSink m_status;
};

// Runs the dial on the calling thread with an event loop of its own, so the
// provider's queued notifications arrive while Run blocks.
class ProgressDialSession : public DialSession
{
public:
    ProgressDialSession(const RasFunctionTable& table, DialStatusSink status)
        : m_table(table)
        , m_view(std::move(status))
    {
    }

    int Run(const DialRequest& request) override
    {
        QEventLoop loop;
        m_progress = std::make_unique<DialProgress>(m_table, m_view, [&loop](int) { loop.quit(); });
        // A cycle cancelled while it dials (the cancel message posted to this
        // worker thread) ends the dial as "Abbrechen" does; the caller then
        // hangs up.
        QSocketNotifier cancel(platform::GetMessageQueueFd(), QSocketNotifier::Read);
        QObject::connect(&cancel, &QSocketNotifier::activated, m_progress.get(), [this, &cancel] {
            platform::MSG message;
            if (platform::PeekMessage(&message, platform::HWND_THREAD_ONLY, WM_CANCEL_SOCKET_CALL,
                                      WM_CANCEL_SOCKET_CALL, platform::PM_REMOVE)) {
                m_progress->Cancel();
                return;
            }
            // Something else waits in the queue: look again a little later
            // instead of spinning on the readable descriptor.
            cancel.setEnabled(false);
            QTimer::singleShot(100, &cancel, [&cancel] { cancel.setEnabled(true); });
        });
        m_progress->Start(request);
        if (!m_progress->Ended() && QCoreApplication::instance())
            loop.exec();
        return m_progress->Ended() ? m_progress->Result() : kDialCancel;
    }

    bool HangUp() override { return m_progress && m_progress->HangUp(); }

private:
    const RasFunctionTable& m_table;
    StatusLineView m_view;
    std::unique_ptr<DialProgress> m_progress;
};

class HostedDialSession : public DialSession
{
public:
    explicit HostedDialSession(std::shared_ptr<DialDialogHost> host)
        : m_host(std::move(host))
    {
    }

    int Run(const DialRequest& request) override { return m_host->RunDialDialog(request, m_progress); }
    bool HangUp() override { return m_progress && m_progress->HangUp(); }

private:
    std::shared_ptr<DialDialogHost> m_host;
    std::shared_ptr<DialProgress> m_progress;
};

} // namespace

DialSessionFactory DefaultDialSessionFactory(const RasFunctionTable& table)
{
    return [&table](const DialStatusSink& status) -> std::unique_ptr<DialSession> {
        return std::make_unique<ProgressDialSession>(table, status);
    };
}

DialSessionFactory HostedDialSessionFactory(DialDialogHost& host)
{
    // Not owned: the caller keeps the host alive as long as the factory.
    return HostedDialSessionFactory(std::shared_ptr<DialDialogHost>(&host, [](DialDialogHost*) {}));
}

DialSessionFactory HostedDialSessionFactory(std::shared_ptr<DialDialogHost> host)
{
    return [host = std::move(host)](const DialStatusSink&) -> std::unique_ptr<DialSession> {
        return std::make_unique<HostedDialSession>(host);
    };
}

} // namespace tarnwick
