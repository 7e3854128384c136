#pragma once

#include "corvanecom/tests/ComponentModule.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

// Base fixture of the component's tests: a fresh object, no error object left
// over, and a temporary home (error objects look up the class's ProgID, never
// in the real user's registry).
class CorvaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TakeThreadError();
        m_object = ComponentModule::Shared().Create();
    }

    std::string Text(HRESULT (IVELTCorvane::*getter)(BSTR*))
    {
        BSTR value = nullptr;
        EXPECT_EQ((m_object.Get()->*getter)(&value), S_OK);
        EXPECT_NE(value, nullptr); // empty texts are empty BSTRs, never null
        return TakeText(value);
    }
    LONG Number(HRESULT (IVELTCorvane::*getter)(LONG*))
    {
        LONG value = -99;
        EXPECT_EQ((m_object.Get()->*getter)(&value), S_OK);
        return value;
    }

    velt::testing::TempHome m_home;
    ComPtr<IVELTCorvane> m_object;
};
