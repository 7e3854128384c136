#pragma once

// libnm for C++: nm-errors.h lacks the C linkage block the other headers have.
#include <gio/gio.h>
#include <glib.h>

extern "C" {
#include <nm-errors.h>
}

#include <NetworkManager.h>
#include <nm-secret-agent-old.h>
