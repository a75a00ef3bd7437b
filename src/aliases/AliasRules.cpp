#include "aliases/AliasRules.h"

#include "core/InputPatterns.h"

#include <QCoreApplication>
#include <QRegularExpression>

QString AliasRules::aliasInputPattern()
{
    return InputPatterns::aliasTyping();
}

QString AliasRules::forwardInputPattern()
{
    return InputPatterns::addressTyping();
}

QString AliasRules::forwardError(const QString &alias, const QString &mail,
                                 const QString &aliasDomain)
{
    static const QRegularExpression aliasRx(
        QRegularExpression::anchoredPattern(InputPatterns::localPart()));
    // The domain is the second group: the local part has one of its own.
    static const QRegularExpression mailRx(QRegularExpression::anchoredPattern(
        InputPatterns::localPart() + QStringLiteral("@(") + InputPatterns::domain() +
        QLatin1Char(')')));

    if (alias.isEmpty())
        return QCoreApplication::translate("MainForm", "Alias is empty.");
    if (!aliasRx.match(alias).hasMatch())
        return QCoreApplication::translate("MainForm", "Alias is not valid.");
    if (mail.isEmpty())
        return QString();
    const QRegularExpressionMatch match = mailRx.match(mail);
    if (!match.hasMatch())
        return QCoreApplication::translate("MainForm", "Email address is not valid.");
    if (match.captured(2).compare(aliasDomain, Qt::CaseInsensitive) == 0)
        return QCoreApplication::translate("MainForm", "Forwarding to %1 domain is not allowed.")
            .arg(aliasDomain);
    return QString();
}
