#include "ui/webfilter/WebFilterUi.h"

#include "webfilter/UserAgentTables.h"
#include "webfilter/WebFilter.h"
#include "ui/widgets/BindErrorBox.h"

#include <QComboBox>
#include <QCoreApplication>

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("WebFilter", text);
}

void addLeaveUnchanged(QComboBox *box)
{
    box->clear();
    box->addItem(translated(QT_TRANSLATE_NOOP("WebFilter", "Leave unchanged")));
}

} // namespace

void WebFilterUi::fillOsCombo(QComboBox *box)
{
    addLeaveUnchanged(box);
    for (const OsRow &row : osRows())
        box->addItem(translated(row.displayName), row.choice());
}

void WebFilterUi::fillBrowserCombo(QComboBox *box)
{
    addLeaveUnchanged(box);
    for (const BrowserRow &row : browserRows())
        box->addItem(translated(row.displayName), row.userAgentTemplate);
}

void WebFilterUi::showBindErrors(WebFilter *filter)
{
    QObject::connect(filter, &WebFilter::bindError, showBindError);
}
