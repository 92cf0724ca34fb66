#pragma once

#include "Browser.h"

#include <QStringList>
#include <memory>

// Stands in for the user's web browser: records every page it is asked to show, and can play a
// desktop on which no browser starts.
class RecordingBrowser : public lq::Browser
{
public:
    struct Record
    {
        QStringList pages;
        bool starts = true;
    };

    // The window owns the browser; the test keeps the record, which outlives both.
    static std::unique_ptr<RecordingBrowser> make(std::shared_ptr<Record> record)
    {
        return std::unique_ptr<RecordingBrowser>(new RecordingBrowser(std::move(record)));
    }

    bool open(const QString& localPath) override
    {
        if (!m_record->starts)
            return false;
        m_record->pages << localPath;
        return true;
    }

private:
    explicit RecordingBrowser(std::shared_ptr<Record> record) : m_record(std::move(record)) {}
    std::shared_ptr<Record> m_record;
};
