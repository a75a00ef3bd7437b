#include "aliases/AliasRules.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

const QString LocalPart = QStringLiteral("[a-zA-Z0-9_-]+(\\.[a-zA-Z0-9_-]+)*");

} // namespace

QString AliasRules::aliasInputPattern()
{
    return QStringLiteral("[a-zA-Z0-9_.-]+");
}

QString AliasRules::forwardInputPattern()
{
    return QStringLiteral("[a-zA-Z0-9_.@-]*");
}

QString AliasRules::forwardError(const QString &alias, const QString &mail,
                                 const QString &aliasDomain)
{
    static const QRegularExpression aliasRx(QRegularExpression::anchoredPattern(LocalPart));
    static const QRegularExpression mailRx(QRegularExpression::anchoredPattern(
        LocalPart + QStringLiteral("@(([a-zA-Z0-9_-]+\\.)+[a-zA-Z]+)")));

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
