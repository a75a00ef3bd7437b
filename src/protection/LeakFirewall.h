#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class NftRuleset;
class QProcess;
class QTimer;

// Puts the leak-blocking table in place, or takes it away, with the nft
// program: the ruleset goes to its standard input, never through a shell or
// a file someone else could name. Runs without blocking the caller's event
// loop (in direct mode that is the client's window), one nft at a time in
// the order asked; each apply() and remove() ends in exactly one
// finished(), never before the call has returned.
class LeakFirewall : public QObject
{
    Q_OBJECT

public:
    static constexpr char DefaultProgram[] = "/usr/sbin/nft";
    // nft says a few lines; more than this is kept out of memory and logs.
    static constexpr qint64 MaxErrorOutput = 16 * 1024;
    // nft answers in milliseconds; one that does not is stopped and the
    // request reported failed (so the caller keeps or tightens the block).
    static constexpr int TimeoutMs = 20000;
    // More waiting requests than this is a caller gone wrong.
    static constexpr int MaxPending = 8;

    explicit LeakFirewall(QObject *parent = nullptr);
    ~LeakFirewall() override;

    // The program run as nft; a test points it at a wrapper that runs nft in
    // a network namespace. Never taken from a caller of the service.
    void setProgram(const QString &path);
    QString program() const;

    // A ruleset whose values are refused fails here, without running nft:
    // whatever table is in place stays.
    void apply(const NftRuleset &ruleset);
    // Deletes our table; success when there was none.
    void remove();
    bool isBusy() const;

signals:
    // `detail` is nft's own error text on failure: a line or two for a log.
    void finished(bool ok, const QString &detail);

private:
    void enqueue(const QByteArray &script, const QString &refusal = QString());
    void startNext();
    void readErrors();
    void conclude(bool ok, const QString &detail);

    struct Request
    {
        QByteArray script;
        QString refusal;
    };

    QString nft = QLatin1String(DefaultProgram);
    QList<Request> pending;
    QProcess *process = nullptr;
    QTimer *timeout;
    QByteArray errors;
};
