#pragma once

class QCommandLineParser;

namespace lq {

// lumenquill --upload EFFECT URL [--password-stdin] [--host-key FINGERPRINT] [--key FILE]
// [--allow-plain-ftp]: publishes the template as a web folder and puts it on the host.
void addUploadOptions(QCommandLineParser& parser);
bool isUploadRequested(const QCommandLineParser& parser);
// 0 when the site is on the host; 1 with one line on standard error naming the cause; 2 for
// arguments it cannot use.
int runUploadCommand(const QCommandLineParser& parser);

} // namespace lq
