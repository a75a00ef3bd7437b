#include "mail/SmtpText.h"

bool SmtpText::fitsOnOneLine(const QString &text, bool isAddress)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return false;
        if (isAddress && (c == QLatin1Char('<') || c == QLatin1Char('>')))
            return false;
    }
    return true;
}
