/* Proves the binary interface from plain C: loads the component with dlopen,
 * gets its class factory, creates the object and calls the interface by slot
 * number only, with the ABI's own types. No header of the project is used. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

typedef int32_t HRESULT;
typedef uint16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef int32_t LONG;
typedef struct
{
    uint32_t d1;
    uint16_t d2, d3;
    uint8_t d4[8];
} GUID;
typedef struct
{
    void** vtbl;
} Object;

/* Slot signatures: the first parameter is always the interface pointer. */
typedef HRESULT (*QueryFn)(Object*, const GUID*, void**);
typedef uint32_t (*ReleaseFn)(Object*);
typedef HRESULT (*CreateFn)(Object*, Object*, const GUID*, void**);
typedef HRESULT (*CountFn)(Object*, uint32_t*);
typedef HRESULT (*LongOutFn)(Object*, LONG*);
typedef HRESULT (*LongInFn)(Object*, LONG);
typedef HRESULT (*TextOutFn)(Object*, BSTR*);
typedef HRESULT (*GuidInFn)(Object*, const GUID*);
typedef HRESULT (*TestConnectFn)(Object*, BSTR, LONG*);
#define CALL(type, object, slot, ...) (((type)(object)->vtbl[slot])((object), __VA_ARGS__))
#define CALL0(type, object, slot) (((type)(object)->vtbl[slot])(object))

/* The runtime's C functions, from libveltplatform.so. */
extern void SysFreeString(BSTR text);
extern uint32_t SysStringLen(BSTR text);
extern HRESULT GetErrorInfo(uint32_t reserved, Object** info);

static const GUID CLSID_VELTCorvane = {0x5B77F013, 0x38DE, 0x470E, {0x8D, 0x3F, 0x27, 0x92, 0x11, 0xD8, 0xF3, 0x1A}};
static const GUID IID_IVELTCorvane = {0x4C79F54B, 0x1540, 0x4B89, {0xBF, 0x45, 0x3A, 0x81, 0x55, 0x28, 0x50, 0x03}};
static const GUID IID_IClassFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID IID_ISupportErrorInfo
    = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

enum {
    SLOT_QueryInterface = 0,
    SLOT_AddRef = 1,
    SLOT_Release = 2,
    SLOT_CreateInstance = 3,
    SLOT_GetTypeInfoCount = 3,
    SLOT_InterfaceSupportsErrorInfo = 3,
    SLOT_GetDescription = 5,
    SLOT_TestConnect = 7,
    SLOT_SocketAddress = 8,
    SLOT_PeerAddress = 9,
    SLOT_TimeoutInSec_get = 12,
    SLOT_TimeoutInSec_put = 13,
    SLOT_PeerPort = 17,
    SLOT_ResponseHeaders = 24,
};

#define S_OK ((HRESULT)0)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_INVALIDARG ((HRESULT)0x80070057u)

static int passed, failed;

static void check(int ok, const char* what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        fprintf(stderr, "FAILED: %s\n", what);
    }
}

/* A BSTR's text as ASCII (the texts checked here are ASCII), freed afterwards. */
static void take_text(BSTR text, char* out, size_t size)
{
    uint32_t length = SysStringLen(text);
    size_t i;
    for (i = 0; i < length && i + 1 < size; ++i)
        out[i] = (char)text[i];
    out[i] = 0;
    SysFreeString(text);
}

/* The UTF-16 of a UTF-8 text with ü as its only non-ASCII letter. */
static int equals_utf16(BSTR text, const char* expected)
{
    uint32_t length = SysStringLen(text), i = 0;
    const unsigned char* p = (const unsigned char*)expected;
    for (; *p; ++i) {
        OLECHAR c = *p++;
        if (c == 0xC3) /* two-byte sequence */
            c = (OLECHAR)(((c & 0x1F) << 6) | (*p++ & 0x3F));
        if (i >= length || text[i] != c)
            return 0;
    }
    return i == length;
}

