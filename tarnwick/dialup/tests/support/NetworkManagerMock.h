#pragma once

#include "testing/ChildProcess.h"
#include "testing/ScopedEnv.h"
#include "testing/TempDir.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

namespace velt::testing {

// A private dbus-daemon with python-dbusmock standing in for NetworkManager,
// set as the system bus (DBUS_SYSTEM_BUS_ADDRESS) for the life of the object.
// Never touches the machine's own buses. Both processes are stopped by pid.
class NetworkManagerMock
{
public:
    enum class Template {
        Dial, // the project's template: states, failures, secret requests
        Stock, // Debian's template: every activation succeeds at once
        None, // the bus only, no NetworkManager on it
    };

    explicit NetworkManagerMock(Template which = Template::Dial);
    ~NetworkManagerMock();

    const std::string& busAddress() const { return m_address; }
    void startNetworkManager();
    void stopNetworkManager();

    // NetworkManager device types: 1 ethernet, 8 modem (the stock template
    // makes ethernet devices only).
    std::string addDevice(const std::string& name, const std::string& iface, unsigned deviceType);
    // settings: setting name -> key -> text value; "connection" gets id and type.
    std::string addProfile(const std::string& id, const std::string& type, const std::string& device = {},
                           const std::map<std::string, std::map<std::string, std::string>>& settings = {});
    struct DialScript
    {
        std::string device;
        int delayMs = 40;
        std::vector<unsigned> steps = {40, 50, 70, 80};
        std::string password; // expected at NEED_AUTH (60)
        std::string fail; // "password", "timeout", "device", "nodevice"
        bool hang = false;
    };
    void setDialScript(const std::string& profile, const DialScript& script);
    void removeProfile(const std::string& profile);
    std::vector<std::string> activeConnections();
    std::vector<std::string> agents();
    // Activates a profile as another program would (ActivateConnection).
    std::string activate(const std::string& profile);

private:
    GVariant* call(const char* interface, const char* path, const char* method, GVariant* parameters,
                   const char* replyType);

    Template m_template;
    TempDir m_dir;
    std::string m_address;
    std::unique_ptr<ChildProcess> m_bus;
    std::unique_ptr<ChildProcess> m_manager;
    std::unique_ptr<ScopedEnv> m_systemBus;
    GDBusConnection* m_connection = nullptr;
};

} // namespace velt::testing
