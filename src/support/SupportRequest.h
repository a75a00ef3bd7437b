#pragma once

#include <QList>
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

// A log goes with a request only up to its last this many bytes: the end
// is what tells what went wrong, and the mail stays small.
constexpr qint64 MaxLogBytes = 256 * 1024;
// Put where a log's start was left out.
constexpr char LeftOutMark[] = "[...]\n";

struct Attachment
{
    QString name;
    qint64 size = 0; // as it goes with the request
};

// The logs in `dir` that a request sent now would carry, for the form to
// show before the user sends anything.
QList<Attachment> attachments(const QDir &dir);

// `text` unchanged, then a listing of each log file in `dir` that can be
// read, each at most its last MaxLogBytes. A missing file is left out
// silently.
QString withLogListings(const QString &text, const QDir &dir);

} // namespace SupportRequest
