#include "tarnwick/dialup/provider/Provider.h"

#include "tarnwick/dialup/provider/DialSecretAgent.h"
#include "tarnwick/dialup/provider/NmStateMap.h"

#include "tarnwick/dialup/provider/LibNm.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace rasprovider {

namespace {

// A caller waits at most this long for the provider's thread; the thread's
// own bus calls give up earlier, so an answer normally arrives in time.
constexpr auto kCallTimeout = std::chrono::milliseconds(6000);
constexpr int kBusTimeoutMs = 3000;

// Profile types that can bring a computer online.
bool IsDialType(const char* type)
{
    static const char* const kTypes[] = {
        NM_SETTING_GSM_SETTING_NAME,       NM_SETTING_CDMA_SETTING_NAME,       NM_SETTING_PPPOE_SETTING_NAME,
        NM_SETTING_ADSL_SETTING_NAME,      NM_SETTING_BLUETOOTH_SETTING_NAME,  NM_SETTING_VPN_SETTING_NAME,
        NM_SETTING_WIREGUARD_SETTING_NAME, NM_SETTING_WIRELESS_SETTING_NAME,   NM_SETTING_WIRED_SETTING_NAME,
        NM_SETTING_BOND_SETTING_NAME,      NM_SETTING_BRIDGE_SETTING_NAME,     NM_SETTING_TEAM_SETTING_NAME,
        NM_SETTING_VLAN_SETTING_NAME,      NM_SETTING_INFINIBAND_SETTING_NAME,
    };
    if (!type)
        return false;
    for (const char* candidate : kTypes)
        if (std::strcmp(type, candidate) == 0)
            return true;
    return false;
}

// A profile that is listed as a phonebook entry: a type that goes online, not
// a port of a bridge or bond, with a name that fits the records unshortened.
bool IsEntry(NMConnection* connection)
{
    NMSettingConnection* setting = nm_connection_get_setting_connection(connection);
    if (!setting || nm_setting_connection_get_master(setting))
        return false;
    const char* id = nm_setting_connection_get_id(setting);
    return id && *id && std::strlen(id) <= RAS_MAX_ENTRY_NAME
        && IsDialType(nm_setting_connection_get_connection_type(setting));
}

std::string StringProperty(NMSetting* setting, const char* property)
{
    if (!setting)
        return {};
    char* value = nullptr;
    g_object_get(setting, property, &value, nullptr);
    std::string result = value ? value : "";
    g_free(value);
    return result;
}

std::string Clip(std::string text, size_t size)
{
    if (text.size() > size)
        text.resize(size);
    return text;
}

struct Task
{
    std::function<void()> run;
};

struct Waiter
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
};

// Delivers dial notifications in order on a thread of their own.
class NotifierThread
{
public:
    NotifierThread()
        : m_thread([this] { Loop(); })
    {
        m_thread.detach();
    }

    void Post(RASDIALFUNC notifier, uint32_t state, uint32_t error)
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({notifier, state, error});
        m_ready.notify_one();
    }

private:
    struct Item
    {
        RASDIALFUNC notifier;
        uint32_t state;
        uint32_t error;
    };

    void Loop()
    {
        for (;;) {
            Item item;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return !m_queue.empty(); });
                item = m_queue.front();
                m_queue.pop_front();
            }
            item.notifier(WM_RASDIALEVENT, item.state, item.error);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Item> m_queue;
    std::thread m_thread;
};

} // namespace

// One dial (or one active profile found by listing): lives on the provider's thread.
struct Connection
{
    uint32_t handle = 0;
    std::string name;
    std::string profilePath;
    std::string activePath;
    std::string deviceType;
    std::string deviceName;
    std::string phoneNumber;
    // Dial state; empty notifier for a connection that was only listed.
    RASDIALFUNC notifier = nullptr;
    bool dialling = false; // notifications still go out
    bool activationPending = false;
    bool agentDone = false;
    bool hangUpRequested = false;
    bool connected = false;
    bool deviceActivating = false; // the device has been seen working on this activation
    uint32_t state = RASCS_OpenPort;
    uint32_t error = 0;
    NMActiveConnection* active = nullptr;
    NMDevice* device = nullptr;
    NMSecretAgentOld* agent = nullptr;
    std::string password;
};

struct Provider::Impl
{
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    std::thread::id threadId;
    NotifierThread notifications;

    std::mutex queueMutex;
    std::deque<std::shared_ptr<Task>> queue;
    bool queueScheduled = false;
    bool inTask = false;

    // Owned by the provider's thread.
    GDBusConnection* bus = nullptr;
    NMClient* client = nullptr;
    std::map<uint32_t, std::unique_ptr<Connection>> connections;
    uint32_t nextHandle = 1;

