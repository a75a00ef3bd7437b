#pragma once

#include <QString>
#include <QStringList>

class QDir;

// The parts of a support request that need no window: the reply address
// rule and the body with the log files appended.
namespace SupportRequest {

// What the reply address field accepts; typing may pass through an
// incomplete address, sending checks the whole of it.
QString addressPattern();
bool isAddress(const QString &text);

// The logs that go with every request, in this order, from the working
// directory: the tunnel's current and previous log and the web filter's.
QStringList logFiles();

// `text` unchanged, then a listing of each log file in `dir` that can be
// read. A missing file is left out silently.
QString withLogListings(const QString &text, const QDir &dir);

} // namespace SupportRequest
