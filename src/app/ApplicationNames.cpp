#include "app/ApplicationNames.h"

#include "app/Deployment.h"

#include <QCoreApplication>

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvex"));
    QCoreApplication::setOrganizationDomain(Deployment::current().organizationDomain);
    QCoreApplication::setApplicationName(QStringLiteral("Quillnet"));
}
