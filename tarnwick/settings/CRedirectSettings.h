#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {
class HiveKey;
}

namespace tarnwick {

struct SettingsField;

// Tarnwick's whole configuration: one record, stored in the registry of the
// current user and copied to and from the backup file. Setters mark the
// record modified only on a real change, so that saving can be skipped.
// Texts are UTF-8. The record has no lock: one thread writes it.
class TARNWICK_EXPORT CRedirectSettings
{
public:
    CRedirectSettings();
    virtual ~CRedirectSettings();
    CRedirectSettings(const CRedirectSettings&) = default;
    CRedirectSettings& operator=(const CRedirectSettings&) = default;

    // Null resets every field to its default (Modified included); otherwise
    // copies every field of source, Modified included.
    void CopyFrom(const CRedirectSettings* source);

    int GetExtMessages() const { return m_ExtMessages; }
    int GetClientIpByServer() const { return m_ClientIpByServer; }
    const std::string& GetAutoDialConnection() const { return m_AutoDialConnection; }
    const std::string& GetAutoDialUsername() const { return m_AutoDialUsername; }
    const std::string& GetAutoDialPW() const { return m_AutoDialPW; }
    int GetAutoDial() const { return m_AutoDial; }
    int GetAutoStart() const { return m_AutoStart; }
    int GetWaitTimeInMin() const { return m_WaitTimeInMin; }
    const std::string& GetUploadDir() const { return m_UploadDir; }
    const std::string& GetUploadServer() const { return m_UploadServer; }
    int GetUploadServiceType() const { return m_UploadServiceType; }
    const std::string& GetRedirectUrl() const { return m_RedirectUrl; }
    const std::string& GetBackupFile() const { return m_BackupFile; }
    const std::string& GetUserName() const { return m_UserName; }
    const std::string& GetPassword() const { return m_Password; }
    const std::string& GetUploadFile() const { return m_UploadFile; }
    const std::string& GetLocalUrl() const { return m_LocalUrl; }
    const std::string& GetPhysicalWebDir() const { return m_PhysicalWebDir; }
    const std::string& GetLocalStartPage() const { return m_LocalStartPage; }
    const std::string& GetLocalServerName() const { return m_LocalServerName; }
    const std::string& GetLocalWebObject() const { return m_LocalWebObject; }
    int GetLocalServiceType() const { return m_LocalServiceType; }
    uint16_t GetLocalPort() const { return m_LocalPort; }
    uint16_t GetUploadPort() const { return m_UploadPort; }
    int GetModified() const { return m_Modified; }
    // Uploads over TLS (FTP with AUTH TLS, HTTP PUT over https).
    int GetUploadTls() const { return m_UploadTls; }
    // A PEM file of certificate authorities trusted besides the system's; "" for none.
    const std::string& GetCaFile() const { return m_CaFile; }
    // A status line when the address found is private, shared, link-local or loopback.
    int GetWarnPrivateAddress() const { return m_WarnPrivateAddress; }
    // A failed periodic cycle is tried again sooner than the period.
    int GetRetryAfterFailure() const { return m_RetryAfterFailure; }
    // A change of the machine's addresses or default route runs a cycle.
    int GetRedirectOnAddressChange() const { return m_RedirectOnAddressChange; }
    // 4: the published address is IPv4; 6: the computer's stable global IPv6 address.
    int GetAddressFamily() const { return m_AddressFamily; }
    // With IPv6: an interface identifier ("::99") that replaces the found
    // address's lower 64 bits (another host of the same network); "" for none.
    const std::string& GetIpv6InterfaceId() const { return m_Ipv6InterfaceId; }
    // DNS names: 0 off, 1 update service (dyndns2), 2 DNS UPDATE with TSIG.
    int GetDnsUpdate() const { return m_DnsUpdate; }
    const std::string& GetDnsName() const { return m_DnsName; }
    const std::string& GetDnsServer() const { return m_DnsServer; }
    const std::string& GetDnsUser() const { return m_DnsUser; }
    const std::string& GetDnsPassword() const { return m_DnsPassword; }
    // "hmac-sha256:keyname:base64secret" (or hmac-sha512).
    const std::string& GetDnsKey() const { return m_DnsKey; }
    // The server asked for the name's record; "" for the zone's own servers.
    const std::string& GetDnsCheckServer() const { return m_DnsCheckServer; }
    // 0: the page steps are left out and only the name is kept current.
    int GetRedirectPage() const { return m_RedirectPage; }
    // Whether cycles check and upload the page: RedirectPage=0 leaves it out
    // only while a DNS name is kept current, so that a cycle always has a target.
    bool IsRedirectPageOn() const { return m_RedirectPage != 0 || m_DnsUpdate == 0; }

