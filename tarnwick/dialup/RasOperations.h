#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/dialup/RasFunctionTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// The program's copy of a phonebook entry (size field 1796); only the fields
// a dial uses are copied from the provider's answer, all others stay zero.
using RasEntryInfo = RASENTRYA;

// The five small operations over the function table. Each treats a missing
// function as "not available" and shows nothing itself; the default
// phonebook is always meant.

// The string id (2000..2025) of a connection state's text.
TARNWICK_EXPORT uint32_t RasStateTextId(uint32_t state);

// The text of a string id from RasStateTextId.
TARNWICK_EXPORT std::string RasStateText(uint32_t stringId);

// A readable text for a RAS or system error code: the provider's own text,
// else "Fehler: <code>\r\n" with the program's text for the codes it knows,
// else the system's message text (possibly empty).
TARNWICK_EXPORT std::string RasErrorText(const RasFunctionTable& table, uint32_t code);

// True when an active connection of the entry (compared without regard to
// case) exists; its handle (the last match) goes to connection.
TARNWICK_EXPORT bool FindRasConnection(const RasFunctionTable& table, const std::string& entryName,
                                       HRASCONN& connection);

// Reads the entry into info; 0 on success, 803 when the entry does not
// exist or cannot be read at all, 87 without an output record.
TARNWICK_EXPORT uint32_t GetRasEntry(const RasFunctionTable& table, const std::string& entryName, RasEntryInfo* info);

// Hangs the connection up and waits until it is gone (at most 30 s). False
// when the status or hang-up function is missing or fails, or the
// connection did not end in time.
TARNWICK_EXPORT bool HangUpRasConnection(const RasFunctionTable& table, HRASCONN connection);

} // namespace tarnwick

namespace tarnwick {

// The phonebook's entry names, or the enumeration's error code (0: none) with
// its text ("Fehler: <code> <provider's text>"). Without the function the
// list is empty and nothing failed.
struct TARNWICK_EXPORT RasEntryList
{
    std::vector<std::string> names;
    uint32_t error = 0;
    std::string errorText;
};
TARNWICK_EXPORT RasEntryList ListRasEntries(const RasFunctionTable& table);

// The user name and password stored with an entry; nothing when the function
// is missing or fails.
struct TARNWICK_EXPORT RasCredentials
{
    std::string userName;
    std::string password;
};
TARNWICK_EXPORT std::optional<RasCredentials> ReadRasCredentials(const RasFunctionTable& table,
                                                                 const std::string& entryName);

} // namespace tarnwick
