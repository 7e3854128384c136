#pragma once

#include <cstdint>

// Numbers of the internet client interface that callers already know: status
// codes of the status callback, session and request flags, error numbers.
namespace platform {

// Status callback codes; the information text of each is given beside it.
inline constexpr uint32_t INTERNET_STATUS_RESOLVING_NAME = 10; // host name
inline constexpr uint32_t INTERNET_STATUS_NAME_RESOLVED = 11; // numeric address
inline constexpr uint32_t INTERNET_STATUS_CONNECTING_TO_SERVER = 20; // numeric address
inline constexpr uint32_t INTERNET_STATUS_CONNECTED_TO_SERVER = 21; // numeric address
inline constexpr uint32_t INTERNET_STATUS_SENDING_REQUEST = 30; // ""
inline constexpr uint32_t INTERNET_STATUS_REQUEST_SENT = 31; // bytes sent, decimal
inline constexpr uint32_t INTERNET_STATUS_RECEIVING_RESPONSE = 40; // ""
inline constexpr uint32_t INTERNET_STATUS_RESPONSE_RECEIVED = 41; // bytes received, decimal
inline constexpr uint32_t INTERNET_STATUS_CTL_RESPONSE_RECEIVED = 42; // not reported
inline constexpr uint32_t INTERNET_STATUS_PREFETCH = 43; // not reported
inline constexpr uint32_t INTERNET_STATUS_CLOSING_CONNECTION = 50; // ""
inline constexpr uint32_t INTERNET_STATUS_CONNECTION_CLOSED = 51; // ""
inline constexpr uint32_t INTERNET_STATUS_HANDLE_CREATED = 60; // ""
inline constexpr uint32_t INTERNET_STATUS_HANDLE_CLOSING = 70; // ""
inline constexpr uint32_t INTERNET_STATUS_REQUEST_COMPLETE = 100; // ""
inline constexpr uint32_t INTERNET_STATUS_REDIRECT = 110; // the new address

// Session flags.
inline constexpr uint32_t INTERNET_FLAG_DONT_CACHE = 0x04000000;

// Request flags. No response cache exists in this layer, so the cache flags
// are accepted and have nothing to bypass.
inline constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
inline constexpr uint32_t INTERNET_FLAG_SECURE = 0x00800000; // https; FTP connection: AUTH TLS
inline constexpr uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
inline constexpr uint32_t INTERNET_FLAG_NO_UI = 0x00000200;
inline constexpr uint32_t INTERNET_FLAG_PASSIVE = 0x08000000; // FTP connection: passive mode

// Adding request headers.
inline constexpr uint32_t HTTP_ADDREQ_FLAG_ADD = 0x20000000;
inline constexpr uint32_t HTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
inline constexpr uint32_t HTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

// FTP transfer types.
inline constexpr uint32_t FTP_TRANSFER_TYPE_ASCII = 1;
inline constexpr uint32_t FTP_TRANSFER_TYPE_BINARY = 2;

// Connection check.
inline constexpr uint32_t FLAG_ICC_FORCE_CONNECTION = 1;

// Ports.
inline constexpr uint16_t INTERNET_INVALID_PORT_NUMBER = 0; // the service's default
inline constexpr uint16_t INTERNET_DEFAULT_FTP_PORT = 21;
inline constexpr uint16_t INTERNET_DEFAULT_HTTP_PORT = 80;
inline constexpr uint16_t INTERNET_DEFAULT_HTTPS_PORT = 443;

// Error numbers of failed internet operations.
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87; // control characters in a name, path or header
inline constexpr uint32_t ERROR_INTERNET_OUT_OF_HANDLES = 12001;
inline constexpr uint32_t ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr uint32_t ERROR_INTERNET_EXTENDED_ERROR = 12003;
inline constexpr uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr uint32_t ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
inline constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr uint32_t ERROR_INTERNET_LOGIN_FAILURE = 12015;
inline constexpr uint32_t ERROR_INTERNET_INVALID_OPERATION = 12016;
inline constexpr uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
inline constexpr uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
inline constexpr uint32_t ERROR_FTP_DROPPED = 12111;
inline constexpr uint32_t ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;
inline constexpr uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
inline constexpr uint32_t ERROR_INTERNET_PROXY_SERVER_UNREACHABLE = 12165;
inline constexpr uint32_t ERROR_INTERNET_SEC_INVALID_CERT = 12169;

} // namespace platform
