#pragma once

#include "HostAddress.h"

#include <QString>

namespace lq::HostPasswords {

// The password kept for the host and user in the desktop's secret store; empty when none is kept
// or no store answers (then the user is asked each time).
QString read(const HostAddress& address);

// Keeps the password in the secret store, never in a file in clear; false when no store took it.
bool write(const HostAddress& address, const QString& password);

} // namespace lq::HostPasswords
