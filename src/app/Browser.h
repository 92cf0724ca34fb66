#pragma once

#include <QString>

namespace lq {

// The user's web browser, which shows the program's HTML pages in windows of its own.
class Browser
{
public:
    virtual ~Browser() = default;

    // Asks the browser to show a local file. The browser runs as a process of its own that is not
    // the program's child, so its windows stay open after the program has ended. The call returns
    // at once, without waiting for the page; false means that no browser could be started.
    virtual bool open(const QString& localPath) = 0;
};

// The desktop's own browser: the desktop's URL opener (xdg-open) on Linux and other Unix desktops,
// the system's default handler elsewhere.
class SystemBrowser : public Browser
{
public:
    bool open(const QString& localPath) override;
};

} // namespace lq
