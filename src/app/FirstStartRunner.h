#pragma once

#include <QString>

namespace lq {

// Lays out the template folders and the tutorial page on the first start on this machine (see
// FirstStart::layOut), taking the program's files from beside the executable, and tells the user
// in one message what could not be prepared.
void runFirstStart(const QString& executableFolder);

} // namespace lq
