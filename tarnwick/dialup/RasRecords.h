/* The records, codes and function types of the remote-access (dial-up)
   provider, shared by the provider library and the dial-up layer that loads
   it. Plain C so that a provider may be written in either language. The
   layouts are the ANSI records of the original platform (4-byte packing,
   32-bit handles), so each size value in a record's first field selects the
   same record version as there. */
#pragma once

#include <assert.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RAS_MAX_ENTRY_NAME 256
#define RAS_MAX_DEVICE_TYPE 16
#define RAS_MAX_DEVICE_NAME 128
#define RAS_MAX_PHONE_NUMBER 128
#define RAS_MAX_AREA_CODE 10
#define RAS_MAX_CALLBACK_NUMBER 128
#define RAS_MAX_USER_NAME 256
#define RAS_MAX_PASSWORD 256
#define RAS_MAX_DOMAIN 15
#define RAS_MAX_PATH 260
#define RAS_MAX_PAD_TYPE 32
#define RAS_MAX_X25_ADDRESS 200
#define RAS_MAX_FACILITIES 200
#define RAS_MAX_USER_DATA 200

/* A connection handle: an opaque, non-zero number that the provider hands
   out; passed to the functions as a pointer-sized value. */
typedef void* HRASCONN;

typedef struct RASENTRYNAMEA
{
    uint32_t dwSize;
    char szEntryName[RAS_MAX_ENTRY_NAME + 1];
} RASENTRYNAMEA;

typedef struct RASCONNA
{
    uint32_t dwSize;
    uint32_t hrasconn;
    char szEntryName[RAS_MAX_ENTRY_NAME + 1];
    char szDeviceType[RAS_MAX_DEVICE_TYPE + 1];
    char szDeviceName[RAS_MAX_DEVICE_NAME + 1];
    char szPhonebook[RAS_MAX_PATH];
    uint32_t dwSubEntry;
} RASCONNA;

typedef struct RASCONNSTATUSA
{
    uint32_t dwSize;
    uint32_t rasconnstate;
    uint32_t dwError;
    char szDeviceType[RAS_MAX_DEVICE_TYPE + 1];
    char szDeviceName[RAS_MAX_DEVICE_NAME + 1];
    char szPhoneNumber[RAS_MAX_PHONE_NUMBER + 1];
} RASCONNSTATUSA;

typedef struct RASENTRYA
{
    uint32_t dwSize;
    uint32_t dwfOptions;
    uint32_t dwCountryID;
    uint32_t dwCountryCode;
    char szAreaCode[RAS_MAX_AREA_CODE + 1];
    char szLocalPhoneNumber[RAS_MAX_PHONE_NUMBER + 1];
    uint32_t dwAlternateOffset;
    uint32_t ipaddr;
    uint32_t ipaddrDns;
    uint32_t ipaddrDnsAlt;
    uint32_t ipaddrWins;
    uint32_t ipaddrWinsAlt;
    uint32_t dwFrameSize;
    uint32_t dwfNetProtocols;
    uint32_t dwFramingProtocol;
    char szScript[RAS_MAX_PATH];
    char szAutodialDll[RAS_MAX_PATH];
    char szAutodialFunc[RAS_MAX_PATH];
    char szDeviceType[RAS_MAX_DEVICE_TYPE + 1];
    char szDeviceName[RAS_MAX_DEVICE_NAME + 1];
    char szX25PadType[RAS_MAX_PAD_TYPE + 1];
    char szX25Address[RAS_MAX_X25_ADDRESS + 1];
    char szX25Facilities[RAS_MAX_FACILITIES + 1];
    char szX25UserData[RAS_MAX_USER_DATA + 1];
    uint32_t dwChannels;
    uint32_t dwReserved1;
    uint32_t dwReserved2;
    uint32_t dwSubEntries;
    uint32_t dwDialMode;
    uint32_t dwDialExtraPercent;
    uint32_t dwDialExtraSampleSeconds;
    uint32_t dwHangUpExtraPercent;
    uint32_t dwHangUpExtraSampleSeconds;
    uint32_t dwIdleDisconnectSeconds;
} RASENTRYA;

typedef struct RASDIALPARAMSA
{
    uint32_t dwSize;
    char szEntryName[RAS_MAX_ENTRY_NAME + 1];
    char szPhoneNumber[RAS_MAX_PHONE_NUMBER + 1];
    char szCallbackNumber[RAS_MAX_CALLBACK_NUMBER + 1];
    char szUserName[RAS_MAX_USER_NAME + 1];
    char szPassword[RAS_MAX_PASSWORD + 1];
    char szDomain[RAS_MAX_DOMAIN + 1];
    uint32_t dwSubEntry;
    uint32_t dwCallbackId;
} RASDIALPARAMSA;

