#pragma once

#include "net/MailRedir.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class AliasTable;
class HintEdit;
class RequestServer;

namespace Ui {
class EmailPage;
}

// The alias edits under the e-mail page's list and their buttons: a row
// selected in the list is shown in the edits, and what the user types there
// is added as a new alias, or replaces or removes the selected one, at the
// service. The list changes once the service agreed. Its texts are the
// page's own, in the page's translation context.
class AliasEditor : public QObject
{
    Q_OBJECT

public:
    AliasEditor(Ui::EmailPage *ui, AliasTable *table, RequestServer *requests,
                QObject *parent = nullptr);

    // Only a full account edits its aliases.
    void setEnabled(bool on);
    // While a request about an alias is out the buttons wait, and the notice
    // says what is being done; an answer releases them.
    void holdControls(const QString &busyText);
    void releaseControls();
    // The list was rebuilt with nothing selected: no button applies.
    void listReplaced();

signals:
    // The service agreed to a change and the list shows it.
    void aliasesChanged();

private slots:
    void addAliasDone(MailRedir redir, QByteArray response, bool ok);
    void deleteAliasDone(MailRedir redir, QByteArray response, bool ok);
    void changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response, bool ok);

private:
    void addAlias();
    void removeAlias();
    void changeAlias();
    void showSelectedAlias();
    void aliasEdited();
    void forwardReturnPressed();
    MailRedir editedAlias() const;
    // False, with the reason shown, when the service would refuse the edits.
    bool editedAliasValid();
    void refuseInput(HintEdit *edit, const QString &text);
    // Releases the controls; the words for a failed answer, or empty.
    QString answerError(const QByteArray &response, bool ok, const QString &refusedText);
    void showSaved();

    Ui::EmailPage *ui;
    AliasTable *table;
    RequestServer *requests;

    Q_DISABLE_COPY_MOVE(AliasEditor)
};