    Impl()
    {
        context = g_main_context_new();
        loop = g_main_loop_new(context, FALSE);
        std::mutex startMutex;
        std::condition_variable started;
        bool running = false;
        std::thread thread([&] {
            g_main_context_push_thread_default(context);
            {
                std::lock_guard lock(startMutex);
                threadId = std::this_thread::get_id();
                running = true;
                started.notify_one();
            }
            g_main_loop_run(loop);
        });
        thread.detach();
        std::unique_lock lock(startMutex);
        started.wait(lock, [&] { return running; });
    }

    // Runs work on the provider's thread and waits for it. False when it did
    // not finish within the call time limit; the work then still runs later
    // and must only touch what it owns.
    bool Run(std::function<void()> work)
    {
        if (std::this_thread::get_id() == threadId) {
            work();
            return true;
        }
        auto waiter = std::make_shared<Waiter>();
        auto task = std::make_shared<Task>();
        task->run = [work = std::move(work), waiter] {
            work();
            std::lock_guard lock(waiter->mutex);
            waiter->finished = true;
            waiter->done.notify_all();
        };
        {
            std::lock_guard lock(queueMutex);
            queue.push_back(task);
            if (!queueScheduled) {
                queueScheduled = true;
                // Always as a source of the provider's context: an invoke could
                // run the task on the calling thread when the loop is not
                // holding the context at that moment.
                GSource* source = g_idle_source_new();
                g_source_set_callback(source, &Impl::OnQueue, this, nullptr);
                g_source_attach(source, context);
                g_source_unref(source);
            }
        }
        std::unique_lock lock(waiter->mutex);
        return waiter->done.wait_for(lock, kCallTimeout, [&] { return waiter->finished; });
    }

    // Tasks run one after the other, never nested inside another task's
    // waiting for bus events.
    static gboolean OnQueue(gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        if (self->inTask) {
            std::lock_guard lock(self->queueMutex);
            self->queueScheduled = false;
            return G_SOURCE_REMOVE;
        }
        for (;;) {
            std::shared_ptr<Task> task;
            {
                std::lock_guard lock(self->queueMutex);
                if (self->queue.empty()) {
                    self->queueScheduled = false;
                    return G_SOURCE_REMOVE;
                }
                task = self->queue.front();
                self->queue.pop_front();
            }
            self->inTask = true;
            task->run();
            self->inTask = false;
        }
    }

    // Dispatches the bus events that are already queued on this thread.
    void Drain()
    {
        for (int i = 0; i < 1000 && g_main_context_iteration(context, FALSE); ++i) { }
    }

    // Iterates the private context until done() or the time runs out.
    bool WaitFor(const std::function<bool()>& done, int milliseconds)
    {
        const gint64 deadline = g_get_monotonic_time() + gint64(milliseconds) * 1000;
        while (!done()) {
            const gint64 left = deadline - g_get_monotonic_time();
            if (left <= 0)
                return false;
            GSource* timeout = g_timeout_source_new(guint(left / 1000 + 1));
            g_source_set_callback(
                timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(timeout, context);
            g_main_context_iteration(context, TRUE);
            g_source_destroy(timeout);
            g_source_unref(timeout);
        }
        return true;
    }

    // ---- the NetworkManager client ----

    // Makes sure a client for the NetworkManager now on the bus exists and
    // has seen every event sent before this call. 0 or 711.
    uint32_t EnsureClient()
    {
        if (bus && g_dbus_connection_is_closed(bus))
            LoseClient();
        if (!bus) {
            GError* error = nullptr;
            char* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
            if (address)
                bus = g_dbus_connection_new_for_address_sync(
                    address,
                    GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                         | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                    nullptr, nullptr, &error);
            g_free(address);
            g_clear_error(&error);
            if (!bus)
                return RAS_ERROR_SERVICE_UNAVAILABLE;
            g_dbus_connection_set_exit_on_close(bus, FALSE);
        }
        // Asking the bus for NetworkManager's owner also orders this call after
        // every event already sent to us.
        GError* error = nullptr;
        GVariant* reply
            = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                          "GetNameOwner", g_variant_new("(s)", NM_DBUS_SERVICE), G_VARIANT_TYPE("(s)"),
                                          G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, &error);
        g_clear_error(&error);
        if (!reply) {
            Drain();
            FailDials(RAS_ERROR_SERVICE_UNAVAILABLE);
            return RAS_ERROR_SERVICE_UNAVAILABLE;
        }
        const char* owner = nullptr;
        g_variant_get(reply, "(&s)", &owner);
        const std::string currentOwner = owner;
        g_variant_unref(reply);
        // A round trip to NetworkManager itself: whatever it sent before its
        // answer is then queued here.
        reply
            = g_dbus_connection_call_sync(bus, currentOwner.c_str(), NM_DBUS_PATH, "org.freedesktop.DBus.Peer", "Ping",
                                          nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, &error);
        g_clear_error(&error);
        if (!reply) {
            Drain();
            return RAS_ERROR_SERVICE_UNAVAILABLE;
        }
        g_variant_unref(reply);
        if (client) {
            const char* known = nm_client_get_dbus_name_owner(client);
            if (!known || currentOwner != known)
                LoseClient();
        }
        if (!client) {
            client = static_cast<NMClient*>(
                g_initable_new(NM_TYPE_CLIENT, nullptr, &error, NM_CLIENT_DBUS_CONNECTION, bus, nullptr));
            g_clear_error(&error);
            if (!client)
                return RAS_ERROR_SERVICE_UNAVAILABLE;
            g_signal_connect(client, "notify::" NM_CLIENT_DBUS_NAME_OWNER, G_CALLBACK(&Impl::OnOwnerChanged), this);
            g_signal_connect(client, NM_CLIENT_ACTIVE_CONNECTION_REMOVED, G_CALLBACK(&Impl::OnActiveRemoved), this);
        }
        Drain();
        if (!client || !nm_client_get_nm_running(client))
            return RAS_ERROR_SERVICE_UNAVAILABLE;
        Prune();
        return RAS_OK;
    }

