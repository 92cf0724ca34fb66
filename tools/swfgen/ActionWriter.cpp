#include "ActionWriter.h"

#include "SwfWriter.h"

#include <stdexcept>

namespace swf {

namespace {

enum PushType : uint8_t { PushString = 0, PushBoolean = 5, PushInteger = 7 };

void appendU16(QByteArray& out, uint16_t value)
{
    out.append(char(value & 0xff));
    out.append(char(value >> 8));
}

} // namespace

void ActionWriter::record(ActionCode code, const QByteArray& payload)
{
    m_code.append(char(code));
    if (code >= 0x80) {
        if (payload.size() > 0xffff)
            throw std::length_error("action record too long");
        appendU16(m_code, uint16_t(payload.size()));
        m_code.append(payload);
    } else if (!payload.isEmpty()) {
        throw std::logic_error("actions below 0x80 carry no operands");
    }
}

void ActionWriter::push(const QString& text)
{
    QByteArray payload(1, char(PushString));
    const QByteArray encoded = encodeString(text, m_version);
    if (encoded.contains('\0'))
        throw std::invalid_argument("a pushed string cannot hold a NUL character");
    payload.append(encoded);
    payload.append('\0');
    record(ActionPush, payload);
}

void ActionWriter::push(int number)
{
    QByteArray payload(1, char(PushInteger));
    const uint32_t v = uint32_t(number);
    for (int shift = 0; shift < 32; shift += 8)
        payload.append(char((v >> shift) & 0xff));
    record(ActionPush, payload);
}

void ActionWriter::push(bool value)
{
    QByteArray payload(1, char(PushBoolean));
    payload.append(char(value ? 1 : 0));
    record(ActionPush, payload);
}

void ActionWriter::op(ActionCode code)
{
    record(code, {});
}

void ActionWriter::getUrl2(uint8_t flags)
{
    record(ActionGetUrl2, QByteArray(1, char(flags)));
}

void ActionWriter::gotoFrame(uint16_t zeroBasedFrame)
{
    QByteArray payload;
    appendU16(payload, zeroBasedFrame);
    record(ActionGotoFrame, payload);
}

ActionWriter::Label ActionWriter::newLabel()
{
    m_labelOffsets.append(-1);
    return {int(m_labelOffsets.size() - 1)};
}

void ActionWriter::bind(Label label)
{
    if (label.index < 0 || label.index >= m_labelOffsets.size() || m_labelOffsets[label.index] >= 0)
        throw std::logic_error("label bound twice or unknown");
    m_labelOffsets[label.index] = int(m_code.size());
}

void ActionWriter::jump(Label label)
{
    record(ActionJump, QByteArray(2, '\0'));
    m_branchFixups.append({int(m_code.size() - 2), label.index});
}

void ActionWriter::jumpIfTrue(Label label)
{
    record(ActionIf, QByteArray(2, '\0'));
    m_branchFixups.append({int(m_code.size() - 2), label.index});
}

void ActionWriter::defineFunction(const QString& name, const QStringList& params,
                                  const ActionWriter& body)
{
    const QByteArray bodyCode = body.code();
    if (bodyCode.size() > 0xffff)
        throw std::length_error("function body too long");
    QByteArray payload = encodeString(name, m_version);
    payload.append('\0');
    appendU16(payload, uint16_t(params.size()));
    for (const QString& p : params) {
        payload.append(encodeString(p, m_version));
        payload.append('\0');
    }
    appendU16(payload, uint16_t(bodyCode.size()));
    record(ActionDefineFunction, payload);
    // The body follows the record itself; branches inside it were resolved on its own.
    m_code.append(bodyCode);
}

void ActionWriter::getVariable(const QString& name)
{
    push(name);
    op(ActionGetVariable);
}

void ActionWriter::loadVariablesNum(const QString& url, int level)
{
    push(url);
    push(QStringLiteral("_level%1").arg(level));
    getUrl2(GetUrlFlags::loadVariables | GetUrlFlags::methodNone);
}

void ActionWriter::fscommand(const QString& command, const QString& argument)
{
    push(QStringLiteral("FSCommand:") + command);
    push(argument);
    getUrl2(GetUrlFlags::methodNone);
}

void ActionWriter::callFunction(const QString& name)
{
    push(0); // no arguments
    push(name);
    op(ActionCallFunction);
    op(ActionPop);
}

QByteArray ActionWriter::code() const
{
    QByteArray out = m_code;
    for (const auto& [at, labelIndex] : m_branchFixups) {
        if (labelIndex < 0 || labelIndex >= m_labelOffsets.size() || m_labelOffsets[labelIndex] < 0)
            throw std::logic_error("branch to a label that was never bound");
        // Offsets count from the start of the action after the branch.
        const int offset = m_labelOffsets[labelIndex] - (at + 2);
        if (offset < -32768 || offset > 32767)
            throw std::length_error("branch too far");
        out[at] = char(offset & 0xff);
        out[at + 1] = char((offset >> 8) & 0xff);
    }
    return out;
}

} // namespace swf
