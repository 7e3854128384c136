#pragma once

#include "platform/com/ComInterfaces.h"

// Identities and interface of the test component for the late-binding tests:
// a dual interface with one member for every parameter kind the component uses.
inline constexpr CLSID CLSID_TestObject
    = {0x0E5A5F1B, 0x7C1D, 0x4B8E, {0x9A, 0x61, 0x3C, 0x2D, 0x4E, 0x5F, 0x60, 0x71}};
inline constexpr IID IID_ITestObject = {0x0E5A5F1C, 0x7C1D, 0x4B8E, {0x9A, 0x61, 0x3C, 0x2D, 0x4E, 0x5F, 0x60, 0x71}};
inline constexpr GUID LIBID_TestObjectLib
    = {0x0E5A5F1D, 0x7C1D, 0x4B8E, {0x9A, 0x61, 0x3C, 0x2D, 0x4E, 0x5F, 0x60, 0x71}};

// Slots 7-11; 12 in all.
struct ITestObject : IDispatch
{
    // The text lCount times.
    virtual HRESULT STDMETHODCALLTYPE Join(BSTR bstrText, LONG lCount, BSTR* pResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(LONG lA, LONG lB, LONG* plSum) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) = 0;
    // Installs an error object with that description and fails with E_FAIL.
    virtual HRESULT STDMETHODCALLTYPE Fail(BSTR bstrDescription) = 0;
};