    // Forgets connections that ended: their handles then answer 6, as they
    // would anyway, and a long run does not collect them.
    void Prune()
    {
        for (auto it = connections.begin(); it != connections.end();) {
            Connection& connection = *it->second;
            if (connection.dialling || connection.activationPending
                || (!connection.activePath.empty() && FindActive(connection.activePath))) {
                ++it;
                continue;
            }
            ReleaseObjects(connection);
            it = connections.erase(it);
        }
    }

    // NetworkManager left (or the bus went): running dials end with 711.
    void LoseClient()
    {
        FailDials(RAS_ERROR_SERVICE_UNAVAILABLE);
        // The old NetworkManager's objects are gone; a new one may reuse their
        // paths for other connections.
        for (auto& [handle, connection] : connections) {
            ReleaseObjects(*connection);
            connection->activePath.clear();
        }
        if (client) {
            g_signal_handlers_disconnect_by_data(client, this);
            g_clear_object(&client);
        }
        if (bus && g_dbus_connection_is_closed(bus))
            g_clear_object(&bus);
    }

    static void OnOwnerChanged(NMClient* client, GParamSpec*, gpointer data)
    {
        if (!nm_client_get_dbus_name_owner(client))
            static_cast<Impl*>(data)->FailDials(RAS_ERROR_SERVICE_UNAVAILABLE);
    }

    static void OnActiveRemoved(NMClient* client, NMActiveConnection* active, gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        for (auto& [handle, connection] : self->connections) {
            if (connection->active != active || !connection->dialling)
                continue;
            if (!nm_client_get_dbus_name_owner(client))
                self->Fail(*connection, RAS_ERROR_SERVICE_UNAVAILABLE);
            else
                self->Evaluate(*connection, true);
        }
    }

    // NetworkManager reached and the profile of that name found: RAS_OK with
    // the profile, or the code that says which of the two failed.
    uint32_t ReachProfile(const std::string& name, NMRemoteConnection*& profile)
    {
        profile = nullptr;
        if (const uint32_t code = EnsureClient(); code != RAS_OK)
            return code;
        profile = FindProfile(name);
        return profile ? RAS_OK : RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }

    NMRemoteConnection* FindProfile(const std::string& name)
    {
        const GPtrArray* profiles = nm_client_get_connections(client);
        NMRemoteConnection* folded = nullptr;
        char* wanted = g_utf8_casefold(name.c_str(), -1);
        for (guint i = 0; profiles && i < profiles->len; ++i) {
            auto* profile = static_cast<NMRemoteConnection*>(g_ptr_array_index(profiles, i));
            if (!IsEntry(NM_CONNECTION(profile)))
                continue;
            const char* id = nm_connection_get_id(NM_CONNECTION(profile));
            if (name == id) {
                g_free(wanted);
                return profile;
            }
            char* candidate = g_utf8_casefold(id, -1);
            if (!folded && std::strcmp(candidate, wanted) == 0)
                folded = profile;
            g_free(candidate);
        }
        g_free(wanted);
        return folded;
    }

