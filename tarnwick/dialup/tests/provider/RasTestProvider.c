/* A dial-up provider with only two of the nine functions, so that the
   loader's handling of missing names can be seen. */
#include <stdint.h>
#include <string.h>

uint32_t RasGetErrorStringA(uint32_t code, char* buffer, uint32_t size)
{
    (void)code;
    if (size < 5)
        return 603;
    memcpy(buffer, "test", 5);
    return 0;
}

uint32_t RasDialA(void* extensions, const char* phonebook, void* parameters, uint32_t notifierType, void* notifier,
                  void** connection)
{
    (void)extensions;
    (void)phonebook;
    (void)parameters;
    (void)notifierType;
    (void)notifier;
    *connection = 0;
    return 0;
}
