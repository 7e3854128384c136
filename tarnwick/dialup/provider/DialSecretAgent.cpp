#include "tarnwick/dialup/provider/DialSecretAgent.h"

#include <cstring>

namespace rasprovider {

namespace {

struct DialAgent
{
    NMSecretAgentOld parent;
    char* connectionPath;
    char* password;
};

struct DialAgentClass
{
    NMSecretAgentOldClass parent;
};

} // namespace

G_DEFINE_TYPE(DialAgent, dial_agent, NM_TYPE_SECRET_AGENT_OLD)

namespace {

// The key under which a setting keeps its password.
GVariant* SecretsFor(const char* settingName, const char* password)
{
    GVariantBuilder setting;
    g_variant_builder_init(&setting, G_VARIANT_TYPE("a{sv}"));
    if (std::strcmp(settingName, NM_SETTING_VPN_SETTING_NAME) == 0) {
        GVariantBuilder secrets;
        g_variant_builder_init(&secrets, G_VARIANT_TYPE("a{ss}"));
        g_variant_builder_add(&secrets, "{ss}", "password", password);
        g_variant_builder_add(&setting, "{sv}", NM_SETTING_VPN_SECRETS, g_variant_builder_end(&secrets));
    } else if (std::strcmp(settingName, NM_SETTING_WIRELESS_SECURITY_SETTING_NAME) == 0) {
        g_variant_builder_add(&setting, "{sv}", NM_SETTING_WIRELESS_SECURITY_PSK, g_variant_new_string(password));
    } else {
        // gsm, cdma, pppoe, 802-1x, adsl: all call it "password"
        g_variant_builder_add(&setting, "{sv}", "password", g_variant_new_string(password));
    }
    GVariantBuilder all;
    g_variant_builder_init(&all, G_VARIANT_TYPE("a{sa{sv}}"));
    g_variant_builder_add(&all, "{sa{sv}}", settingName, &setting);
    return g_variant_ref_sink(g_variant_builder_end(&all));
}

void GetSecrets(NMSecretAgentOld* self, NMConnection* connection, const char* connectionPath, const char* settingName,
                const char**, NMSecretAgentGetSecretsFlags, NMSecretAgentOldGetSecretsFunc callback, gpointer userData)
{
    auto* agent = reinterpret_cast<DialAgent*>(self);
    if (!connectionPath || !agent->connectionPath || std::strcmp(connectionPath, agent->connectionPath) != 0
        || !settingName) {
        GError* error = g_error_new_literal(NM_SECRET_AGENT_ERROR, NM_SECRET_AGENT_ERROR_NO_SECRETS,
                                            "no secrets for this profile");
        callback(self, connection, nullptr, error, userData);
        g_error_free(error);
        return;
    }
    GVariant* secrets = SecretsFor(settingName, agent->password);
    callback(self, connection, secrets, nullptr, userData);
    g_variant_unref(secrets);
}

void CancelGetSecrets(NMSecretAgentOld*, const char*, const char*)
{
    // Requests are answered at once; nothing is outstanding.
}

void SaveSecrets(NMSecretAgentOld* self, NMConnection* connection, const char*,
                 NMSecretAgentOldSaveSecretsFunc callback, gpointer userData)
{
    callback(self, connection, nullptr, userData);
}

void DeleteSecrets(NMSecretAgentOld* self, NMConnection* connection, const char*,
                   NMSecretAgentOldDeleteSecretsFunc callback, gpointer userData)
{
    callback(self, connection, nullptr, userData);
}

void Finalize(GObject* object)
{
    auto* agent = reinterpret_cast<DialAgent*>(object);
    g_free(agent->connectionPath);
    if (agent->password) {
        std::memset(agent->password, 0, std::strlen(agent->password));
        g_free(agent->password);
    }
    G_OBJECT_CLASS(dial_agent_parent_class)->finalize(object);
}

} // namespace

static void dial_agent_init(DialAgent* agent)
{
    agent->connectionPath = nullptr;
    agent->password = nullptr;
}

static void dial_agent_class_init(DialAgentClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    klass->parent.get_secrets = GetSecrets;
    klass->parent.cancel_get_secrets = CancelGetSecrets;
    klass->parent.save_secrets = SaveSecrets;
    klass->parent.delete_secrets = DeleteSecrets;
}

NMSecretAgentOld* NewDialSecretAgent(GDBusConnection* bus, const std::string& connectionPath,
                                     const std::string& password)
{
    auto* agent = static_cast<DialAgent*>(g_object_new(dial_agent_get_type(), NM_SECRET_AGENT_OLD_IDENTIFIER,
                                                       "de.velt.tarnwick.dial", NM_SECRET_AGENT_OLD_AUTO_REGISTER, TRUE,
                                                       NM_SECRET_AGENT_OLD_DBUS_CONNECTION, bus, nullptr));
    agent->connectionPath = g_strdup(connectionPath.c_str());
    agent->password = g_strdup(password.c_str());
    return &agent->parent;
}

} // namespace rasprovider