    // Each setter stores a value that differs from the current one and then
    // sets Modified; an equal value changes nothing. Case-insensitive setters
    // keep the old spelling when only the letter case differs.
    void SetExtMessages(int value);
    void SetClientIpByServer(int value);
    void SetAutoDialConnection(std::string_view value);
    void SetAutoDialUsername(std::string_view value);
    void SetAutoDialPW(std::string_view value);
    void SetAutoDial(int value);
    void SetAutoStart(int value);
    // Ignored unless 1 <= value <= 120.
    void SetWaitTimeInMin(int value);
    // Case-insensitive; a "/" is put in front when missing.
    void SetUploadDir(std::string_view value);
    void SetUploadServer(std::string_view value);
    void SetUploadServiceType(int value);
    void SetRedirectUrl(std::string_view value);
    void SetBackupFile(std::string_view value);
    void SetUserName(std::string_view value);
    void SetPassword(std::string_view value);
    void SetUploadFile(std::string_view value);
    void SetLocalUrl(std::string_view value);
    void SetPhysicalWebDir(std::string_view value);
    void SetLocalStartPage(std::string_view value);
    void SetLocalServerName(std::string_view value);
    // Case-sensitive; a "/" is put in front when missing.
    void SetLocalWebObject(std::string_view value);
    void SetLocalServiceType(int value);
    void SetLocalPort(uint16_t value);
    void SetUploadPort(uint16_t value);
    // Stores the value as given.
    void SetModified(int value);
    void SetUploadTls(int value);
    void SetCaFile(std::string_view value);
    void SetWarnPrivateAddress(int value);
    void SetRetryAfterFailure(int value);
    void SetRedirectOnAddressChange(int value);
    void SetAddressFamily(int value);
    void SetIpv6InterfaceId(std::string_view value);
    void SetDnsUpdate(int value);
    void SetDnsName(std::string_view value);
    void SetDnsServer(std::string_view value);
    void SetDnsUser(std::string_view value);
    void SetDnsPassword(std::string_view value);
    void SetDnsKey(std::string_view value);
    void SetDnsCheckServer(std::string_view value);
    void SetRedirectPage(int value);

    // The redirect address from LocalServiceType, LocalServerName, LocalPort
    // and LocalWebObject; also stored in LocalUrl (without marking a change).
    std::string GetRedirectAddress();

    // The file name of the redirect page: the last path element of address
    // (RedirectUrl when empty) when it is an http address and the element has
    // a "." after its first character; else "". https addresses count as http.
    std::string GetPageFileName(std::string_view address = {}) const;

    // productKey is the path of the product key under HKEY_CURRENT_USER.
    // withServerName also reads LocalServerName back (the command line takes
    // the stored address as what the user means; a start waits for discovery).
    bool LoadFromRegistry(std::string_view productKey, bool withServerName = false);
    // One locked read-modify-write of the hive, written only when a stored
    // value differs.
    bool SaveToRegistry(std::string_view productKey);

    // What became of a change of the stored settings.
    enum class StoreResult {
        Saved, // written, or nothing differed
        NoProductKey, // nothing written
        Locked, // another process held the settings for seconds; nothing written
        Failed, // unreadable or unwritable hive; nothing written
    };
    // Changes the stored settings in one locked read-modify-write and one
    // atomic rename: edit gets the record as stored now (read as
    // LoadFromRegistry reads it, plus LocalServerName when withServerName) and
    // returns the fields to store from it (none: nothing is written).
    // alsoChange, when given, changes other values of the hive in the same
    // transaction and says whether it changed anything.
    using StoredEdit = std::function<std::vector<const SettingsField*>(CRedirectSettings& stored)>;
    using HiveEdit = std::function<bool(platform::registry::HiveKey& root)>;
    static StoreResult EditStoredSettings(std::string_view productKey, bool withServerName, const StoredEdit& edit,
                                          const HiveEdit& alsoChange = {});
    // Every field, for an edit that stores the whole record.
    static std::vector<const SettingsField*> AllFields();

    // A bare file name is resolved by the initialisation-file functions.
    bool LoadFromBackupFile(std::string_view fileName);
    bool SaveToBackupFile(std::string_view fileName) const;

    // "ftp://" or "http://" + host + (":port" unless the scheme's default) +
    // path for service types 1 and 3; "" for any other type. An IPv6 host is
    // written canonically in brackets.
    static std::string ComposeUrl(int serviceType, std::string_view host, int port, std::string_view path);

    // a.b.c.d -> (a << 24) | (b << 16) | (c << 8) | d with the low 8 bits of
    // each part; 0 when one of the first three dots is missing.
    static uint32_t ParseIpAddress(std::string_view text);

private:
    friend struct SettingsFieldTableBuilder;

    void SetExact(std::string& field, std::string_view value);
    void SetCaseInsensitive(std::string& field, std::string_view value);
    void SetNumber(int& field, int value);

    int m_ExtMessages;
    int m_ClientIpByServer;
    std::string m_AutoDialConnection;
    std::string m_AutoDialUsername;
    std::string m_AutoDialPW;
    int m_AutoDial;
    int m_AutoStart;
    int m_WaitTimeInMin;
    std::string m_UploadDir;
    std::string m_UploadServer;
    int m_UploadServiceType;
    std::string m_RedirectUrl;
    std::string m_BackupFile;
    std::string m_UserName;
    std::string m_Password;
    std::string m_UploadFile;
    std::string m_LocalUrl;
    std::string m_PhysicalWebDir;
    std::string m_LocalStartPage;
    std::string m_LocalServerName;
    std::string m_LocalWebObject;
    int m_LocalServiceType;
    uint16_t m_LocalPort;
    uint16_t m_UploadPort;
    int m_Modified;
    int m_UploadTls;
    std::string m_CaFile;
    int m_WarnPrivateAddress;
    int m_RetryAfterFailure;
    int m_RedirectOnAddressChange;
    int m_AddressFamily;
    std::string m_Ipv6InterfaceId;
    int m_DnsUpdate;
    std::string m_DnsName;
    std::string m_DnsServer;
    std::string m_DnsUser;
    std::string m_DnsPassword;
    std::string m_DnsKey;
    std::string m_DnsCheckServer;
    int m_RedirectPage;
};

} // namespace tarnwick
