#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

namespace lq {

// Environment variables the program sets for its own use (Qt and the web engine read them at
// start), remembered with what they were before, so that a program started for the user (the
// browser that shows the tutorial) gets the user's environment and not ours: a browser built on
// Qt would otherwise draw in software, and one on the web engine would run without its sandbox.
namespace ProgramEnvironment {

// Sets the variable for this program.
void set(const char* name, const QByteArray& value);

// Sets it only where the user has not.
void setDefault(const char* name, const QByteArray& value);

// This program's environment with every variable set above as the user had it.
QProcessEnvironment forOtherPrograms();

} // namespace ProgramEnvironment

} // namespace lq
