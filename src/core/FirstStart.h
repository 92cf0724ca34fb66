#pragma once

#include <QString>
#include <QStringList>

namespace lq::FirstStart {

struct Outcome
{
    bool laidOut = false; // false: a root was there already (or cannot be used), nothing was done
    QStringList created;  // local folders and files made, in the order they were made
    QStringList problems; // what could not be done, in plain words for the user
};

// On the first start on this machine, when neither the template root nor the install root exists,
// creates both roots and every template folder, then copies the installed drive tree
// (<installed>/drive_c/...) into the drive folders. It never replaces anything that exists, follows
// no symbolic link of the installed tree and writes no content file: the templates' texts are the
// user's alone. An empty or missing installed folder still gives the template folders.
Outcome layOut(const QString& installedDataFolder);

} // namespace lq::FirstStart
