#include "platform/system/SystemMessage.h"

#include <gtest/gtest.h>

using platform::FormatSystemMessage;

namespace {

struct MessageCase
{
    uint32_t code;
    const char* text;
};

TEST(SystemMessage, IsTheGermanSystemText)
{
    const MessageCase cases[]
        = {{10004, "Ein blockierender Vorgang wurde durch einen Aufruf von WSACancelBlockingCall unterbrochen."},
           {10061,
            "Es konnte keine Verbindung hergestellt werden, da der Zielcomputer die Verbindung "
            "verweigerte."},
           {11001, "Der angegebene Host ist unbekannt."},
           {0x80004005, "Unbekannter Fehler"},
           {0x80070057, "Mindestens ein Argument ist ungültig."},
           {0x80040154, "Klasse nicht registriert"},
           {0x8002801D, "Bibliothek nicht registriert."},
           // An HRESULT wrapping a socket code reads as the socket code.
           {0x80072746, "Eine vorhandene Verbindung wurde vom Remotehost geschlossen."},
           {0x8007000E, "Nicht genügend Speicher verfügbar, um diesen Vorgang abzuschließen."}};
    for (const MessageCase& c : cases)
        EXPECT_EQ(FormatSystemMessage(c.code), c.text) << c.code;
}

TEST(SystemMessage, EveryCodeUsersMeetHasAGermanTextWithoutLineBreak)
{
    for (uint32_t code :
         {10004u,      10013u,      10022u,      10040u,      10048u,      10049u,      10050u,     10051u, 10053u,
          10054u,      10057u,      10060u,      10061u,      10064u,      10065u,      11001u,     11004u, 0x80004001u,
          0x80004002u, 0x80004003u, 0x80040111u, 0x80040110u, 0x800401F0u, 0x80020006u, 0x80020009u}) {
        const std::string text = FormatSystemMessage(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find('\n'), std::string::npos) << code;
    }
}

TEST(SystemMessage, UnknownCodesFallBackToTheCLibraryOrNothing)
{
    EXPECT_FALSE(FormatSystemMessage(10036).empty()) << "a Winsock code without German text uses strerror";
    EXPECT_EQ(FormatSystemMessage(0x80040200), "") << "the system has no text for this one";
    EXPECT_EQ(FormatSystemMessage(0xDEADBEEF), "");
    EXPECT_EQ(FormatSystemMessage(4000), "");
}

} // namespace