typedef struct RASCREDENTIALSA
{
    uint32_t dwSize;
    uint32_t dwMask;
    char szUserName[RAS_MAX_USER_NAME + 1];
    char szPassword[RAS_MAX_PASSWORD + 1];
    char szDomain[RAS_MAX_DOMAIN + 1];
} RASCREDENTIALSA;

/* The size values the callers put into the first field. */
#define RAS_SIZE_ENTRYNAME 264u
#define RAS_SIZE_CONN 676u
#define RAS_SIZE_CONNSTATUS 288u
#define RAS_SIZE_ENTRY 1796u
#define RAS_SIZE_DIALPARAMS 1060u
#define RAS_SIZE_CREDENTIALS 540u

static_assert(sizeof(RASENTRYNAMEA) == RAS_SIZE_ENTRYNAME, "entry name record");
static_assert(offsetof(RASENTRYNAMEA, szEntryName) == 4, "entry name");
static_assert(sizeof(RASCONNA) == RAS_SIZE_CONN, "connection record");
static_assert(offsetof(RASCONNA, hrasconn) == 4, "connection handle");
static_assert(offsetof(RASCONNA, szEntryName) == 8, "connection entry name");
static_assert(offsetof(RASCONNA, szDeviceType) == 265, "connection device type");
static_assert(offsetof(RASCONNA, szDeviceName) == 282, "connection device name");
static_assert(offsetof(RASCONNA, dwSubEntry) == 672, "connection sub-entry");
static_assert(sizeof(RASCONNSTATUSA) == RAS_SIZE_CONNSTATUS, "status record");
static_assert(offsetof(RASCONNSTATUSA, rasconnstate) == 4, "status state");
static_assert(offsetof(RASCONNSTATUSA, dwError) == 8, "status error");
static_assert(offsetof(RASCONNSTATUSA, szDeviceType) == 12, "status device type");
static_assert(offsetof(RASCONNSTATUSA, szDeviceName) == 29, "status device name");
static_assert(offsetof(RASCONNSTATUSA, szPhoneNumber) == 158, "status phone number");
static_assert(sizeof(RASENTRYA) == RAS_SIZE_ENTRY, "phonebook entry record");
static_assert(offsetof(RASENTRYA, dwfOptions) == 4, "entry options");
static_assert(offsetof(RASENTRYA, dwCountryID) == 8, "entry country id");
static_assert(offsetof(RASENTRYA, dwCountryCode) == 12, "entry country code");
static_assert(offsetof(RASENTRYA, szAreaCode) == 16, "entry area code");
static_assert(offsetof(RASENTRYA, szLocalPhoneNumber) == 27, "entry phone number");
static_assert(offsetof(RASENTRYA, ipaddr) == 160, "entry address");
static_assert(offsetof(RASENTRYA, ipaddrWinsAlt) == 176, "entry alternate WINS");
static_assert(offsetof(RASENTRYA, dwFrameSize) == 180, "entry frame size");
static_assert(offsetof(RASENTRYA, dwfNetProtocols) == 184, "entry protocols");
static_assert(offsetof(RASENTRYA, dwFramingProtocol) == 188, "entry framing");
static_assert(offsetof(RASENTRYA, szScript) == 192, "entry script");
static_assert(offsetof(RASENTRYA, szAutodialDll) == 452, "entry auto-dial library");
static_assert(offsetof(RASENTRYA, szAutodialFunc) == 712, "entry auto-dial function");
static_assert(offsetof(RASENTRYA, szDeviceType) == 972, "entry device type");
static_assert(offsetof(RASENTRYA, szDeviceName) == 989, "entry device name");
static_assert(offsetof(RASENTRYA, dwIdleDisconnectSeconds) == 1792, "entry last field");
static_assert(sizeof(RASDIALPARAMSA) == RAS_SIZE_DIALPARAMS, "dial parameter record");
static_assert(offsetof(RASDIALPARAMSA, szEntryName) == 4, "dial entry name");
static_assert(offsetof(RASDIALPARAMSA, szPhoneNumber) == 261, "dial phone number");
static_assert(offsetof(RASDIALPARAMSA, szUserName) == 519, "dial user name");
static_assert(offsetof(RASDIALPARAMSA, szPassword) == 776, "dial password");
static_assert(offsetof(RASDIALPARAMSA, szDomain) == 1033, "dial domain");
static_assert(sizeof(RASCREDENTIALSA) == RAS_SIZE_CREDENTIALS, "credentials record");
static_assert(offsetof(RASCREDENTIALSA, dwMask) == 4, "credentials mask");
static_assert(offsetof(RASCREDENTIALSA, szUserName) == 8, "credentials user name");
static_assert(offsetof(RASCREDENTIALSA, szPassword) == 265, "credentials password");

