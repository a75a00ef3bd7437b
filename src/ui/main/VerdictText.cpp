#include "ui/main/VerdictText.h"

#include <QCoreApplication>

QString verdictText(ResponseCheck::Verdict verdict, const QString &refusedText)
{
    using Verdict = ResponseCheck::Verdict;
    // The texts keep the context they have always had in the catalogue.
    switch (verdict) {
    case Verdict::Ok:
        return QString();
    case Verdict::Refused:
        return refusedText;
    case Verdict::Invalid:
        return QCoreApplication::translate("ResponseCheck", "Invalid server response.");
    case Verdict::TimeOut:
        return QCoreApplication::translate("ResponseCheck", "Server response timeout.");
    case Verdict::CertificateNotLoadable:
    case Verdict::CertificateMismatch:
    case Verdict::Transport:
        break;
    }
    return QCoreApplication::translate("ResponseCheck", "Unknown server error occurred.");
}
