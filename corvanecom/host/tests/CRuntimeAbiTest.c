/* The component runtime used from plain C, with none of the project's C++
 * headers: its exported functions, the VARIANT/DISPPARAMS/EXCEPINFO layouts
 * and calls by vtable slot number. argv[1] is the test component module. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <ftw.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <uchar.h>

typedef int32_t HRESULT;
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef struct
{
    uint32_t Data1;
    uint16_t Data2, Data3;
    uint8_t Data4[8];
} GUID;
typedef struct
{
    uint16_t vt, r1, r2, r3;
    union {
        int32_t lVal;
        int16_t boolVal;
        BSTR bstrVal;
        void* ptr;
        struct
        {
            void* a;
            void* b;
        } pad;
    } u;
} VARIANT;
typedef struct
{
    VARIANT* rgvarg;
    int32_t* rgdispidNamedArgs;
    uint32_t cArgs, cNamedArgs;
} DISPPARAMS;
typedef struct
{
    uint16_t wCode, wReserved;
    BSTR bstrSource, bstrDescription, bstrHelpFile;
    uint32_t dwHelpContext;
    void* pvReserved;
    void* pfnDeferredFillIn;
    int32_t scode;
} EXCEPINFO;
typedef void** Object; /* an interface pointer: its first word is the vtable */

extern HRESULT CoInitializeEx(void*, uint32_t);
extern void CoUninitialize(void);
extern HRESULT CLSIDFromProgID(const OLECHAR*, GUID*);
extern HRESULT CoCreateInstance(const GUID*, void*, uint32_t, const GUID*, void**);
extern BSTR SysAllocString(const OLECHAR*);
extern void SysFreeString(BSTR);
extern uint32_t SysStringLen(BSTR);
extern void VariantInit(VARIANT*);
extern HRESULT VariantClear(VARIANT*);

static const GUID IID_IDispatch = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static int failures = 0;

#define CHECK(cond, what)                                                                                              \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            fprintf(stderr, "FEHLER: %s (%s:%d)\n", what, __FILE__, __LINE__);                                         \
            ++failures;                                                                                                \
        }                                                                                                              \
    } while (0)

static void* slot(Object object, int index)
{
    return (*(void***)object)[index];
}

static int32_t dispid_of(Object object, const OLECHAR* name)
{
    HRESULT (*get_ids)(Object, const GUID*, const OLECHAR**, uint32_t, uint32_t, int32_t*) = slot(object, 5);
    int32_t id = -1;
    const GUID null_iid = {0};
    HRESULT hr = get_ids(object, &null_iid, &name, 1, 0, &id);
    CHECK(hr == 0, "GetIDsOfNames");
    return id;
}

static int remove_entry(const char* path, const struct stat* info, int flag, struct FTW* ftw)
{
    (void)info;
    (void)flag;
    (void)ftw;
    return remove(path);
}

int main(int argc, char** argv)
{
    CHECK(sizeof(VARIANT) == 24 && sizeof(DISPPARAMS) == 24 && sizeof(EXCEPINFO) == 64, "layouts");
    if (argc != 2)
        return 2;
    char home[] = "/tmp/com-c-test-XXXXXX";
    if (!mkdtemp(home))
        return 2;
    setenv("XDG_DATA_HOME", home, 1);
    setenv("XDG_CONFIG_HOME", home, 1);

    /* Registration as regsvr32 does it. */
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    CHECK(module != NULL, "dlopen");
    HRESULT (*register_server)(void) = module ? (HRESULT(*)(void))dlsym(module, "DllRegisterServer") : NULL;
    CHECK(register_server && register_server() == 0, "DllRegisterServer");
    if (module)
        dlclose(module);

    CHECK(CoInitializeEx(NULL, 2) == 0, "CoInitializeEx");
    GUID clsid;
    CHECK(CLSIDFromProgID(u"VELT.TestObject", &clsid) == 0, "CLSIDFromProgID");
    Object object = NULL;
    CHECK(CoCreateInstance(&clsid, NULL, 1, &IID_IDispatch, (void**)&object) == 0 && object, "CoCreateInstance");
    if (object) {
        /* Slot 8: Add(long, long, long*). */
        HRESULT (*add)(Object, int32_t, int32_t, int32_t*) = slot(object, 8);
        int32_t sum = 0;
        CHECK(add(object, 40, 2, &sum) == 0 && sum == 42, "Add by slot");

        /* Slot 7: Join(BSTR, long, BSTR*). */
        HRESULT (*join)(Object, BSTR, int32_t, BSTR*) = slot(object, 7);
        BSTR text = SysAllocString(u"ab");
        BSTR joined = NULL;
        CHECK(join(object, text, 3, &joined) == 0, "Join by slot");
        CHECK(SysStringLen(joined) == 6 && memcmp(joined, u"ababab", 14) == 0, "Join result with terminator");
        SysFreeString(joined);
        SysFreeString(text);

        /* Slot 6: Invoke of Sum8 with eight VARIANTs, last argument first. */
        HRESULT (*invoke)(Object, int32_t, const GUID*, uint32_t, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                          uint32_t*)
            = slot(object, 6);
        const GUID null_iid = {0};
        VARIANT args[8];
        for (int i = 0; i < 8; ++i) {
            VariantInit(&args[i]);
            args[i].vt = 3; /* VT_I4 */
            args[i].u.lVal = 8 - i;
        }
        DISPPARAMS params = {args, NULL, 8, 0};
        VARIANT result;
        VariantInit(&result);
        uint32_t arg_err = 0;
        HRESULT hr = invoke(object, dispid_of(object, u"Sum8"), &null_iid, 0, 1, &params, &result, NULL, &arg_err);
        CHECK(hr == 0 && result.vt == 3 && result.u.lVal == 204, "Invoke Sum8");

        /* A failing member: DISP_E_EXCEPTION with the description in EXCEPINFO. */
        VARIANT message;
        VariantInit(&message);
        message.vt = 8; /* VT_BSTR */
        message.u.bstrVal = SysAllocString(u"Fehler aus C");
        DISPPARAMS one = {&message, NULL, 1, 0};
        EXCEPINFO excep;
        memset(&excep, 0, sizeof excep);
        hr = invoke(object, dispid_of(object, u"Fail"), &null_iid, 0, 1, &one, &result, &excep, &arg_err);
        CHECK((uint32_t)hr == 0x80020009u, "DISP_E_EXCEPTION");
        CHECK((uint32_t)excep.scode == 0x80004005u, "scode E_FAIL");
        CHECK(excep.bstrDescription && memcmp(excep.bstrDescription, u"Fehler aus C", 26) == 0, "description");
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrHelpFile);
        VariantClear(&message);

        uint32_t (*release)(Object) = slot(object, 2);
        CHECK(release(object) == 0, "last Release");
    }
    CoUninitialize();
    nftw(home, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    if (failures == 0)
        printf("Alle Prüfungen bestanden.\n");
    return failures ? 1 : 0;
}
