#include "support/SmtpReplyReader.h"

#include <QIODevice>

bool SmtpReplyReader::read(QIODevice &device)
{
    while (device.canReadLine()) {
        lastLine = QString::fromLatin1(device.readLine());
        replyText += lastLine;
        // Only a hyphen after the code announces more lines; a bare code
        // without text ends the reply as well as a space does.
        if (lastLine.size() < 4 || lastLine.at(3) != QLatin1Char('-'))
            return true;
    }
    return false;
}

void SmtpReplyReader::clear()
{
    replyText.clear();
    lastLine.clear();
}
