#pragma once

#include <string>

namespace corvane {

// Installs a new error object as the thread's current error: description text,
// source the class's ProgID (none when the class is not registered), no GUID,
// no help. Nothing is installed when no error object can be created.
void ReportError(const std::string& description);

} // namespace corvane
