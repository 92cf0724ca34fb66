#pragma once

// Runs the ActionScript 1 byte code of the stand-in movies the way a SWF 5 player does, for the
// instructions they use, so tests can see what a movie requests and reports. Anything else is
// refused loudly rather than skipped.

#include "SwfReader.h"

#include <QHash>
#include <cmath>
#include <limits>

namespace swfread {

struct Value
{
    enum Kind { Undefined, Boolean, Number, String, Function, Clip } kind = Undefined;
    bool boolean = false;
    double number = 0;
    QString text;
    QByteArray body; // of a function

    static Value of(bool b) { return {Boolean, b}; }
    static Value of(double n) { return {Number, false, n}; }
    static Value of(const QString& s) { return {String, false, 0, s}; }
};

struct UrlRequest
{
    QString url;
    QString target;
    uint8_t flags;
};

class MiniAvm1
{
public:
    int clockMs = 0;
    bool stopped = false;
    QList<UrlRequest> requests;

    // Names are not case-sensitive in SWF 5.
    void setRoot(const QString& name, const Value& v) { m_root.insert(name.toLower(), v); }
    Value root(const QString& name) const { return m_root.value(name.toLower()); }

    // A DoAction body, end byte included.
    void run(const QByteArray& code)
    {
        if (code.isEmpty() || code.back() != '\0')
            throw Malformed("no end action");
        execute(code.left(code.size() - 1), nullptr);
    }

    // The fscommands sent so far, and forgets them: {command, argument}.
    QList<QPair<QString, QString>> takeCommands()
    {
        QList<QPair<QString, QString>> out;
        QList<UrlRequest> rest;
        for (const UrlRequest& r : std::as_const(requests)) {
            if (r.url.startsWith(QLatin1String("FSCommand:"), Qt::CaseInsensitive))
                out.append({r.url.mid(10), r.target});
            else
                rest.append(r);
        }
        requests = rest;
        return out;
    }

private:
    using Scope = QHash<QString, Value>;

    static QString toString(const Value& v)
    {
        switch (v.kind) {
        case Value::Undefined:
            return {};
        case Value::Boolean:
            return v.boolean ? QStringLiteral("true") : QStringLiteral("false");
        case Value::Number:
            if (std::isnan(v.number))
                return QStringLiteral("NaN");
            if (v.number == std::floor(v.number) && std::abs(v.number) < 1e15)
                return QString::number(qint64(v.number));
            return QString::number(v.number, 'g', 15);
        case Value::String:
            return v.text;
        case Value::Function:
            return QStringLiteral("[type Function]");
        case Value::Clip:
            return QStringLiteral("_level0");
        }
        return {};
    }
    static double toNumber(const Value& v)
    {
        switch (v.kind) {
        case Value::Boolean:
            return v.boolean ? 1 : 0;
        case Value::Number:
            return v.number;
        case Value::String: {
            bool ok = false;
            const double d = v.text.toDouble(&ok);
            return ok ? d : std::numeric_limits<double>::quiet_NaN();
        }
        default:
            return v.kind == Value::Undefined ? 0 : std::numeric_limits<double>::quiet_NaN();
        }
    }
    static bool truthy(const Value& v)
    {
        if (v.kind == Value::Boolean)
            return v.boolean;
        const double n = toNumber(v);
        return !std::isnan(n) && n != 0;
    }
    static bool equals(const Value& a, const Value& b)
    {
        if (a.kind == Value::Undefined || b.kind == Value::Undefined)
            return a.kind == b.kind;
        if (a.kind == Value::String && b.kind == Value::String)
            return a.text == b.text;
        return toNumber(a) == toNumber(b);
    }

    Value lookup(const QString& name, const Scope* locals) const
    {
        const QString key = name.toLower();
        if (locals && locals->contains(key))
            return locals->value(key);
        if (key == QLatin1String("_root") || key == QLatin1String("_level0"))
            return {Value::Clip};
        return m_root.value(key);
    }

    Value pop()
    {
        if (m_stack.isEmpty())
            return {}; // an empty stack gives undefined, as in the player
        return m_stack.takeLast();
    }

    void call(const Value& function, int argc)
    {
        for (int i = 0; i < argc; ++i)
            pop();
        if (function.kind != Value::Function) {
            m_stack.append(Value{});
            return;
        }
        Scope locals;
        const qsizetype depth = m_stack.size();
        execute(function.body, &locals);
        // A body that does not return leaves undefined as its result.
        while (m_stack.size() > depth)
            m_stack.removeLast();
        m_stack.append(m_returned);
        m_returned = {};
    }