    EntryDetails Describe(NMConnection* profile)
    {
        EntryDetails details;
        details.name = nm_connection_get_id(profile);
        const char* type = nm_connection_get_connection_type(profile);
        if (std::strcmp(type, NM_SETTING_GSM_SETTING_NAME) == 0 || std::strcmp(type, NM_SETTING_CDMA_SETTING_NAME) == 0
            || std::strcmp(type, NM_SETTING_BLUETOOTH_SETTING_NAME) == 0)
            details.deviceType = "modem";
        else if (std::strcmp(type, NM_SETTING_PPPOE_SETTING_NAME) == 0
                 || std::strcmp(type, NM_SETTING_ADSL_SETTING_NAME) == 0)
            details.deviceType = "PPPoE";
        else if (std::strcmp(type, NM_SETTING_VPN_SETTING_NAME) == 0
                 || std::strcmp(type, NM_SETTING_WIREGUARD_SETTING_NAME) == 0)
            details.deviceType = "vpn";
        else
            details.deviceType = "GENERIC";

        details.phoneNumber = StringProperty(nm_connection_get_setting_by_name(profile, NM_SETTING_GSM_SETTING_NAME),
                                             NM_SETTING_GSM_NUMBER);
        if (details.phoneNumber.empty())
            details.phoneNumber = StringProperty(
                nm_connection_get_setting_by_name(profile, NM_SETTING_CDMA_SETTING_NAME), NM_SETTING_CDMA_NUMBER);

        static const std::pair<const char*, const char*> kUserKeys[] = {
            {NM_SETTING_GSM_SETTING_NAME, "username"},   {NM_SETTING_CDMA_SETTING_NAME, "username"},
            {NM_SETTING_PPPOE_SETTING_NAME, "username"}, {NM_SETTING_ADSL_SETTING_NAME, "username"},
            {NM_SETTING_VPN_SETTING_NAME, "user-name"},  {NM_SETTING_802_1X_SETTING_NAME, "identity"},
        };
        for (const auto& [settingName, key] : kUserKeys) {
            details.userName = StringProperty(nm_connection_get_setting_by_name(profile, settingName), key);
            if (!details.userName.empty())
                break;
        }

        const char* interfaceName = nm_connection_get_interface_name(profile);
        if (interfaceName)
            details.deviceName = interfaceName;
        const GPtrArray* devices = client ? nm_client_get_devices(client) : nullptr;
        const char* path = nm_connection_get_path(profile);
        for (guint i = 0; details.deviceName.empty() && path && devices && i < devices->len; ++i) {
            auto* device = static_cast<NMDevice*>(g_ptr_array_index(devices, i));
            const GPtrArray* available = nm_device_get_available_connections(device);
            for (guint j = 0; available && j < available->len; ++j) {
                if (std::strcmp(nm_connection_get_path(NM_CONNECTION(g_ptr_array_index(available, j))), path) == 0) {
                    const char* name = nm_device_get_iface(device);
                    details.deviceName = name ? name : "";
                    break;
                }
            }
        }
        details.deviceType = Clip(details.deviceType, RAS_MAX_DEVICE_TYPE);
        details.deviceName = Clip(details.deviceName, RAS_MAX_DEVICE_NAME);
        details.phoneNumber = Clip(details.phoneNumber, RAS_MAX_PHONE_NUMBER);
        details.userName = Clip(details.userName, RAS_MAX_USER_NAME);
        return details;
    }

    NMActiveConnection* FindActive(const std::string& path)
    {
        const GPtrArray* active = client ? nm_client_get_active_connections(client) : nullptr;
        for (guint i = 0; !path.empty() && active && i < active->len; ++i) {
            auto* candidate = static_cast<NMActiveConnection*>(g_ptr_array_index(active, i));
            if (path == nm_object_get_path(NM_OBJECT(candidate)))
                return candidate;
        }
        return nullptr;
    }

    Connection& NewConnection()
    {
        auto connection = std::make_unique<Connection>();
        connection->handle = nextHandle++;
        if (nextHandle == 0)
            nextHandle = 1;
        Connection& result = *connection;
        connections[result.handle] = std::move(connection);
        return result;
    }

    Connection* Lookup(uint32_t handle)
    {
        auto found = connections.find(handle);
        return found == connections.end() ? nullptr : found->second.get();
    }

    // ---- dials ----

    void Notify(Connection& connection, uint32_t state, uint32_t error)
    {
        if (connection.notifier)
            notifications.Post(connection.notifier, state, error);
    }

    void Progress(Connection& connection, uint32_t state)
    {
        if (!connection.dialling || state == connection.state)
            return;
        connection.state = state;
        Notify(connection, state, 0);
    }

