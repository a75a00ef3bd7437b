#include "core/ApplicationNames.h"

#include "core/ApplicationVersion.h"
#include "core/Deployment.h"

#include <QCoreApplication>

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvex"));
    QCoreApplication::setOrganizationDomain(Deployment::current().organizationDomain);
    QCoreApplication::setApplicationName(QStringLiteral("Quillnet"));
    QCoreApplication::setApplicationVersion(QLatin1String(ApplicationVersion));
}
