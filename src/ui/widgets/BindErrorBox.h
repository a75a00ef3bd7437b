#pragma once

#include <QString>

// A local service of the client (the web filter, the mail proxy) could not
// listen on its port: the user is told in a modal critical message box
// without parent, with a single OK button. The texts come translated.
void showBindError(const QString &title, const QString &text);
