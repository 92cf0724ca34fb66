#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

// Assembles ActionScript 1 byte code (the action records of a DoAction tag or a function body),
// with forward and backward branches to labels.
namespace swf {

// The flag byte of ActionGetURL2 as players read it: the two load flags in the high bits and the
// HTTP method in the low ones.
namespace GetUrlFlags {
inline constexpr uint8_t loadVariables = 0x80;
inline constexpr uint8_t loadTarget = 0x40;
inline constexpr uint8_t methodNone = 0x00;
} // namespace GetUrlFlags

enum ActionCode : uint8_t {
    ActionPlay = 0x06,
    ActionStop = 0x07,
    ActionSubtract = 0x0b,
    ActionNot = 0x12,
    ActionPop = 0x17,
    ActionToInteger = 0x18,
    ActionGetVariable = 0x1c,
    ActionSetVariable = 0x1d,
    ActionGetTime = 0x34,
    ActionDefineLocal = 0x3c,
    ActionCallFunction = 0x3d,
    ActionReturn = 0x3e,
    ActionTypeOf = 0x44,
    ActionAdd2 = 0x47,
    ActionLess2 = 0x48,
    ActionEquals2 = 0x49,
    ActionToString = 0x4b,
    ActionGetMember = 0x4e,
    ActionSetMember = 0x4f,
    ActionCallMethod = 0x52,
    ActionGotoFrame = 0x81,
    ActionGetUrl = 0x83,
    ActionPush = 0x96,
    ActionJump = 0x99,
    ActionGetUrl2 = 0x9a,
    ActionDefineFunction = 0x9b,
    ActionIf = 0x9d,
};

class ActionWriter
{
public:
    explicit ActionWriter(int swfVersion) : m_version(swfVersion) {}

    struct Label
    {
        int index = -1;
    };

    // Pushes one value onto the stack.
    void push(const QString& text);
    void push(const char* text) { push(QString::fromUtf8(text)); }
    void push(int number);
    void push(bool value);

    // An action without operands (ActionAdd2, ActionGetVariable, ...).
    void op(ActionCode code);
    void getUrl2(uint8_t flags);
    void gotoFrame(uint16_t zeroBasedFrame);

    Label newLabel();
    void bind(Label label);       // the next action starts at this label
    void jump(Label label);       // always
    void jumpIfTrue(Label label); // pops a value, branches when it is true

    // function name(params) { body }: name empty for a function value left on the stack.
    void defineFunction(const QString& name, const QStringList& params, const ActionWriter& body);

    // Common phrases.
    void getVariable(const QString& name);
    void loadVariablesNum(const QString& url, int level);
    void fscommand(const QString& command, const QString& argument);
    // Calls a function stored in a variable, with no arguments, and drops its result.
    void callFunction(const QString& name);

    // The finished byte code, branches resolved; no end byte (a DoAction tag adds it).
    QByteArray code() const;

private:
    void record(ActionCode code, const QByteArray& payload);

    int m_version;
    QByteArray m_code;
    QList<int> m_labelOffsets;             // -1 until bound
    QList<QPair<int, int>> m_branchFixups; // offset of the SI16, label index
};

} // namespace swf
