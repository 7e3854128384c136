#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

ComPtr<IErrorInfo> MakeError(const char16_t* source, const char16_t* description)
{
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(create.Put()), S_OK);
    create->SetGUID(GUID_NULL);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(const_cast<LPOLESTR>(description));
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(create.As(IID_IErrorInfo, &info), S_OK);
    return info;
}

std::u16string Description(IErrorInfo* info)
{
    BStr text;
    EXPECT_EQ(info->GetDescription(text.Put()), S_OK);
    return std::u16string(text.View());
}

// The slot holds the only reference after Set; Get hands it over and clears the slot.
TEST(ComErrorInfo, GetHandsTheLatestObjectOverAndClearsTheSlot)
{
    std::thread([] {
        SetErrorInfo(0, MakeError(u"A", u"alt").Get());
        ComPtr<IErrorInfo> made = MakeError(u"VELT.Test.1", u"Fehler beim Empfang der Daten!");
        IErrorInfo* raw = made.Get();
        EXPECT_EQ(SetErrorInfo(0, raw), S_OK);
        made.Reset();
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.Put()), S_OK);
        EXPECT_EQ(info.Get(), raw);
        EXPECT_EQ(info->AddRef(), 2u);
        info->Release();
        EXPECT_EQ(Description(info.Get()), u"Fehler beim Empfang der Daten!");
        BStr source;
        info->GetSource(source.Put());
        EXPECT_EQ(source.View(), u"VELT.Test.1");
        ComPtr<IErrorInfo> again;
        EXPECT_EQ(GetErrorInfo(0, again.Put()), S_FALSE);
        EXPECT_FALSE(again);
        SetErrorInfo(0, MakeError(u"A", u"weg").Get());
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(GetErrorInfo(0, again.Put()), S_FALSE);
    }).join();
}

TEST(ComErrorInfo, ThreadsKeepTheirOwnObjects)
{
    std::thread([] {
        SetErrorInfo(0, MakeError(u"A", u"erster Faden").Get());
        std::thread([] {
            ComPtr<IErrorInfo> none;
            EXPECT_EQ(GetErrorInfo(0, none.Put()), S_FALSE) << "another thread's error is not visible";
            SetErrorInfo(0, MakeError(u"B", u"zweiter Faden").Get());
        }).join();
        ComPtr<IErrorInfo> mine;
        ASSERT_EQ(GetErrorInfo(0, mine.Put()), S_OK);
        EXPECT_EQ(Description(mine.Get()), u"erster Faden");
    }).join();
}

TEST(ComErrorInfo, BadArgumentsAreRefused)
{
    EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.Put()), S_OK);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(create.As(IID_IErrorInfo, &info), S_OK);
    EXPECT_EQ(info->GetDescription(nullptr), E_POINTER);
    ComPtr<IUnknown> other;
    EXPECT_EQ(create.As(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(Description(info.Get()), u"") << "an unfilled description is empty, not null";
}

} // namespace
