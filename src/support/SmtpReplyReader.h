#pragma once

#include <QString>

class QIODevice;

// Collects one SMTP reply from a device's buffered lines. A multi-line reply
// ("250-..." continuation lines, then "250 ...") may arrive in several
// pieces; the lines read so far are kept until its last line is there.
class SmtpReplyReader
{
public:
    // Reads complete lines up to the last line of a reply. True when a
    // whole reply is now collected; lines after it stay in the device.
    bool read(QIODevice &device);

    // All lines of the reply with their line ends, and its code's first
    // digit (the class of the reply: '2' done, '3' go on, '4'/'5' refused).
    QString text() const { return replyText; }
    QChar codeClass() const { return lastLine.isEmpty() ? QChar() : lastLine.at(0); }

    // Forgets the collected reply, to start on the next one.
    void clear();

private:
    QString replyText;
    QString lastLine;
};
