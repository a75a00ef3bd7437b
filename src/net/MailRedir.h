#pragma once

#include <QMetaType>
#include <QString>

// One mail alias of the user and the address its mail is forwarded to.
class MailRedir
{
public:
    MailRedir() = default;
    MailRedir(const QString &alias, const QString &forward) : alias(alias), forward(forward) {}

    QString alias;   // local part only, without "@" and the alias domain
    QString forward; // may be empty: the alias then only serves for sending

    // Wire form "alias,forward"; the comma is written even without a forward.
    QString toString() const;
    // The first comma-separated part is the alias, the second the forward;
    // further parts are ignored.
    static MailRedir fromString(const QString &text);

    bool isEmpty() const { return alias.isEmpty() && forward.isEmpty(); }
    bool operator==(const MailRedir &other) const
    {
        return alias == other.alias && forward == other.forward;
    }

    // The four orderings of the alias list: by alias, then forward, or by
    // forward, then alias; ascending or descending.
    static bool aliasLessThan(const MailRedir &a, const MailRedir &b);
    static bool aliasGreaterThan(const MailRedir &a, const MailRedir &b);
    static bool forwardLessThan(const MailRedir &a, const MailRedir &b);
    static bool forwardGreaterThan(const MailRedir &a, const MailRedir &b);
};
Q_DECLARE_METATYPE(MailRedir)
