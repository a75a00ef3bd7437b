#include "aliases/AliasEditState.h"

namespace {

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

AliasEditState::AliasEditState(const QList<MailRedir> &rows, int selected, const MailRedir &edited)
{
    const bool adding = selected < 0 || selected >= rows.size();
    changed = !adding && !(rows.at(selected) == edited);

    bool aliasListed = false;
    bool pairListed = false;
    for (const MailRedir &row : rows) {
        if (!sameText(row.alias, edited.alias))
            continue;
        aliasListed = true;
        if (sameText(row.forward, edited.forward)) {
            pairListed = true;
            break;
        }
    }

    const bool hasAlias = !edited.alias.isEmpty();
    add = hasAlias && !aliasListed;
    remove = hasAlias && pairListed && !adding && !changed;
    change =
        changed && !pairListed && (!aliasListed || sameText(rows.at(selected).alias, edited.alias));
}
