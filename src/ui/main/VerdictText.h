#pragma once

#include "net/ResponseCheck.h"

#include <QString>

// The words the pages show for a judged answer of the service: empty for
// success, `refusedText` for a refusal (its meaning depends on the
// operation), and the same texts for every operation's other failures.
QString verdictText(ResponseCheck::Verdict verdict, const QString &refusedText = QString());
