#pragma once

#include <QString>

class QCommandLineParser;

namespace lq {

// What a published page says of itself, whichever place it goes to: its title where the template
// has no title text (--title), and its language (--lang).
struct PageOptions
{
    QString title;
    QString language;
};

// lumenquill --upload EFFECT URL [--password-stdin] [--host-key FINGERPRINT] [--key FILE]
// [--allow-plain-ftp]: publishes the template as a web folder and puts it on the host. --upload
// itself is the host's row of the places to publish; these are the options only it reads.
void addUploadOptions(QCommandLineParser& parser);
// 0 when the site is on the host; 1 with one line on standard error naming the cause; 2 for
// arguments it cannot use.
int runUploadCommand(const QCommandLineParser& parser, const PageOptions& page);

} // namespace lq
