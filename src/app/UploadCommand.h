#pragma once

class QCommandLineParser;

namespace lq {

// lumenquill --upload EFFECT URL [--password-stdin] [--host-key FINGERPRINT] [--key FILE]
// [--allow-plain-ftp]: publishes the template as a web folder and puts it on the host. --upload
// itself is the host's row of the places to publish; these are the options only it reads.
void addUploadOptions(QCommandLineParser& parser);
// 0 when the site is on the host; 1 with one line on standard error naming the cause; 2 for
// arguments it cannot use.
int runUploadCommand(const QCommandLineParser& parser);

} // namespace lq
