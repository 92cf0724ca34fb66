#pragma once

#include <QByteArray>
#include <QtEndian>

// Writes very small SWF 5 movies for the player's tests: a movie of "the user's own" that reports
// through fscommand, optionally after loading a text file beside it with loadVariablesNum. SWF 5
// reads text files in the ANSI code page.
namespace TinySwf {

namespace detail {

inline QByteArray u16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(quint16(value), bytes.data());
    return bytes;
}

inline QByteArray u32(qint64 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(quint32(value), bytes.data());
    return bytes;
}

inline QByteArray tag(int code, const QByteArray& body)
{
    if (body.size() < 63)
        return u16((code << 6) | int(body.size())) + body;
    return u16((code << 6) | 0x3f) + u32(body.size()) + body;
}

// An action with a body: code, length, body.
inline QByteArray action(int code, const QByteArray& body = {})
{
    QByteArray bytes(1, char(code));
    if (code >= 0x80)
        bytes += u16(int(body.size())) + body;
    return bytes;
}

inline QByteArray pushString(const QByteArray& text)
{
    return action(0x96, QByteArray(1, '\0') + text + '\0');
}

inline QByteArray pushUndefined()
{
    return action(0x96, QByteArray(1, '\3'));
}

// fscommand(command, <top of stack>)
inline QByteArray fscommandWithValue(const QByteArray& command, const QByteArray& pushValue)
{
    return pushString("FSCommand:" + command) + pushValue + action(0x9a, QByteArray(1, '\0'));
}

// A frame size of 550 by 400 pixels in twips: 5 bits giving the width of the values (15),
// then xmin, xmax, ymin, ymax, packed from the high bit down.
inline QByteArray stageRect()
{
    const int bits = 15;
    QList<bool> stream;
    auto put = [&](quint32 value, int width) {
        for (int i = width - 1; i >= 0; --i)
            stream.append((value >> i) & 1);
    };
    put(bits, 5);
    for (quint32 value : {0u, 550u * 20, 0u, 400u * 20})
        put(value, bits);
    QByteArray bytes((stream.size() + 7) / 8, '\0');
    for (qsizetype i = 0; i < stream.size(); ++i) {
        if (stream.at(i))
            bytes[i / 8] = char(bytes.at(i / 8) | (0x80 >> (i % 8)));
    }
    return bytes;
}

inline QByteArray movie(const QList<QByteArray>& frameActions)
{
    QByteArray tags = tag(9, QByteArray("\x20\x40\x60", 3)); // background colour
    for (const QByteArray& actions : frameActions) {
        if (!actions.isEmpty())
            tags += tag(12, actions + '\0');
        tags += tag(1, {});
    }
    tags += tag(0, {});
    const QByteArray header = stageRect() + u16(12 << 8) + u16(int(frameActions.size()));
    const QByteArray body = header + tags;
    return QByteArray("FWS\x05", 4) + u32(8 + body.size()) + body;
}

} // namespace detail

// One frame: fscommand(command, args), then stop.
inline QByteArray reporting(const QByteArray& command, const QByteArray& args)
{
    using namespace detail;
    return movie({fscommandWithValue(command, pushString(args)) + action(0x07)});
}

// Loads `file` (relative to the movie) with loadVariablesNum(file, 0), waits for `variable` and
// then reports its value with fscommand(command, value). A method of 1 or 2 sends the movie's
// variables along with GET or POST.
inline QByteArray loadingAndReporting(const QByteArray& file, const QByteArray& variable,
                                      const QByteArray& command, int method = 0)
{
    using namespace detail;
    // Frame 1: loadVariablesNum(file, 0).
    const QByteArray load =
        pushString(file) + pushString("_level0") + action(0x9a, QByteArray(1, char(0x80 | method)));
    // Frame 3: while the variable is undefined go back to frame 2 and play on; once it is
    // there, report it and stop.
    const QByteArray report =
        fscommandWithValue(command, pushString(variable) + action(0x1c)) + action(0x07);
    const QByteArray again = action(0x81, u16(1)) + action(0x06);
    const QByteArray skipAgain = action(0x99, u16(int(again.size())));
    const QByteArray check = pushString(variable) + action(0x1c) + pushUndefined() + action(0x49) +
                             action(0x9d, u16(int(report.size() + skipAgain.size()))) + report +
                             skipAgain + again;
    return movie({load, {}, check});
}

// Plays on and on, counting: every other frame (six times a second) it adds one to n and reports
// it with fscommand(command, n), so that where the movie stands can be read from its reports.
inline QByteArray counting(const QByteArray& command)
{
    using namespace detail;
    const QByteArray addOne = pushString("n") + pushString("n") + action(0x1c) + pushString("1") +
                              action(0x0a) + action(0x1d);
    return movie({addOne + fscommandWithValue(command, pushString("n") + action(0x1c)), {}});
}

// getURL(url, target): a link to follow or, with "javascript:", a script for the page.
inline QByteArray getUrl(const QByteArray& url, const QByteArray& target)
{
    return detail::action(0x83, url + '\0' + target + '\0');
}

// loadVariables(url, target, method): method 1 sends the movie's variables with GET, 2 with POST.
inline QByteArray loadVariables(const QByteArray& url, const QByteArray& target, int method)
{
    using namespace detail;
    return pushString(url) + pushString(target) + action(0x9a, QByteArray(1, char(0x80 | method)));
}

// Runs `actions` in the first frame, then about a second later (at 12 frames a second) reports
// fscommand(command, args) and stops.
inline QByteArray doingThenReporting(const QByteArray& actions, const QByteArray& command,
                                     const QByteArray& args)
{
    using namespace detail;
    QList<QByteArray> frames(12);
    frames.first() = actions;
    frames.append(fscommandWithValue(command, pushString(args)) + action(0x07));
    return movie(frames);
}

// fscommand("own_url", _url): the movie's own URL, as the player gave it.
inline QByteArray reportingItsOwnUrl()
{
    using namespace detail;
    // getProperty("", 15), _url being property 15; the index is pushed as a float.
    QByteArray index(1, '\1');
    index += u32(0x41700000); // 15.0f
    return fscommandWithValue("own_url", pushString("") + action(0x96, index) + action(0x22));
}

// A movie that talks without end: it reports its own URL, makes a text of 1 KiB doubled
// `doublings` times, and then says fscommand(command, text) `perFrame` times in every frame, for
// as long as it plays.
inline QByteArray floodingFsCommands(const QByteArray& command, int doublings, int perFrame)
{
    using namespace detail;
    QByteArray make =
        reportingItsOwnUrl() + pushString("s") + pushString(QByteArray(1024, 'x')) + action(0x1d);
    const QByteArray getText = pushString("s") + action(0x1c);
    for (int i = 0; i < doublings; ++i)
        make += pushString("s") + getText + getText + action(0x47) + action(0x1d);
    QByteArray talk;
    for (int i = 0; i < perFrame; ++i)
        talk += fscommandWithValue(command, getText);
    // The third frame goes back to the second.
    return movie({make, talk, action(0x81, u16(1)) + action(0x06)});
}

// A movie that asks the server for a file that is not there, `perFrame` times in every frame
// (twelve a second), for as long as it plays.
inline QByteArray floodingRequests(int perFrame)
{
    using namespace detail;
    QByteArray ask;
    for (int i = 0; i < perFrame; ++i)
        ask += loadVariables("missing.txt?" + QByteArray::number(i), "_level0", 0);
    return movie({{}, ask, action(0x81, u16(1)) + action(0x06)});
}

} // namespace TinySwf
