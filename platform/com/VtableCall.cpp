#include "platform/com/VtableCall.h"

#include <utility>

namespace platform::com {

namespace {

template<size_t... I>
HRESULT CallWith(void* fn, void* instance, const uint64_t* args, std::index_sequence<I...>)
{
    using Function = HRESULT (*)(void*, decltype(I, uint64_t())...);
    return reinterpret_cast<Function>(fn)(instance, args[I]...);
}

template<size_t N>
HRESULT CallCount(void* fn, void* instance, const uint64_t* args)
{
    return CallWith(fn, instance, args, std::make_index_sequence<N>());
}

} // namespace

HRESULT CallVtableSlot(void* instance, size_t slot, const uint64_t* args, size_t count)
{
    void* fn = (*static_cast<void***>(instance))[slot];
    switch (count) {
    case 0:
        return CallCount<0>(fn, instance, args);
    case 1:
        return CallCount<1>(fn, instance, args);
    case 2:
        return CallCount<2>(fn, instance, args);
    case 3:
        return CallCount<3>(fn, instance, args);
    case 4:
        return CallCount<4>(fn, instance, args);
    case 5:
        return CallCount<5>(fn, instance, args);
    case 6:
        return CallCount<6>(fn, instance, args);
    case 7:
        return CallCount<7>(fn, instance, args);
    case 8:
        return CallCount<8>(fn, instance, args);
    case 9:
        return CallCount<9>(fn, instance, args);
    case 10:
        return CallCount<10>(fn, instance, args);
    case 11:
        return CallCount<11>(fn, instance, args);
    case 12:
        return CallCount<12>(fn, instance, args);
    case 13:
        return CallCount<13>(fn, instance, args);
    case 14:
        return CallCount<14>(fn, instance, args);
    case 15:
        return CallCount<15>(fn, instance, args);
    case 16:
        return CallCount<16>(fn, instance, args);
    default:
        return DISP_E_BADPARAMCOUNT;
    }
}

} // namespace platform::com
