#include "XDisplay.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> own(Reply* reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

pid_t spawnQuietly(const char* const argv[])
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed =
        posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Xvfb writes its display number to the descriptor it is given once it accepts clients.
QByteArray readDisplayNumber(int fd)
{
    QByteArray number;
    pollfd readable{fd, POLLIN, 0};
    char c = 0;
    while (poll(&readable, 1, 10'000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
        number.append(c);
    return number;
}

bool windowManagerRuns(xcb_connection_t* connection, xcb_window_t root)
{
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    auto atom = own(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr));
    if (!atom)
        return false;
    auto property = own(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    return property && xcb_get_property_value_length(property.get()) == 4;
}

} // namespace

VirtualDisplay::~VirtualDisplay()
{
    stop(m_windowManager);
    stop(m_server);
}

bool VirtualDisplay::start()
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    const std::string fd = std::to_string(pipeEnds[1]);
    const char* server[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                            "1280x1024x24", "-nolisten",  "tcp",      nullptr};
    m_server = spawnQuietly(server);
    close(pipeEnds[1]);
    const QByteArray number = m_server ? readDisplayNumber(pipeEnds[0]) : QByteArray();
    close(pipeEnds[0]);
    if (number.isEmpty())
        return false;
    m_name = ':' + number;
    setenv("DISPLAY", m_name.constData(), 1);
    const char* manager[] = {"openbox", "--sm-disable", nullptr};
    m_windowManager = spawnQuietly(manager);
    xcb_connection_t* connection = xcb_connect(m_name.constData(), nullptr);
    bool managed = false;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        for (int tries = 0; tries < 200 && !managed; ++tries) {
            managed = windowManagerRuns(connection, root);
            if (!managed)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    xcb_disconnect(connection);
    return m_windowManager && managed;
}

WindowWatch::WindowWatch(const QByteArray& display)
{
    m_connection = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    const char name[] = "_NET_WM_PID";
    auto atom = own(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr));
    m_pidAtom = atom ? atom->atom : 0;
}

WindowWatch::~WindowWatch()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

void WindowWatch::reset()
{
    // A round trip: every event of the programs before is in by now.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    handlePendingEvents();
    m_created.clear();
    m_watched = 0;
    m_losses = 0;
}

void WindowWatch::handlePendingEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        switch (event->response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (created->parent == m_root && !created->override_redirect) {
                m_created.insert(created->window);
                // Its own map and unmap, wherever the window manager puts it.
                const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                xcb_change_window_attributes(m_connection, created->window, XCB_CW_EVENT_MASK,
                                             &mask);
                xcb_flush(m_connection);
            }
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            auto* unmapped = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
            if (m_watched && unmapped->window == m_watched && unmapped->event == m_watched)
                ++m_losses;
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
            if (m_watched && destroyed->window == m_watched && destroyed->event == m_watched)
                ++m_losses;
            m_created.remove(destroyed->window);
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
}

bool WindowWatch::isViewableWindowOf(std::uint32_t window, pid_t pid)
{
    auto attributes = own(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return false;
    auto property = own(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    return property && xcb_get_property_value_length(property.get()) == 4 &&
           *static_cast<const uint32_t*>(xcb_get_property_value(property.get())) == uint32_t(pid);
}

std::uint32_t WindowWatch::waitForViewable(pid_t pid, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd readable{xcb_get_file_descriptor(m_connection), POLLIN, 0};
    while (Clock::now() < deadline) {
        handlePendingEvents();
        // A map of the window or of its frame makes it viewable: asked after every event that
        // arrives (maps, reparenting), and now and then in between, without spinning on a core
        // that the program needs.
        for (const std::uint32_t window : std::as_const(m_created)) {
            if (isViewableWindowOf(window, pid)) {
                m_watched = window;
                m_losses = 0;
                return window;
            }
        }
        poll(&readable, 1, 20);
        if (xcb_connection_has_error(m_connection))
            return 0;
    }
    return 0;
}

int WindowWatch::lossesOf(std::uint32_t window)
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    handlePendingEvents();
    return window == m_watched ? m_losses : 0;
}

} // namespace bench
