#pragma once

#include "net/MailRedir.h"

#include <QList>

// Which of the alias buttons apply to what the user typed into the two
// edits, given the aliases listed and the row selected. Aliases and
// forwards are compared without regard to case, as the service does.
class AliasEditState
{
public:
    // `selected` is the index in `rows` of the selected alias, or -1 when
    // nothing or the placeholder row is selected.
    AliasEditState(const QList<MailRedir> &rows, int selected, const MailRedir &edited);

    bool addEnabled() const { return add; }
    bool removeEnabled() const { return remove; }
    bool changeEnabled() const { return change; }
    // The edits no longer show the selected row: Change replaces Add and
    // Remove.
    bool selectionChanged() const { return changed; }

private:
    bool add = false;
    bool remove = false;
    bool change = false;
    bool changed = false;
};