/* Credentials mask bits. */
#define RASCM_UserName 0x1u
#define RASCM_Password 0x2u

/* Phonebook entry option: dial with area code (and country code). */
#define RASEO_UseCountryAndAreaCodes 0x1u

/* Connection states (the progress codes of a dial). */
#define RASCS_PAUSED 0x1000u
#define RASCS_DONE 0x2000u
enum {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_AuthNotify = 6,
    RASCS_AuthRetry = 7,
    RASCS_AuthCallback = 8,
    RASCS_AuthChangePassword = 9,
    RASCS_AuthProject = 10,
    RASCS_AuthLinkSpeed = 11,
    RASCS_AuthAck = 12,
    RASCS_ReAuthenticate = 13,
    RASCS_Authenticated = 14,
    RASCS_PrepareForCallback = 15,
    RASCS_WaitForModemReset = 16,
    RASCS_WaitForCallback = 17,
    RASCS_Interactive = RASCS_PAUSED,
    RASCS_RetryAuthentication = RASCS_PAUSED + 1,
    RASCS_CallbackSetByCaller = RASCS_PAUSED + 2,
    RASCS_PasswordExpired = RASCS_PAUSED + 3,
    RASCS_Connected = RASCS_DONE,
    RASCS_Disconnected = RASCS_DONE + 1
};

/* Result codes. */
#define RAS_OK 0u
#define RAS_ERROR_INVALID_HANDLE 6u
#define RAS_ERROR_INVALID_PARAMETER 87u
#define RAS_ERROR_INVALID_NAME 123u
#define RAS_ERROR_ALREADY_EXISTS 183u
#define RAS_ERROR_BUFFER_TOO_SMALL 603u
#define RAS_ERROR_BUFFER_INVALID 610u
#define RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623u
#define RAS_ERROR_INVALID_SIZE 632u
#define RAS_ERROR_PORT_NOT_AVAILABLE 633u
#define RAS_ERROR_DEVICE_ERROR 651u
#define RAS_ERROR_DISCONNECTION 668u
#define RAS_ERROR_NO_ANSWER 678u
#define RAS_ERROR_AUTHENTICATION_FAILURE 691u
#define RAS_ERROR_SERVICE_UNAVAILABLE 711u
#define RAS_ERROR_ENTRY_NOT_FOUND 803u

/* The message number of a dial notification (first argument of the notifier). */
#define WM_RASDIALEVENT 0xCCCDu

/* Notifier form 0: message number, connection state, error code. */
typedef void (*RASDIALFUNC)(uint32_t unMsg, uint32_t rasconnstate, uint32_t dwError);

typedef uint32_t (*PFN_RasGetErrorStringA)(uint32_t code, char* buffer, uint32_t size);
typedef uint32_t (*PFN_RasEnumConnectionsA)(RASCONNA* connections, uint32_t* bytes, uint32_t* count);
typedef uint32_t (*PFN_RasHangUpA)(HRASCONN connection);
typedef uint32_t (*PFN_RasGetConnectStatusA)(HRASCONN connection, RASCONNSTATUSA* status);
typedef uint32_t (*PFN_RasValidateEntryNameA)(const char* phonebook, const char* entry);
typedef uint32_t (*PFN_RasGetEntryPropertiesA)(const char* phonebook, const char* entry, RASENTRYA* entryInfo,
                                               uint32_t* entrySize, uint8_t* deviceInfo, uint32_t* deviceSize);
typedef uint32_t (*PFN_RasEnumEntriesA)(const char* reserved, const char* phonebook, RASENTRYNAMEA* names,
                                        uint32_t* bytes, uint32_t* count);
typedef uint32_t (*PFN_RasDialA)(void* extensions, const char* phonebook, RASDIALPARAMSA* parameters,
                                 uint32_t notifierType, void* notifier, HRASCONN* connection);
typedef uint32_t (*PFN_RasGetCredentialsA)(const char* phonebook, const char* entry, RASCREDENTIALSA* credentials);

#ifdef __cplusplus
}
#endif
