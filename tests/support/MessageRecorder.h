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
        lq::Messages::setOfferHandler(
            [this](const QString& title, const QString& text, const QString& action) {
                m_titles << title;
                m_texts << text;
                m_offeredActions << action;
                if (m_onShow)
                    m_onShow(text);
                return m_takeOffers;
            });
    }
    ~MessageRecorder()
    {
        lq::Messages::setHandler({});
        lq::Messages::setOfferHandler({});
    }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const QStringList& texts() const { return m_texts; }
    const QStringList& titles() const { return m_titles; }
    QString last() const { return m_texts.isEmpty() ? QString() : m_texts.last(); }
    // The captions of the actions that boxes offered beside OK, in order.
    const QStringList& offeredActions() const { return m_offeredActions; }
    // Whether the "user" takes an offered action or presses OK (the default).
    void takeOffers(bool take) { m_takeOffers = take; }
    void clear()
    {
        m_texts.clear();
        m_titles.clear();
        m_offeredActions.clear();
    }
    // Runs while a box is "open", as if the user looked at the screen before pressing OK.
    void onShow(std::function<void(const QString&)> callback) { m_onShow = std::move(callback); }

private:
    QStringList m_texts;
    QStringList m_titles;
    QStringList m_offeredActions;
    bool m_takeOffers = false;
    std::function<void(const QString&)> m_onShow;
};