    void Fail(Connection& connection, uint32_t error)
    {
        if (!connection.dialling)
            return;
        connection.error = error;
        Notify(connection, connection.state, error);
        EndDial(connection);
    }

    void FailDials(uint32_t error)
    {
        for (auto& [handle, connection] : connections)
            if (connection->dialling)
                Fail(*connection, error);
    }

    // No more notifications; the agent goes, the password is forgotten.
    void EndDial(Connection& connection)
    {
        connection.dialling = false;
        if (connection.agent) {
            nm_secret_agent_old_destroy(connection.agent);
            g_clear_object(&connection.agent);
        }
        std::fill(connection.password.begin(), connection.password.end(), '\0');
        connection.password.clear();
        if (connection.active)
            g_signal_handlers_disconnect_by_data(connection.active, &connection);
        if (connection.device)
            g_signal_handlers_disconnect_by_data(connection.device, &connection);
    }

    void ReleaseObjects(Connection& connection)
    {
        EndDial(connection);
        g_clear_object(&connection.active);
        g_clear_object(&connection.device);
    }

    static void OnActiveStateChanged(NMActiveConnection*, guint, guint, gpointer data)
    {
        Connection& connection = *static_cast<Connection*>(data);
        Instance().m_impl->Evaluate(connection, false);
    }

    static void OnDevicesChanged(NMActiveConnection*, GParamSpec*, gpointer data)
    {
        Connection& connection = *static_cast<Connection*>(data);
        Instance().m_impl->Evaluate(connection, false);
    }

    static void OnDeviceStateChanged(NMDevice*, guint, guint, guint, gpointer data)
    {
        Connection& connection = *static_cast<Connection*>(data);
        Instance().m_impl->Evaluate(connection, false);
    }

    // Follows the activation: progress codes, the end and its error.
    void Evaluate(Connection& connection, bool removed)
    {
        if (!connection.dialling || !connection.active)
            return;
        NMActiveConnection* active = connection.active;
        if (!connection.device) {
            const GPtrArray* devices = nm_active_connection_get_devices(active);
            if (devices && devices->len > 0) {
                connection.device = NM_DEVICE(g_object_ref(g_ptr_array_index(devices, 0)));
                g_signal_connect(connection.device, "state-changed", G_CALLBACK(&Impl::OnDeviceStateChanged),
                                 &connection);
                const char* name = nm_device_get_iface(connection.device);
                if (connection.deviceName.empty() && name)
                    connection.deviceName = Clip(name, RAS_MAX_DEVICE_NAME);
            }
        }
        const NMActiveConnectionState state
            = removed ? NM_ACTIVE_CONNECTION_STATE_DEACTIVATED : nm_active_connection_get_state(active);
        const NMDeviceState deviceState
            = connection.device ? nm_device_get_state(connection.device) : NM_DEVICE_STATE_UNKNOWN;
        if (state == NM_ACTIVE_CONNECTION_STATE_ACTIVATED) {
            connection.connected = true;
            Progress(connection, RASCS_Connected);
            EndDial(connection);
            return;
        }
        // A device that failed before this activation reached it (a state left
        // from an earlier attempt) does not end this dial.
        if (deviceState == NM_DEVICE_STATE_FAILED && connection.deviceActivating) {
            Fail(connection, ErrorForDeviceReason(nm_device_get_state_reason(connection.device)));
            return;
        }
        if (state == NM_ACTIVE_CONNECTION_STATE_DEACTIVATING || state == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED) {
            Fail(connection, ErrorForActiveReason(nm_active_connection_get_state_reason(active)));
            return;
        }
        if (const auto progress = StateForDevice(deviceState)) {
            connection.deviceActivating = true;
            Progress(connection, *progress);
        } else if (!connection.device)
            Progress(connection, RASCS_ConnectDevice);
    }

