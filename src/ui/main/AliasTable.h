#pragma once

#include "net/MailRedir.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QTreeWidget;

// The e-mail page's alias list: one row an alias, in the order of the
// header the user clicked, and a placeholder row last that invites a new
// alias. Rows are addressed by their index among the alias rows; the
// placeholder never counts as one.
class AliasTable : public QObject
{
    Q_OBJECT

public:
    explicit AliasTable(QTreeWidget *tree, QObject *parent = nullptr);

    // "@" and the alias domain, as it follows an alias wherever one is shown.
    static QString atDomain();

    // The records of the alias rows, the placeholder left out.
    QList<MailRedir> records() const;
    // The aliases offered for sending: the alias column without empty
    // aliases, in list order.
    QStringList aliases() const;
    // The selected alias row; -1 while nothing or the placeholder is selected.
    int selectedIndex() const;
    MailRedir recordAt(int index) const;

    // Rebuilds the list in the header's order, placeholder last, nothing
    // selected.
    void show(const QList<MailRedir> &records);
    // A new row just before the placeholder.
    void insert(const MailRedir &record);
    // The row of `record` goes and the row that takes its place becomes the
    // current one; a record not listed changes nothing.
    void remove(const MailRedir &record);
    void replace(const MailRedir &oldRecord, const MailRedir &newRecord);

private:
    void sortByHeader();

    QTreeWidget *tree;

    Q_DISABLE_COPY_MOVE(AliasTable)
};
