#include "platform/com/ComApi.h"
#include "platform/com/TypeLibFormat.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The vtable slot a virtual member occupies: under the Itanium C++ ABI a
// pointer to a virtual member holds its vtable byte offset plus one.
template<typename F>
size_t SlotOf(F member)
{
    static_assert(sizeof(F) == 2 * sizeof(void*));
    uintptr_t raw[2];
    std::memcpy(raw, &member, sizeof raw);
    EXPECT_EQ(raw[0] & 1u, 1u) << "not a virtual member";
    return (raw[0] - 1) / sizeof(void*);
}

struct SlotCase
{
    const char* member;
    size_t actual;
    size_t expected;
};

// Every slot that a caller from another module may use by number.
const SlotCase kSlots[] = {
    {"IUnknown::QueryInterface", SlotOf(&IUnknown::QueryInterface), 0},
    {"IUnknown::Release", SlotOf(&IUnknown::Release), 2},
    {"IClassFactory::CreateInstance", SlotOf(&IClassFactory::CreateInstance), 3},
    {"IClassFactory::LockServer", SlotOf(&IClassFactory::LockServer), 4},
    {"IDispatch::GetTypeInfoCount", SlotOf(&IDispatch::GetTypeInfoCount), 3},
    {"IDispatch::GetIDsOfNames", SlotOf(&IDispatch::GetIDsOfNames), 5},
    {"IDispatch::Invoke", SlotOf(&IDispatch::Invoke), 6},
    {"ITypeInfo::GetTypeAttr", SlotOf(&ITypeInfo::GetTypeAttr), 3},
    {"ITypeInfo::GetNames", SlotOf(&ITypeInfo::GetNames), 7},
    {"ITypeInfo::GetIDsOfNames", SlotOf(&ITypeInfo::GetIDsOfNames), 10},
    {"ITypeInfo::Invoke", SlotOf(&ITypeInfo::Invoke), 11},
    {"ITypeInfo::GetDocumentation", SlotOf(&ITypeInfo::GetDocumentation), 12},
    {"ITypeInfo::GetContainingTypeLib", SlotOf(&ITypeInfo::GetContainingTypeLib), 18},
    {"ITypeInfo::ReleaseVarDesc", SlotOf(&ITypeInfo::ReleaseVarDesc), 21},
    {"ITypeLib::GetTypeInfoCount", SlotOf(&ITypeLib::GetTypeInfoCount), 3},
    {"ITypeLib::GetLibAttr", SlotOf(&ITypeLib::GetLibAttr), 7},
    {"ITypeLib::ReleaseTLibAttr", SlotOf(&ITypeLib::ReleaseTLibAttr), 12},
    {"IErrorInfo::GetDescription", SlotOf(&IErrorInfo::GetDescription), 5},
    {"IErrorInfo::GetHelpContext", SlotOf(&IErrorInfo::GetHelpContext), 7},
    {"ICreateErrorInfo::SetDescription", SlotOf(&ICreateErrorInfo::SetDescription), 5},
    {"ISupportErrorInfo::InterfaceSupportsErrorInfo", SlotOf(&ISupportErrorInfo::InterfaceSupportsErrorInfo), 3},
    {"IConnectionPointContainer::FindConnectionPoint", SlotOf(&IConnectionPointContainer::FindConnectionPoint), 4},
    {"IEnumConnectionPoints::Clone", SlotOf(&IEnumConnectionPoints::Clone), 6},
    {"IConnectionPoint::EnumConnections", SlotOf(&IConnectionPoint::EnumConnections), 7},
};

TEST(ComAbi, MembersSitInTheirComSlots)
{
    for (const SlotCase& slot : kSlots)
        EXPECT_EQ(slot.actual, slot.expected) << slot.member;
}

TEST(ComAbi, InterfacesHoldOnlyTheirVtablePointer)
{
    // A virtual destructor or data member would show up here.
    EXPECT_EQ(sizeof(IUnknown), sizeof(void*));
    EXPECT_EQ(sizeof(IDispatch), sizeof(void*));
    EXPECT_EQ(sizeof(ITypeInfo), sizeof(void*));
    EXPECT_FALSE(std::has_virtual_destructor_v<IUnknown>);
    EXPECT_FALSE(std::has_virtual_destructor_v<ITypeLib>);
}

} // namespace
