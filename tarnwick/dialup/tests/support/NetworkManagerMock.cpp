#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"

#include <gio/gio.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <thread>

namespace velt::testing {

namespace {

constexpr const char* kMockInterface = "org.freedesktop.DBus.Mock";
constexpr const char* kMainObject = "/org/freedesktop";
constexpr const char* kManagerName = "org.freedesktop.NetworkManager";

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

NetworkManagerMock::NetworkManagerMock(Template which)
    : m_template(which)
{
    const std::string socket = m_dir.file("bus");
    m_address = "unix:path=" + socket;
    m_bus = std::make_unique<ChildProcess>(std::vector<std::string> {"/usr/bin/dbus-daemon", "--session", "--nofork",
                                                                     "--nopidfile", "--address=" + m_address},
                                           m_dir.file("dbus-daemon.log"));
    // The socket file appears before the bus listens: connect until it answers.
    std::string failure;
    WaitUntil(
        [&] {
            if (!m_bus->running())
                return true;
            GError* error = nullptr;
            m_connection = g_dbus_connection_new_for_address_sync(
                m_address.c_str(),
                GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                     | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &error);
            failure = error ? error->message : "";
            g_clear_error(&error);
            return m_connection != nullptr;
        },
        std::chrono::seconds(10));
    if (!m_connection)
        throw std::runtime_error("cannot reach the test bus: " + failure);
    g_dbus_connection_set_exit_on_close(m_connection, FALSE);
    m_systemBus = std::make_unique<ScopedEnv>("DBUS_SYSTEM_BUS_ADDRESS", m_address);
    if (m_template != Template::None)
        startNetworkManager();
}

NetworkManagerMock::~NetworkManagerMock()
{
    stopNetworkManager();
    // For a failing test: TARNWICK_NM_MOCK_LOG=1 shows what the stand-in saw.
    if (std::getenv("TARNWICK_NM_MOCK_LOG")) {
        std::ifstream log(m_dir.file("networkmanager.log"));
        std::cerr << log.rdbuf();
    }
    if (m_connection) {
        g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
        g_object_unref(m_connection);
    }
    m_bus.reset();
}

void NetworkManagerMock::startNetworkManager()
{
    stopNetworkManager();
    const std::string templateName
        = m_template == Template::Stock ? std::string("networkmanager") : std::string(NM_DIAL_TEMPLATE);
    m_manager = std::make_unique<ChildProcess>(
        std::vector<std::string> {"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", templateName},
        m_dir.file("networkmanager.log"));
    const bool owned = WaitUntil(
        [&] {
            GVariant* reply = g_dbus_connection_call_sync(m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                          "org.freedesktop.DBus", "NameHasOwner",
                                                          g_variant_new("(s)", kManagerName), G_VARIANT_TYPE("(b)"),
                                                          G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
            gboolean has = FALSE;
            if (reply) {
                g_variant_get(reply, "(b)", &has);
                g_variant_unref(reply);
            }
            return has || !m_manager->running();
        },
        std::chrono::seconds(20));
    if (!owned || !m_manager->running())
        throw std::runtime_error("the NetworkManager stand-in did not start, see " + m_dir.file("networkmanager.log"));
}

void NetworkManagerMock::stopNetworkManager()
{
    if (!m_manager)
        return;
    m_manager->stop();
    m_manager.reset();
    // The name is free once the bus has seen the process go.
    WaitUntil(
        [&] {
            GVariant* reply = g_dbus_connection_call_sync(m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                          "org.freedesktop.DBus", "NameHasOwner",
                                                          g_variant_new("(s)", kManagerName), G_VARIANT_TYPE("(b)"),
                                                          G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
            gboolean has = TRUE;
            if (reply) {
                g_variant_get(reply, "(b)", &has);
                g_variant_unref(reply);
            }
            return !has;
        },
        std::chrono::seconds(5));
}

GVariant* NetworkManagerMock::call(const char* interface, const char* path, const char* method, GVariant* parameters,
                                   const char* replyType)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(m_connection, kManagerName, path, interface, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (!reply) {
        std::string text = error ? error->message : "";
        g_clear_error(&error);
        throw std::runtime_error(std::string(method) + ": " + text);
    }
    return reply;
}

std::string NetworkManagerMock::addDevice(const std::string& name, const std::string& iface, unsigned deviceType)
{
    GVariant* reply = m_template == Template::Stock
        ? call(kMockInterface, kMainObject, "AddEthernetDevice",
               g_variant_new("(ssi)", name.c_str(), iface.c_str(), 30), "(s)")
        : call(kMockInterface, kMainObject, "AddDevice",
               g_variant_new("(sss)", name.c_str(), iface.c_str(), std::to_string(deviceType).c_str()), "(s)");
    const char* path = nullptr;
    g_variant_get(reply, "(&s)", &path);
    std::string result = path;
    g_variant_unref(reply);
    return result;
}

std::string NetworkManagerMock::addProfile(const std::string& id, const std::string& type, const std::string& device,
                                           const std::map<std::string, std::map<std::string, std::string>>& settings)
{
    std::map<std::string, std::map<std::string, std::string>> all = settings;
    all["connection"]["id"] = id;
    all["connection"]["type"] = type;
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sa{sv}}"));
    for (const auto& [setting, values] : all) {
        GVariantBuilder inner;
        g_variant_builder_init(&inner, G_VARIANT_TYPE("a{sv}"));
        for (const auto& [key, value] : values)
            g_variant_builder_add(&inner, "{sv}", key.c_str(), g_variant_new_string(value.c_str()));
        g_variant_builder_add(&builder, "{sa{sv}}", setting.c_str(), &inner);
    }
    // The stock template only knows NetworkManager's own call.
    GVariant* reply = m_template == Template::Stock
        ? call("org.freedesktop.NetworkManager.Settings", "/org/freedesktop/NetworkManager/Settings", "AddConnection",
               g_variant_new("(@a{sa{sv}})", g_variant_builder_end(&builder)), "(o)")
        : call(kMockInterface, kMainObject, "AddProfile",
               g_variant_new("(@a{sa{sv}}s)", g_variant_builder_end(&builder), device.c_str()), "(s)");
    const char* path = nullptr;
    g_variant_get(reply, m_template == Template::Stock ? "(&o)" : "(&s)", &path);
    std::string result = path;
    g_variant_unref(reply);
    return result;
}

void NetworkManagerMock::setDialScript(const std::string& profile, const DialScript& script)
{
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&builder, "{sv}", "device", g_variant_new_string(script.device.c_str()));
    g_variant_builder_add(&builder, "{sv}", "delay", g_variant_new_int32(script.delayMs));
    GVariantBuilder steps;
    g_variant_builder_init(&steps, G_VARIANT_TYPE("au"));
    for (unsigned state : script.steps)
        g_variant_builder_add(&steps, "u", state);
    g_variant_builder_add(&builder, "{sv}", "steps", g_variant_builder_end(&steps));
    g_variant_builder_add(&builder, "{sv}", "password", g_variant_new_string(script.password.c_str()));
    if (!script.fail.empty())
        g_variant_builder_add(&builder, "{sv}", "fail", g_variant_new_string(script.fail.c_str()));
    g_variant_builder_add(&builder, "{sv}", "hang", g_variant_new_boolean(script.hang));
    g_variant_unref(call(kMockInterface, kMainObject, "SetDialScript",
                         g_variant_new("(s@a{sv})", profile.c_str(), g_variant_builder_end(&builder)), nullptr));
}

void NetworkManagerMock::removeProfile(const std::string& profile)
{
    g_variant_unref(call(kMockInterface, kMainObject, "RemoveProfile", g_variant_new("(s)", profile.c_str()), nullptr));
}

namespace {

std::vector<std::string> Strings(GVariant* reply)
{
    std::vector<std::string> result;
    GVariantIter* iter = nullptr;
    const char* item = nullptr;
    g_variant_get(reply, "(as)", &iter);
    while (g_variant_iter_next(iter, "&s", &item))
        result.emplace_back(item);
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return result;
}

} // namespace

std::vector<std::string> NetworkManagerMock::activeConnections()
{
    GVariant* reply = call("org.freedesktop.DBus.Properties", "/org/freedesktop/NetworkManager", "Get",
                           g_variant_new("(ss)", "org.freedesktop.NetworkManager", "ActiveConnections"), "(v)");
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::vector<std::string> result;
    GVariantIter iter;
    const char* item = nullptr;
    g_variant_iter_init(&iter, value);
    while (g_variant_iter_next(&iter, "&o", &item))
        result.emplace_back(item);
    g_variant_unref(value);
    g_variant_unref(reply);
    return result;
}

std::vector<std::string> NetworkManagerMock::agents()
{
    return Strings(call(kMockInterface, kMainObject, "ListAgents", nullptr, "(as)"));
}

std::string NetworkManagerMock::activate(const std::string& profile)
{
    GVariant* reply = call("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager", "ActivateConnection",
                           g_variant_new("(ooo)", profile.c_str(), "/", "/"), "(o)");
    const char* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    std::string result = path;
    g_variant_unref(reply);
    return result;
}

} // namespace velt::testing
