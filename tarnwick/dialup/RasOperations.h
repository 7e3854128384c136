#pragma once

#include "tarnwick/dialup/RasFunctionTable.h"

#include <cstdint>
#include <string>

namespace tarnwick {

// The program's copy of a phonebook entry (size field 1796); only the fields
// a dial uses are copied from the provider's answer, all others stay zero.
using RasEntryInfo = RASENTRYA;

// The five small operations over the function table. Each treats a missing
// function as "not available" and shows nothing itself; the default
// phonebook is always meant.

// The string id (2000..2025) of a connection state's text.
uint32_t RasStateTextId(uint32_t state);

// The text of a string id from RasStateTextId.
std::string RasStateText(uint32_t stringId);

// A readable text for a RAS or system error code: the provider's own text,
// else "Fehler: <code>\r\n" with the program's text for the codes it knows,
// else the system's message text (possibly empty).
std::string RasErrorText(const RasFunctionTable& table, uint32_t code);

// True when an active connection of the entry (compared without regard to
// case) exists; its handle (the last match) goes to connection.
bool FindRasConnection(const RasFunctionTable& table, const std::string& entryName, HRASCONN& connection);

// Reads the entry into info; 0 on success, 803 when the entry does not
// exist or cannot be read at all, 87 without an output record.
uint32_t GetRasEntry(const RasFunctionTable& table, const std::string& entryName, RasEntryInfo* info);

// Hangs the connection up and waits until it is gone (at most 30 s). False
// when the status or hang-up function is missing or fails, or the
// connection did not end in time.
bool HangUpRasConnection(const RasFunctionTable& table, HRASCONN connection);

} // namespace tarnwick