    static uint32_t ActivationError(GError* error)
    {
        if (g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_UNKNOWN_DEVICE)
            || g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_CONNECTION_NOT_AVAILABLE))
            return RAS_ERROR_PORT_NOT_AVAILABLE;
        if (g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_UNKNOWN_CONNECTION))
            return RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN)
            || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)
            || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY)
            || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED))
            return RAS_ERROR_SERVICE_UNAVAILABLE;
        if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)
            || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT)
            || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT))
            return RAS_ERROR_NO_ANSWER;
        return RAS_ERROR_DEVICE_ERROR;
    }

    // The agent is registered (or could not be: without an agent manager the
    // dial goes on and NetworkManager uses what the profile holds). A
    // registration that does not answer in time is not waited for.
    static void OnAgentReady(GObject* agent, GAsyncResult* result, gpointer data)
    {
        g_async_initable_init_finish(G_ASYNC_INITABLE(agent), result, nullptr);
        Instance().m_impl->AgentDone(GPOINTER_TO_UINT(data));
    }

    static gboolean OnAgentLate(gpointer data)
    {
        Instance().m_impl->AgentDone(GPOINTER_TO_UINT(data));
        return G_SOURCE_REMOVE;
    }

    void AgentDone(uint32_t handle)
    {
        Connection* connection = Lookup(handle);
        if (!connection || connection->agentDone)
            return;
        connection->agentDone = true;
        Activate(*connection);
    }

    void Activate(Connection& connection)
    {
        if (!client || connection.hangUpRequested) {
            connection.activationPending = false;
            if (!client)
                Fail(connection, RAS_ERROR_SERVICE_UNAVAILABLE);
            return;
        }
        NMRemoteConnection* profile = nm_client_get_connection_by_path(client, connection.profilePath.c_str());
        if (!profile) {
            connection.activationPending = false;
            Fail(connection, RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
            return;
        }
        nm_client_activate_connection_async(client, NM_CONNECTION(profile), nullptr, nullptr, nullptr,
                                            &Impl::OnActivated, GUINT_TO_POINTER(connection.handle));
    }

    static void OnActivated(GObject* source, GAsyncResult* result, gpointer data)
    {
        GError* error = nullptr;
        NMActiveConnection* active = nm_client_activate_connection_finish(NM_CLIENT(source), result, &error);
        Impl& self = *Instance().m_impl;
        Connection* connection = self.Lookup(GPOINTER_TO_UINT(data));
        if (!connection) {
            g_clear_object(&active);
            g_clear_error(&error);
            return;
        }
        connection->activationPending = false;
        if (!active) {
            self.Fail(*connection, ActivationError(error));
            g_clear_error(&error);
            return;
        }
        connection->active = active;
        connection->activePath = nm_object_get_path(NM_OBJECT(active));
        if (connection->hangUpRequested) {
            // Hung up while the request was on its way: end what it started.
            self.EndDial(*connection);
            if (NM_CLIENT(source) == self.client)
                nm_client_deactivate_connection_async(self.client, active, nullptr, nullptr, nullptr);
            return;
        }
        if (!connection->dialling)
            return;
        g_signal_connect(active, "state-changed", G_CALLBACK(&Impl::OnActiveStateChanged), connection);
        g_signal_connect(active, "notify::" NM_ACTIVE_CONNECTION_DEVICES, G_CALLBACK(&Impl::OnDevicesChanged),
                         connection);
        self.Progress(*connection, RASCS_PortOpened);
        self.Evaluate(*connection, false);
    }
};

Provider& Provider::Instance()
{
    // Never destroyed: its threads run until the process ends.
    static Provider* provider = new Provider();
    return *provider;
}

Provider::Provider()
    : m_impl(new Impl())
{
}

