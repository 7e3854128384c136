#include "platform/com/BStr.h"

#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"

BStr::BStr(std::u16string_view text)
    : m_b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
{
}

BStr BStr::FromAnsi(std::string_view text)
{
    return Attach(platform::com::AnsiToBstr(text));
}

BStr::BStr(const BStr& other)
    : m_b(other.m_b ? SysAllocStringLen(other.m_b, other.Length()) : nullptr)
{
}

BStr::~BStr()
{
    SysFreeString(m_b);
}

BSTR* BStr::Put()
{
    SysFreeString(m_b);
    m_b = nullptr;
    return &m_b;
}

UINT BStr::Length() const
{
    return SysStringLen(m_b);
}

std::string BStr::ToAnsi() const
{
    return platform::com::BstrToAnsi(m_b);
}
