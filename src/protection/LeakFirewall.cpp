#include "protection/LeakFirewall.h"

#include "protection/NftRuleset.h"

#include <QMetaObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>

namespace {

// "/dev/stdin:12:5-10: Error: syntax error, ..." becomes "line 12: syntax
// error, ..."; the echoed rule and the caret lines below it are left out.
QString errorSummary(const QByteArray &output)
{
    const QLatin1String marker("Error: ");
    QStringList found;
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype at = line.indexOf(marker);
        if (at < 0)
            continue;
        const QStringList where = line.left(at).split(QLatin1Char(':'));
        bool numbered = false;
        const int number = where.value(1).toInt(&numbered);
        found << (numbered ? QStringLiteral("line %1: ").arg(number) : QString()) +
                     line.mid(at + marker.size()).simplified();
    }
    return found.isEmpty() ? QString::fromUtf8(output).simplified()
                           : found.join(QStringLiteral("; "));
}

} // namespace

LeakFirewall::LeakFirewall(QObject *parent) : QObject(parent), timeout(new QTimer(this))
{
    timeout->setSingleShot(true);
    timeout->setInterval(TimeoutMs);
    connect(timeout, &QTimer::timeout, this, [this] {
        errors = "Error: nft gave no answer in time";
        process->kill();
    });
}

LeakFirewall::~LeakFirewall() = default;

void LeakFirewall::setProgram(const QString &path)
{
    nft = path;
}

QString LeakFirewall::program() const
{
    return nft;
}

bool LeakFirewall::isBusy() const
{
    return process || !pending.isEmpty();
}

void LeakFirewall::apply(const NftRuleset &ruleset)
{
    QString error;
    const auto text = ruleset.text(&error);
    if (text)
        enqueue(text->toUtf8());
    else
        enqueue(QByteArray(), QStringLiteral("ruleset refused: ") + error);
}

void LeakFirewall::remove()
{
    enqueue(NftRuleset::removal().toUtf8());
}

void LeakFirewall::enqueue(const QByteArray &script, const QString &refusal)
{
    if (pending.size() >= MaxPending) {
        QMetaObject::invokeMethod(
            this, [this] { emit finished(false, QStringLiteral("too many firewall requests")); },
            Qt::QueuedConnection);
        return;
    }
    pending << Request{script, refusal};
    // Later, so that finished() never reaches a caller still inside apply().
    if (!process)
        QMetaObject::invokeMethod(this, &LeakFirewall::startNext, Qt::QueuedConnection);
}

void LeakFirewall::startNext()
{
    if (process || pending.isEmpty())
        return;
    const Request request = pending.takeFirst();
    if (!request.refusal.isEmpty()) {
        emit finished(false, request.refusal);
        QMetaObject::invokeMethod(this, &LeakFirewall::startNext, Qt::QueuedConnection);
        return;
    }
    errors.clear();
    process = new QProcess(this);
    // Nothing of the caller's environment reaches a program run as root.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::readyReadStandardError, this, &LeakFirewall::readErrors);
    connect(process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        readErrors();
        const bool ok = status == QProcess::NormalExit && code == 0;
        if (ok)
            conclude(true, QString());
        else if (errors.isEmpty())
            conclude(false, QStringLiteral("nft ended with exit code %1").arg(code));
        else
            conclude(false, errorSummary(errors));
    });
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            conclude(false, QStringLiteral("cannot run %1: %2").arg(nft, process->errorString()));
    });
    timeout->start();
    process->start(nft, {QStringLiteral("-f"), QStringLiteral("-")});
    process->write(request.script);
    process->closeWriteChannel();
}

void LeakFirewall::readErrors()
{
    const QByteArray chunk = process->readAllStandardError();
    errors += chunk.left(qMax<qint64>(0, MaxErrorOutput - errors.size()));
}

void LeakFirewall::conclude(bool ok, const QString &detail)
{
    timeout->stop();
    process->disconnect(this);
    process->deleteLater();
    process = nullptr;
    emit finished(ok, detail);
    QMetaObject::invokeMethod(this, &LeakFirewall::startNext, Qt::QueuedConnection);
}