static BSTR make_bstr(const char* ascii, OLECHAR* storage)
{
    uint32_t length = (uint32_t)strlen(ascii), i;
    memcpy(storage, &(uint32_t) {length * 2}, 4);
    for (i = 0; i < length; ++i)
        storage[2 + i] = (OLECHAR)ascii[i];
    storage[2 + length] = 0;
    return storage + 2;
}

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "libcorvanecom.so";
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 2;
    }
    HRESULT (*get_class_object)(const GUID*, const GUID*, void**) = dlsym(module, "DllGetClassObject");
    HRESULT (*can_unload_now)(void) = dlsym(module, "DllCanUnloadNow");
    check(get_class_object && can_unload_now && dlsym(module, "DllRegisterServer")
              && dlsym(module, "DllUnregisterServer"),
          "the four entry points are exported");
    check(dlsym(module, "CVELTCorvane") == NULL && dlsym(module, "_ZN12CVELTCorvaneD1Ev") == NULL,
          "nothing else of the module is exported");
    if (!get_class_object || !can_unload_now)
        return 1;

    Object* factory = NULL;
    check(get_class_object(&CLSID_VELTCorvane, &IID_IClassFactory, (void**)&factory) == S_OK && factory,
          "class factory");
    Object* object = NULL;
    check(CALL(CreateFn, factory, SLOT_CreateInstance, NULL, &IID_IVELTCorvane, (void**)&object) == S_OK && object,
          "CreateInstance");
    CALL0(ReleaseFn, factory, SLOT_Release);
    if (!object)
        return 1;
    check(can_unload_now() != S_OK, "a live object keeps the module");

    uint32_t count = 0;
    check(CALL(CountFn, object, SLOT_GetTypeInfoCount, &count) == S_OK && count == 1, "GetTypeInfoCount is slot 3");

    LONG timeout = 0;
    check(CALL(LongOutFn, object, SLOT_TimeoutInSec_get, &timeout) == S_OK && timeout == 10,
          "TimeoutInSec get, slot 12");
    check(CALL(LongInFn, object, SLOT_TimeoutInSec_put, 5) == S_OK, "TimeoutInSec put, slot 13");
    CALL(LongOutFn, object, SLOT_TimeoutInSec_get, &timeout);
    check(timeout == 5, "the put value is read back");
    check(CALL(LongInFn, object, SLOT_TimeoutInSec_put, 31) == E_INVALIDARG, "31 seconds are refused");

    Object* error = NULL;
    check(GetErrorInfo(0, &error) == S_OK && error, "the refusal leaves an error object");
    if (error) {
        BSTR description = NULL;
        check(CALL(TextOutFn, error, SLOT_GetDescription, &description) == S_OK
                  && equals_utf16(description, "Die Timeout-Angabe muss zwischen 0 und 30 Sekunden liegen!"),
              "its description is the German text");
        SysFreeString(description);
        CALL0(ReleaseFn, error, SLOT_Release);
    }
    check(CALL(TextOutFn, object, SLOT_ResponseHeaders, NULL) == E_POINTER, "ResponseHeaders is slot 24");

    Object* support = NULL;
    check(CALL(QueryFn, object, SLOT_QueryInterface, &IID_ISupportErrorInfo, (void**)&support) == S_OK && support,
          "ISupportErrorInfo");
    if (support) {
        check(CALL(GuidInFn, support, SLOT_InterfaceSupportsErrorInfo, &IID_IVELTCorvane) == S_OK,
              "error info for IVELTCorvane");
        CALL0(ReleaseFn, support, SLOT_Release);
    }

    /* TestConnect (slot 7) to a listener of our own on loopback. */
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, (struct sockaddr*)&address, sizeof address) != 0 || listen(listener, 4) != 0
        || getsockname(listener, (struct sockaddr*)&address, &length) != 0) {
        fprintf(stderr, "cannot listen on loopback\n");
        return 2;
    }
    char url[64];
    snprintf(url, sizeof url, "http://127.0.0.1:%u/", (unsigned)ntohs(address.sin_port));
    OLECHAR storage[80];
    LONG ok = 0;
    check(CALL(TestConnectFn, object, SLOT_TestConnect, make_bstr(url, storage), &ok) == S_OK && ok == 1,
          "TestConnect is slot 7");
    BSTR text = NULL;
    char buffer[64];
    check(CALL(TextOutFn, object, SLOT_SocketAddress, &text) == S_OK, "SocketAddress, slot 8");
    take_text(text, buffer, sizeof buffer);
    check(strcmp(buffer, "127.0.0.1") == 0, "the local address");
    check(CALL(TextOutFn, object, SLOT_PeerAddress, &text) == S_OK, "PeerAddress, slot 9");
    take_text(text, buffer, sizeof buffer);
    check(strcmp(buffer, "127.0.0.1") == 0, "the peer address");
    LONG port = 0;
    check(CALL(LongOutFn, object, SLOT_PeerPort, &port) == S_OK && port == ntohs(address.sin_port),
          "PeerPort, slot 17");
    close(listener);

    check(CALL0(ReleaseFn, object, SLOT_Release) == 0, "the last Release ends the object");
    check(can_unload_now() == S_OK, "then the module may go");
    dlclose(module);

    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
