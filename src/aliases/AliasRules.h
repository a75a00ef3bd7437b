#pragma once

#include <QString>

// What the e-mail page accepts as an alias and as its forwarding address.
// The texts are shown on the page, so they belong to its translation context.
class AliasRules
{
public:
    // Characters the two edits let through while typing; the whole address
    // is judged by forwardError() when it is sent.
    static QString aliasInputPattern();
    static QString forwardInputPattern();

    // Why `alias` forwarding to `mail` cannot be registered at
    // `aliasDomain`, or empty when it can. An empty `mail` is valid: the
    // alias then only serves for sending. Mail forwarded back into the
    // alias domain would loop, so that domain is refused in any letter case.
    static QString forwardError(const QString &alias, const QString &mail,
                                const QString &aliasDomain);
};
