#include "core/ApplicationNames.h"

#include "core/Deployment.h"

#include <QCoreApplication>

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvex"));
    QCoreApplication::setOrganizationDomain(Deployment::current().organizationDomain);
    QCoreApplication::setApplicationName(QStringLiteral("Quillnet"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLNET_VERSION));
}