    void execute(const QByteArray& code, Scope* locals)
    {
        const QList<Action> actions = readActions(code + QByteArray(1, '\0'));
        QHash<qsizetype, qsizetype> indexAt;
        for (qsizetype i = 0; i < actions.size(); ++i)
            indexAt.insert(actions[i].offset, i);
        indexAt.insert(code.size(), actions.size());

        qsizetype i = 0;
        int steps = 0;
        auto branch = [&](const Action& a) {
            const qsizetype next = a.offset + 3 + a.payload.size();
            const int16_t delta = int16_t(uint8_t(a.payload[0]) | (uint8_t(a.payload[1]) << 8));
            const qsizetype target = next + delta;
            if (!indexAt.contains(target))
                throw Malformed("branch into the middle of an action");
            i = indexAt.value(target);
        };
        while (i < actions.size()) {
            if (++steps > 100000)
                throw Malformed("runaway byte code");
            const Action& a = actions[i++];
            switch (a.code) {
            case 0x96: // push
                for (const Pushed& p : readPush(a.payload)) {
                    if (p.kind == Pushed::String)
                        m_stack.append(Value::of(p.text));
                    else if (p.kind == Pushed::Integer)
                        m_stack.append(Value::of(double(p.number)));
                    else
                        m_stack.append(Value::of(p.boolean));
                }
                break;
            case 0x17: // pop
                pop();
                break;
            case 0x1c: { // get variable
                m_stack.append(lookup(toString(pop()), locals));
                break;
            }
            case 0x1d: { // set variable
                const Value v = pop();
                const QString key = toString(pop()).toLower();
                if (locals && locals->contains(key))
                    locals->insert(key, v);
                else
                    m_root.insert(key, v);
                break;
            }
            case 0x3c: { // define local
                const Value v = pop();
                const QString key = toString(pop()).toLower();
                (locals ? *locals : m_root).insert(key, v);
                break;
            }
            case 0x44: { // typeof
                static const char* names[] = {"undefined", "boolean",  "number",
                                              "string",    "function", "movieclip"};
                m_stack.append(Value::of(QString::fromLatin1(names[pop().kind])));
                break;
            }
            case 0x49: { // equals
                const Value x = pop(), y = pop();
                m_stack.append(Value::of(equals(y, x)));
                break;
            }
            case 0x12: // not
                m_stack.append(Value::of(!truthy(pop())));
                break;
            case 0x4b: // to string
                m_stack.append(Value::of(toString(pop())));
                break;
            case 0x4e: { // get member
                const QString name = toString(pop());
                const Value object = pop();
                if (object.kind == Value::String && name == QLatin1String("length"))
                    m_stack.append(Value::of(double(object.text.size())));
                else if (object.kind == Value::Clip)
                    m_stack.append(m_root.value(name.toLower()));
                else
                    m_stack.append(Value{});
                break;
            }
            case 0x4f: // set member: only System.useCodepage-like settings, which we ignore
                pop();
                pop();
                pop();
                break;
            case 0x47: { // add
                const Value x = pop(), y = pop();
                if (x.kind == Value::String || y.kind == Value::String)
                    m_stack.append(Value::of(toString(y) + toString(x)));
                else
                    m_stack.append(Value::of(toNumber(y) + toNumber(x)));
                break;
            }
            case 0x0b: { // subtract
                const Value x = pop(), y = pop();
                m_stack.append(Value::of(toNumber(y) - toNumber(x)));
                break;
            }
            case 0x48: { // less
                const Value x = pop(), y = pop();
                m_stack.append(Value::of(toNumber(y) < toNumber(x)));
                break;
            }
            case 0x34: // get time
                m_stack.append(Value::of(double(clockMs)));
                break;
            case 0x9a: { // get URL 2
                const QString target = toString(pop());
                const QString url = toString(pop());
                requests.append({url, target, uint8_t(a.payload.at(0))});
                break;
            }
            case 0x9d: // if
                if (truthy(pop()))
                    branch(a);
                break;
            case 0x99: // jump
                branch(a);
                break;
            case 0x9b: { // define function
                Reader r(a.payload);
                const QString name = ansi(r.string());
                const int params = r.u16();
                for (int p = 0; p < params; ++p)
                    r.string();
                const int size = r.u16();
                const qsizetype start = a.offset + 3 + a.payload.size();
                if (start + size > code.size() || !indexAt.contains(start + size))
                    throw Malformed("function body does not end on an action");
                Value f{Value::Function};
                f.body = code.mid(start, size);
                i = indexAt.value(start + size);
                if (name.isEmpty())
                    m_stack.append(f);
                else
                    (locals ? *locals : m_root).insert(name.toLower(), f);
                break;
            }
            case 0x3d: { // call function
                const QString name = toString(pop());
                const int argc = int(toNumber(pop()));
                call(lookup(name, locals), argc);
                break;
            }
            case 0x52: { // call method
                const QString name = toString(pop());
                const Value object = pop();
                const int argc = int(toNumber(pop()));
                call(object.kind == Value::Clip ? m_root.value(name.toLower()) : Value{}, argc);
                break;
            }
            case 0x3e: // return
                m_returned = pop();
                return;
            case 0x07: // stop
                stopped = true;
                break;
            case 0x06: // play
                stopped = false;
                break;
            default:
                throw Malformed(QStringLiteral("action 0x%1 not expected")
                                    .arg(a.code, 2, 16, QLatin1Char('0'))
                                    .toStdString());
            }
        }
    }

    Scope m_root;
    QList<Value> m_stack;
    Value m_returned;
};

} // namespace swfread
