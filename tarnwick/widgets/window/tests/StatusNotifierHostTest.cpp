#include "tarnwick/widgets/window/QtTrayBackend.h"

#include "testing/ChildProcess.h"
#include "testing/TempDir.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

using velt::testing::ChildProcess;
using velt::testing::TempDir;

namespace {

// A private session bus with a StatusNotifierWatcher stand-in whose
// IsStatusNotifierHostRegistered answers as the test says; never the
// desktop's own bus.
class PrivateSessionBus
{
public:
    PrivateSessionBus()
        : m_address("unix:path=" + m_dir.file("bus"))
        , m_daemon({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + m_address},
                   m_dir.file("dbus-daemon.log"))
    {
    }

    QDBusConnection Connect(const QString& name)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_address), name);
        for (int i = 0; i < 200 && !bus.isConnected(); ++i) {
            QDBusConnection::disconnectFromBus(name);
            QTest::qWait(25);
            bus = QDBusConnection::connectToBus(QString::fromStdString(m_address), name);
        }
        return bus;
    }

    // The watcher, answering `hostRegistered` (a python-dbusmock object).
    void StartWatcher(QDBusConnection& bus, bool hostRegistered)
    {
        const std::string templatePath = m_dir.file("watcher.py");
        std::ofstream(templatePath) << ("import dbus\n"
                                        "BUS_NAME = 'org.kde.StatusNotifierWatcher'\n"
                                        "MAIN_OBJ = '/StatusNotifierWatcher'\n"
                                        "MAIN_IFACE = 'org.kde.StatusNotifierWatcher'\n"
                                        "SYSTEM_BUS = False\n"
                                        "def load(mock, parameters):\n"
                                        "    mock.AddProperties(MAIN_IFACE, {\n"
                                        "        'IsStatusNotifierHostRegistered': dbus.Boolean(parameters['host']),\n"
                                        "        'ProtocolVersion': dbus.Int32(0)})\n");
        m_watcher = std::make_unique<ChildProcess>(
            std::vector<std::string> {"/usr/bin/env", "DBUS_SESSION_BUS_ADDRESS=" + m_address, "/usr/bin/python3", "-m",
                                      "dbusmock", "--session", "--template", templatePath, "--parameters",
                                      hostRegistered ? R"({"host": true})" : R"({"host": false})"},
            m_dir.file("watcher.log"));
        const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
        for (int i = 0; i < 400 && !bus.interface()->isServiceRegistered(service); ++i)
            QTest::qWait(25);
    }

    void StopWatcher(QDBusConnection& bus)
    {
        m_watcher.reset();
        const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
        for (int i = 0; i < 400 && bus.interface()->isServiceRegistered(service); ++i)
            QTest::qWait(25);
    }

private:
    TempDir m_dir;
    std::string m_address;
    ChildProcess m_daemon;
    std::unique_ptr<ChildProcess> m_watcher;
};

} // namespace

// Which kind of notification area the icon talks to decides whether a single
// activation is a command: the answer must follow the watcher on the bus.
TEST(StatusNotifierHost, FollowsTheWatcherOnTheSessionBus)
{
    PrivateSessionBus session;
    QDBusConnection bus = session.Connect(QStringLiteral("watcher-test"));
    ASSERT_TRUE(bus.isConnected());
    EXPECT_FALSE(tarnwick::QtTrayBackend::StatusNotifierHostRegistered(bus)) << "no watcher: an XEmbed tray";

    session.StartWatcher(bus, true);
    EXPECT_TRUE(tarnwick::QtTrayBackend::StatusNotifierHostRegistered(bus));
    session.StopWatcher(bus);

    session.StartWatcher(bus, false);
    EXPECT_FALSE(tarnwick::QtTrayBackend::StatusNotifierHostRegistered(bus)) << "a watcher without a host";
    session.StopWatcher(bus);
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher-test"));
}
