#include "core/InputPatterns.h"

namespace InputPatterns {

QString localPart()
{
    return QStringLiteral("[a-zA-Z0-9_-]+(\\.[a-zA-Z0-9_-]+)*");
}

QString domain()
{
    return QStringLiteral("([a-zA-Z0-9_-]+\\.)+[a-zA-Z]+");
}

QString address()
{
    return localPart() + QLatin1Char('@') + domain();
}

QString aliasTyping()
{
    return QStringLiteral("[a-zA-Z0-9_.-]+");
}

QString addressTyping()
{
    return QStringLiteral("[a-zA-Z0-9_.@-]*");
}

QString accountWord()
{
    return QStringLiteral("[a-zA-Z0-9]+");
}

} // namespace InputPatterns
