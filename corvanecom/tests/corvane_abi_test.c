/* Proves the binary interface from plain C, with no header of the project:
 * loads the component with dlopen, gets its class factory, creates the object
 * and calls it by slot number. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <dlfcn.h>
#include <ftw.h>
#include <netinet/in.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <uchar.h>
#include <unistd.h>

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;
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

#define CALL(type, object, slot, ...) (((type)(object)->vtbl[slot])((object), __VA_ARGS__))
#define CALL0(type, object, slot) (((type)(object)->vtbl[slot])(object))
typedef HRESULT (*CreateFn)(Object*, Object*, const GUID*, void**);
typedef uint32_t (*ReleaseFn)(Object*);
typedef HRESULT (*CountFn)(Object*, uint32_t*);
typedef HRESULT (*LongOutFn)(Object*, LONG*);
typedef HRESULT (*LongInFn)(Object*, LONG);
typedef HRESULT (*TextOutFn)(Object*, BSTR*);
typedef HRESULT (*TestConnectFn)(Object*, BSTR, LONG*);

/* The runtime's C functions, from libveltplatform.so. */
extern BSTR SysAllocString(const OLECHAR*);
extern void SysFreeString(BSTR);
extern uint32_t SysStringLen(BSTR);

static const GUID CLSID_VELTCorvane = {0x5B77F013, 0x38DE, 0x470E, {0x8D, 0x3F, 0x27, 0x92, 0x11, 0xD8, 0xF3, 0x1A}};
static const GUID IID_IVELTCorvane = {0x4C79F54B, 0x1540, 0x4B89, {0xBF, 0x45, 0x3A, 0x81, 0x55, 0x28, 0x50, 0x03}};
static const GUID IID_IClassFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

static int failures;

#define CHECK(cond, what)                                                                                              \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            fprintf(stderr, "FEHLER: %s (%s:%d)\n", what, __FILE__, __LINE__);                                         \
            ++failures;                                                                                                \
        }                                                                                                              \
    } while (0)

/* Compares a BSTR with an ASCII text. */
static int equals(BSTR text, const char* expected)
{
    uint32_t i = 0;
    for (; expected[i]; ++i)
        if (i >= SysStringLen(text) || text[i] != (OLECHAR)expected[i])
            return 0;
    return i == SysStringLen(text);
}

static BSTR from_ascii(const char* ascii)
{
    OLECHAR wide[128];
    size_t i = 0;
    for (; ascii[i] && i + 1 < sizeof wide / sizeof wide[0]; ++i)
        wide[i] = (OLECHAR)ascii[i];
    wide[i] = 0;
    return SysAllocString(wide);
}

static int remove_entry(const char* path, const struct stat* info, int flag, struct FTW* ftw)
{
    (void)info, (void)flag, (void)ftw;
    return remove(path);
}

/* The object from the module's own class factory, called by slot. */
static void call_by_slot(void* module, unsigned short port)
{
    HRESULT (*get_class_object)(const GUID*, const GUID*, void**) = dlsym(module, "DllGetClassObject");
    HRESULT (*can_unload_now)(void) = dlsym(module, "DllCanUnloadNow");
    CHECK(dlsym(module, "CVELTCorvane") == NULL && dlsym(module, "_ZN12CVELTCorvaneD1Ev") == NULL,
          "nothing but the entry points is exported");
    Object *factory = NULL, *object = NULL;
    CHECK(get_class_object(&CLSID_VELTCorvane, &IID_IClassFactory, (void**)&factory) == 0 && factory, "factory");
    if (!factory)
        return;
    CHECK(CALL(CreateFn, factory, 3, NULL, &IID_IVELTCorvane, (void**)&object) == 0 && object, "CreateInstance");
    CALL0(ReleaseFn, factory, 2);
    if (!object)
        return;
    CHECK(can_unload_now() != 0, "a live object keeps the module");

    uint32_t count = 0;
    CHECK(CALL(CountFn, object, 3, &count) == 0 && count == 1, "GetTypeInfoCount is slot 3");
    LONG timeout = 0;
    CHECK(CALL(LongOutFn, object, 12, &timeout) == 0 && timeout == 10, "TimeoutInSec get is slot 12");
    CHECK(CALL(LongInFn, object, 13, 31) == (HRESULT)0x80070057u, "TimeoutInSec put is slot 13 and refuses 31");
    CHECK(CALL(TextOutFn, object, 24, NULL) == (HRESULT)0x80004003u, "ResponseHeaders is slot 24");

    char url[64];
    snprintf(url, sizeof url, "http://127.0.0.1:%u/", port);
    BSTR text = from_ascii(url);
    LONG ok = 0;
    CHECK(CALL(TestConnectFn, object, 7, text, &ok) == 0 && ok == 1, "TestConnect is slot 7");
    SysFreeString(text);
    text = NULL;
    CHECK(CALL(TextOutFn, object, 8, &text) == 0 && equals(text, "127.0.0.1"), "SocketAddress is slot 8");
    SysFreeString(text);
    text = NULL;
    CHECK(CALL(TextOutFn, object, 9, &text) == 0 && equals(text, "127.0.0.1"), "PeerAddress is slot 9");
    SysFreeString(text);
    LONG peer_port = 0;
    CHECK(CALL(LongOutFn, object, 17, &peer_port) == 0 && peer_port == port, "PeerPort is slot 17");

    CHECK(CALL0(ReleaseFn, object, 2) == 0, "the last Release ends the object");
    CHECK(can_unload_now() == 0, "then the module may go");
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    char home[] = "/tmp/corvane-c-test-XXXXXX";
    if (!mkdtemp(home))
        return 2;
    setenv("XDG_DATA_HOME", home, 1);
    setenv("XDG_CONFIG_HOME", home, 1);

    int listener = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module || listener < 0 || bind(listener, (struct sockaddr*)&address, sizeof address) != 0
        || listen(listener, 8) != 0 || getsockname(listener, (struct sockaddr*)&address, &length) != 0) {
        fprintf(stderr, "cannot load %s or listen on loopback\n", argv[1]);
        return 2;
    }
    call_by_slot(module, ntohs(address.sin_port));
    close(listener);
    dlclose(module);
    nftw(home, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    if (failures == 0)
        printf("Alle Prüfungen bestanden.\n");
    return failures ? 1 : 0;
}
