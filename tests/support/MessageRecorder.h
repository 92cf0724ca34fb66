#pragma once

#include "Messages.h"

#include <QPair>
#include <QStringList>

// Answers every message box of the program while it lives, recording title and text, so that no
// test ever waits on a modal box.
class MessageRecorder
{
public:
    MessageRecorder()
    {
        lq::Messages::setHandler([this](const QString& title, const QString& text) {
            m_titles << title;
            m_texts << text;
            if (m_onShow)
                m_onShow(text);
        });
    }
    ~MessageRecorder() { lq::Messages::setHandler({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const QStringList& texts() const { return m_texts; }
    const QStringList& titles() const { return m_titles; }
    QString last() const { return m_texts.isEmpty() ? QString() : m_texts.last(); }
    void clear()
    {
        m_texts.clear();
        m_titles.clear();
    }
    // Runs while a box is "open", as if the user looked at the screen before pressing OK.
    void onShow(std::function<void(const QString&)> callback) { m_onShow = std::move(callback); }

private:
    QStringList m_texts;
    QStringList m_titles;
    std::function<void(const QString&)> m_onShow;
};
