#pragma once

#include "platform/com/ComTypes.h"

#include <string>
#include <string_view>
#include <utility>

// Owns one BSTR and frees it with SysFreeString.
class BStr
{
public:
    BStr() = default;
    explicit BStr(std::u16string_view text);
    // From 8-bit text in the system code page (UTF-8 on Linux).
    static BStr FromAnsi(std::string_view text);
    static BStr Attach(BSTR b)
    {
        BStr result;
        result.m_b = b;
        return result;
    }
    BStr(const BStr& other);
    BStr(BStr&& other) noexcept
        : m_b(std::exchange(other.m_b, nullptr))
    {
    }
    BStr& operator=(BStr other) noexcept
    {
        std::swap(m_b, other.m_b);
        return *this;
    }
    ~BStr();

    BSTR Get() const { return m_b; }
    BSTR Detach() { return std::exchange(m_b, nullptr); }
    // Frees what is held and gives the slot for an out parameter.
    BSTR* Put();
    UINT Length() const;
    std::u16string_view View() const { return {m_b ? m_b : u"", Length()}; }
    std::string ToAnsi() const;

private:
    BSTR m_b = nullptr;
};
