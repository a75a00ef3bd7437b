#include "ui/main/AliasTable.h"

#include "aliases/AliasRecords.h"
#include "core/Deployment.h"
#include "ui/main/EmailPage.h"

#include <QHeaderView>
#include <QTreeWidget>

AliasTable::AliasTable(QTreeWidget *tree, QObject *parent) : QObject(parent), tree(tree)
{
    tree->setHeaderLabels(
        {EmailPage::tr("Alias (%1)").arg(atDomain()), EmailPage::tr("Forward to")});
    tree->setColumnWidth(0, 230);
    // The table sorts the rows itself, so that the placeholder stays last.
    tree->setSortingEnabled(false);
    tree->header()->setSectionsClickable(true);
    tree->header()->setSortIndicatorShown(true);
    tree->header()->setSortIndicator(AliasRecords::AliasColumn, Qt::AscendingOrder);
    connect(tree->header(), &QHeaderView::sectionClicked, this, &AliasTable::sortByHeader);
    show({});
}

QString AliasTable::atDomain()
{
    return QLatin1Char('@') + Deployment::current().aliasDomain;
}

QList<MailRedir> AliasTable::records() const
{
    QList<MailRedir> records;
    const int rows = tree->topLevelItemCount() - 1; // without the placeholder
    for (int i = 0; i < rows; ++i)
        records.append(recordAt(i));
    return records;
}

QStringList AliasTable::aliases() const
{
    QStringList aliases;
    for (const MailRedir &record : records())
        if (!record.alias.isEmpty())
            aliases.append(record.alias);
    return aliases;
}

int AliasTable::selectedIndex() const
{
    const QList<QTreeWidgetItem *> selected = tree->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int index = tree->indexOfTopLevelItem(selected.first());
    return index == tree->topLevelItemCount() - 1 ? -1 : index;
}

MailRedir AliasTable::recordAt(int index) const
{
    const QTreeWidgetItem *item = tree->topLevelItem(index);
    return MailRedir(item->text(0), item->text(1));
}

void AliasTable::show(const QList<MailRedir> &records)
{
    const QHeaderView *header = tree->header();
    tree->clear();
    for (const MailRedir &record : AliasRecords::sorted(records, header->sortIndicatorSection(),
                                                        header->sortIndicatorOrder()))
        new QTreeWidgetItem(tree, {record.alias, record.forward});
    new QTreeWidgetItem(tree, {EmailPage::tr("Click here to add a new alias..."), QString()});
    tree->setCurrentItem(nullptr);
}

void AliasTable::insert(const MailRedir &record)
{
    tree->insertTopLevelItem(tree->topLevelItemCount() - 1,
                             new QTreeWidgetItem({record.alias, record.forward}));
}

void AliasTable::remove(const MailRedir &record)
{
    const int row = AliasRecords::indexOf(records(), record);
    if (row < 0)
        return;
    delete tree->takeTopLevelItem(row);
    tree->setCurrentItem(tree->topLevelItem(row));
}

void AliasTable::replace(const MailRedir &oldRecord, const MailRedir &newRecord)
{
    const int row = AliasRecords::indexOf(records(), oldRecord);
    if (row < 0)
        return;
    QTreeWidgetItem *item = tree->topLevelItem(row);
    item->setText(0, newRecord.alias);
    item->setText(1, newRecord.forward);
}

void AliasTable::sortByHeader()
{
    show(records());
}