uint32_t Provider::EnumEntries(std::vector<std::string>& names)
{
    auto result = std::make_shared<std::pair<uint32_t, std::vector<std::string>>>(RAS_ERROR_SERVICE_UNAVAILABLE,
                                                                                  std::vector<std::string> {});
    Impl* impl = m_impl;
    if (!impl->Run([impl, result] {
            result->first = impl->EnsureClient();
            if (result->first != RAS_OK)
                return;
            const GPtrArray* profiles = nm_client_get_connections(impl->client);
            for (guint i = 0; profiles && i < profiles->len; ++i) {
                auto* profile = NM_CONNECTION(g_ptr_array_index(profiles, i));
                if (IsEntry(profile))
                    result->second.push_back(nm_connection_get_id(profile));
            }
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    names = result->second;
    return result->first;
}

uint32_t Provider::FindEntry(const std::string& name, EntryDetails& details)
{
    struct Result
    {
        uint32_t code = RAS_ERROR_SERVICE_UNAVAILABLE;
        EntryDetails details;
    };
    auto result = std::make_shared<Result>();
    Impl* impl = m_impl;
    if (!impl->Run([impl, result, name] {
            NMRemoteConnection* profile = nullptr;
            result->code = impl->ReachProfile(name, profile);
            if (result->code != RAS_OK)
                return;
            result->details = impl->Describe(NM_CONNECTION(profile));
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    details = result->details;
    return result->code;
}

uint32_t Provider::GetCredentials(const std::string& name, std::string& userName, std::string& password,
                                  bool& havePassword)
{
    struct Result
    {
        uint32_t code = RAS_ERROR_SERVICE_UNAVAILABLE;
        std::string user;
        std::string password;
        bool havePassword = false;
    };
    auto result = std::make_shared<Result>();
    Impl* impl = m_impl;
    if (!impl->Run([impl, result, name] {
            NMRemoteConnection* profile = nullptr;
            result->code = impl->ReachProfile(name, profile);
            if (result->code != RAS_OK)
                return;
            result->user = impl->Describe(NM_CONNECTION(profile)).userName;
            // The password only where NetworkManager hands it to this user.
            static const std::pair<const char*, const char*> kSecretKeys[] = {
                {NM_SETTING_GSM_SETTING_NAME, "password"},
                {NM_SETTING_CDMA_SETTING_NAME, "password"},
                {NM_SETTING_PPPOE_SETTING_NAME, "password"},
                {NM_SETTING_ADSL_SETTING_NAME, "password"},
                {NM_SETTING_VPN_SETTING_NAME, "password"},
                {NM_SETTING_802_1X_SETTING_NAME, "password"},
                {NM_SETTING_WIRELESS_SECURITY_SETTING_NAME, NM_SETTING_WIRELESS_SECURITY_PSK},
            };
            for (const auto& [settingName, key] : kSecretKeys) {
                if (!nm_connection_get_setting_by_name(NM_CONNECTION(profile), settingName))
                    continue;
                struct Reply
                {
                    bool done = false;
                    GVariant* secrets = nullptr;
                };
                auto* reply = new Reply();
                nm_remote_connection_get_secrets_async(
                    profile, settingName, nullptr,
                    [](GObject* source, GAsyncResult* asyncResult, gpointer data) {
                        auto* r = static_cast<Reply*>(data);
                        r->secrets = nm_remote_connection_get_secrets_finish(NM_REMOTE_CONNECTION(source), asyncResult,
                                                                             nullptr);
                        r->done = true;
                    },
                    reply);
                // The reply arrives within the bus time limit (it lands in the
                // reply record, which then is only freed here).
                impl->WaitFor([reply] { return reply->done; }, kBusTimeoutMs + 500);
                if (!reply->done)
                    break; // the record stays for the late reply
                if (reply->secrets) {
                    GVariant* setting = g_variant_lookup_value(reply->secrets, settingName, G_VARIANT_TYPE("a{sv}"));
                    const char* value = nullptr;
                    if (setting && std::strcmp(settingName, NM_SETTING_VPN_SETTING_NAME) == 0) {
                        GVariant* vpnSecrets
                            = g_variant_lookup_value(setting, NM_SETTING_VPN_SECRETS, G_VARIANT_TYPE("a{ss}"));
                        if (vpnSecrets && g_variant_lookup(vpnSecrets, key, "&s", &value))
                            result->password = value;
                        if (vpnSecrets)
                            g_variant_unref(vpnSecrets);
                    } else if (setting && g_variant_lookup(setting, key, "&s", &value)) {
                        result->password = value;
                    }
                    result->havePassword = value != nullptr;
                    if (setting)
                        g_variant_unref(setting);
                    g_variant_unref(reply->secrets);
                }
                delete reply;
                break;
            }
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    userName = result->user;
    password = Clip(result->password, RAS_MAX_PASSWORD);
    havePassword = result->havePassword;
    return result->code;
}

uint32_t Provider::EnumConnections(std::vector<ActiveDetails>& connections)
{
    auto result = std::make_shared<std::pair<uint32_t, std::vector<ActiveDetails>>>(RAS_ERROR_SERVICE_UNAVAILABLE,
                                                                                    std::vector<ActiveDetails> {});
    Impl* impl = m_impl;
    if (!impl->Run([impl, result] {
            result->first = impl->EnsureClient();
            if (result->first != RAS_OK)
                return;
            const GPtrArray* active = nm_client_get_active_connections(impl->client);
            for (guint i = 0; active && i < active->len; ++i) {
                auto* candidate = static_cast<NMActiveConnection*>(g_ptr_array_index(active, i));
                const NMActiveConnectionState state = nm_active_connection_get_state(candidate);
                NMRemoteConnection* profile = nm_active_connection_get_connection(candidate);
                if ((state != NM_ACTIVE_CONNECTION_STATE_ACTIVATING && state != NM_ACTIVE_CONNECTION_STATE_ACTIVATED)
                    || !profile || !IsEntry(NM_CONNECTION(profile)))
                    continue;
                const std::string path = nm_object_get_path(NM_OBJECT(candidate));
                Connection* known = nullptr;
                for (auto& [handle, connection] : impl->connections)
                    if (connection->activePath == path)
                        known = connection.get();
                if (!known) {
                    known = &impl->NewConnection();
                    known->activePath = path;
                }
                const EntryDetails details = impl->Describe(NM_CONNECTION(profile));
                known->name = details.name;
                known->deviceType = details.deviceType;
                if (known->deviceName.empty())
                    known->deviceName = details.deviceName;
                result->second.push_back({known->handle, known->name, known->deviceType, known->deviceName});
            }
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    connections = result->second;
    return result->first;
}

uint32_t Provider::Dial(const std::string& name, const std::string& password, RASDIALFUNC notifier, uint32_t& handle)
{
    auto result = std::make_shared<std::pair<uint32_t, uint32_t>>(RAS_ERROR_SERVICE_UNAVAILABLE, 0);
    Impl* impl = m_impl;
    if (!impl->Run([impl, result, name, password, notifier] {
            NMRemoteConnection* profile = nullptr;
            result->first = impl->ReachProfile(name, profile);
            if (result->first != RAS_OK)
                return;
            const EntryDetails details = impl->Describe(NM_CONNECTION(profile));
            Connection& connection = impl->NewConnection();
            connection.name = details.name;
            connection.profilePath = nm_connection_get_path(NM_CONNECTION(profile));
            connection.deviceType = details.deviceType;
            connection.deviceName = details.deviceName;
            connection.phoneNumber = details.phoneNumber;
            connection.notifier = notifier;
            connection.dialling = true;
            connection.activationPending = true;
            result->second = connection.handle;
            impl->Notify(connection, RASCS_OpenPort, 0);
            if (password.empty()) {
                connection.agentDone = true;
                impl->Activate(connection);
                return;
            }
            connection.agent = NewDialSecretAgent(impl->bus, connection.profilePath, password);
            g_async_initable_init_async(G_ASYNC_INITABLE(connection.agent), G_PRIORITY_DEFAULT, nullptr,
                                        &Impl::OnAgentReady, GUINT_TO_POINTER(connection.handle));
            GSource* late = g_timeout_source_new(kBusTimeoutMs);
            g_source_set_callback(late, &Impl::OnAgentLate, GUINT_TO_POINTER(connection.handle), nullptr);
            g_source_attach(late, impl->context);
            g_source_unref(late);
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    handle = result->second;
    return result->first;
}

uint32_t Provider::GetStatus(uint32_t handle, StatusDetails& status)
{
    auto result = std::make_shared<std::pair<uint32_t, StatusDetails>>(RAS_ERROR_INVALID_HANDLE, StatusDetails {});
    Impl* impl = m_impl;
    if (!impl->Run([impl, result, handle] {
            // Without NetworkManager no connection exists any more.
            const uint32_t reachable = impl->EnsureClient();
            Connection* connection = impl->Lookup(handle);
            if (!connection)
                return;
            StatusDetails& status = result->second;
            status.deviceType = connection->deviceType;
            status.deviceName = connection->deviceName;
            status.phoneNumber = connection->phoneNumber;
            if (connection->dialling || connection->activationPending) {
                status.state = connection->state;
                result->first = RAS_OK;
                return;
            }
            NMActiveConnection* active = reachable == RAS_OK ? impl->FindActive(connection->activePath) : nullptr;
            if (!active)
                return;
            switch (nm_active_connection_get_state(active)) {
            case NM_ACTIVE_CONNECTION_STATE_ACTIVATED:
                status.state = RASCS_Connected;
                break;
            case NM_ACTIVE_CONNECTION_STATE_ACTIVATING:
                status.state = connection->state;
                break;
            case NM_ACTIVE_CONNECTION_STATE_DEACTIVATING:
                status.state = RASCS_Disconnected;
                status.error = connection->error;
                break;
            default:
                return;
            }
            result->first = RAS_OK;
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    status = result->second;
    return result->first;
}

uint32_t Provider::HangUp(uint32_t handle)
{
    auto result = std::make_shared<uint32_t>(RAS_ERROR_INVALID_HANDLE);
    Impl* impl = m_impl;
    if (!impl->Run([impl, result, handle] {
            const uint32_t reachable = impl->EnsureClient();
            Connection* connection = impl->Lookup(handle);
            if (!connection)
                return;
            *result = RAS_OK;
            connection->hangUpRequested = true;
            impl->EndDial(*connection);
            if (reachable != RAS_OK)
                return; // nothing of it is left on the bus
            if (NMActiveConnection* active = impl->FindActive(connection->activePath)) {
                if (nm_active_connection_get_state(active) < NM_ACTIVE_CONNECTION_STATE_DEACTIVATING)
                    nm_client_deactivate_connection_async(impl->client, active, nullptr, nullptr, nullptr);
            }
        }))
        return RAS_ERROR_SERVICE_UNAVAILABLE;
    return *result;
}

} // namespace rasprovider
