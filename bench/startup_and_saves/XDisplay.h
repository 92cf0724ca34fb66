#pragma once

// A real X display for the benchmarks, and a watch on it that sees a program's main window
// appear the way its user does: mapped by the window manager, in its frame, on screen.

#include <QByteArray>
#include <QSet>
#include <cstdint>
#include <sys/types.h>

struct xcb_connection_t;

namespace bench {

// Xvfb and the openbox window manager, started for the benchmark and stopped with it.
class VirtualDisplay
{
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay();

    // Starts both and waits until the window manager manages the screen; false if either fails.
    bool start();
    // ":<number>", for DISPLAY.
    QByteArray name() const { return m_name; }

private:
    QByteArray m_name;
    pid_t m_server = 0;
    pid_t m_windowManager = 0;
};

// Listens on a display for top-level windows, from before the program it watches is started.
class WindowWatch
{
public:
    explicit WindowWatch(const QByteArray& display);
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;
    ~WindowWatch();

    bool isConnected() const { return m_connection != nullptr; }
    // Forgets what was seen so far: the next program's windows count from here.
    void reset();
    // Waits until a top-level window of process pid is viewable (mapped, and its frame too) and
    // returns it at that moment; 0 when none is within timeoutMs.
    std::uint32_t waitForViewable(pid_t pid, int timeoutMs);
    // How often window has been unmapped or destroyed since it was viewable, by the events that
    // have arrived until now.
    int lossesOf(std::uint32_t window);

private:
    void handlePendingEvents();
    bool isViewableWindowOf(std::uint32_t window, pid_t pid);

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_pidAtom = 0;
    QSet<std::uint32_t> m_created;
    QSet<std::uint32_t> m_lost;
    int m_losses = 0;
    std::uint32_t m_watched = 0;
};

} // namespace bench
