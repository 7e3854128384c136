#include "tarnwick/dialup/DialProgress.h"

#include "tarnwick/dialup/RasOperations.h"

#include <QMetaObject>
#include <QTimer>

#include <cstring>
#include <mutex>

namespace tarnwick {

namespace {

// The dial that notifications go to (the dialog's window handle in the
// original design): set while a dial runs, cleared when it ends or is hung
// up, so that late notifications do nothing.
std::mutex g_dialMutex;
DialProgress* g_dialTarget = nullptr;

void SetDialTarget(DialProgress* target)
{
    std::lock_guard lock(g_dialMutex);
    g_dialTarget = target;
}

void ClearDialTarget(DialProgress* target)
{
    std::lock_guard lock(g_dialMutex);
    if (g_dialTarget == target)
        g_dialTarget = nullptr;
}

void CopyText(char* target, size_t size, const std::string& text)
{
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

} // namespace

DialProgress::DialProgress(const RasFunctionTable& table, DialProgressView& view, Finished finished, QObject* parent)
    : QObject(parent)
    , m_table(table)
    , m_view(view)
    , m_finished(std::move(finished))
{
}

DialProgress::~DialProgress()
{
    ClearDialTarget(this);
}

void DialProgress::Start(const DialRequest& request)
{
    if (!m_table.RasDialA) {
        // Without dial-up networking the caller goes on as if connected.
        m_view.SetStatusText(kNoDialUpText);
        m_endsWithOk = true;
        QTimer::singleShot(kNoDialUpDelayMs, this, [this] { End(kDialOk); });
        return;
    }
    m_view.SetStatusText(kPreparingText);
    m_view.SetEntryName(request.entryName);

    HRASCONN existing = nullptr;
    if (FindRasConnection(m_table, request.entryName, existing)) {
        // Someone else's connection: this dial never hangs it up.
        m_view.SetStatusText(kAlreadyConnectedText);
        m_endsWithOk = true;
        QTimer::singleShot(kAlreadyConnectedDelayMs, this, [this] { End(kDialOk); });
        return;
    }

    RasEntryInfo entry {};
    const uint32_t entryError = GetRasEntry(m_table, request.entryName, &entry);
    if (entryError != 0) {
        m_view.ShowError(RasErrorText(m_table, entryError));
        End(kDialCancel);
        return;
    }

    RASDIALPARAMSA parameters {};
    parameters.dwSize = RAS_SIZE_DIALPARAMS;
    CopyText(parameters.szEntryName, sizeof parameters.szEntryName, request.entryName);
    // The country code is never dialled.
    std::string number = entry.szLocalPhoneNumber;
    if (entry.dwfOptions & RASEO_UseCountryAndAreaCodes)
        number = std::string(entry.szAreaCode) + " " + number;
    CopyText(parameters.szPhoneNumber, sizeof parameters.szPhoneNumber, number);
    CopyText(parameters.szUserName, sizeof parameters.szUserName, request.userName);
    CopyText(parameters.szPassword, sizeof parameters.szPassword, request.password);

    m_view.SetPhoneNumber(parameters.szPhoneNumber);
    m_hRasConn = nullptr;
    SetDialTarget(this);
    const uint32_t dialError = m_table.RasDialA(nullptr, nullptr, &parameters, 0,
                                                reinterpret_cast<void*>(&DialProgress::DialNotify), &m_hRasConn);
    std::memset(parameters.szPassword, 0, sizeof parameters.szPassword);
    if (dialError != 0) {
        m_view.ShowError(RasErrorText(m_table, dialError));
        End(kDialCancel);
    }
}

void DialProgress::Cancel()
{
    // The pause before an early end only lets the text be read: nothing was
    // dialled, so "Abbrechen" in it changes nothing about the result.
    End(m_endsWithOk ? kDialOk : kDialCancel);
}

bool DialProgress::HangUp()
{
    ClearDialTarget(this);
    if (!m_hRasConn)
        return false;
    const bool result = HangUpRasConnection(m_table, m_hRasConn);
    m_hRasConn = nullptr;
    return result;
}

void DialProgress::End(int result)
{
    if (m_ended)
        return;
    m_ended = true;
    m_result = result;
    ClearDialTarget(this);
    if (m_finished)
        m_finished(result);
}

void DialProgress::DialNotify(uint32_t, uint32_t state, uint32_t error)
{
    // Runs on the provider's thread: hand the notification to the dial's own
    // thread; a dial that is gone by then receives nothing.
    std::lock_guard lock(g_dialMutex);
    DialProgress* target = g_dialTarget;
    if (!target)
        return;
    QMetaObject::invokeMethod(
        target, [target, state, error] { target->OnNotify(state, error); }, Qt::QueuedConnection);
}

void DialProgress::OnNotify(uint32_t state, uint32_t error)
{
    if (m_ended || m_failing)
        return;
    m_view.SetStatusText(RasStateText(RasStateTextId(state)));
    if (error != 0) {
        // The dial has failed whatever comes while the message is open: a
        // later notification (the disconnected state after the failure) must
        // not turn it into a success.
        m_failing = true;
        m_view.ShowError(RasErrorText(m_table, error));
        End(kDialCancel);
    } else if (state & RASCS_DONE) {
        End(kDialOk);
    }
}

} // namespace tarnwick
