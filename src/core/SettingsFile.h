#pragma once

#include <QString>

// The settings file holds the remembered password, so only its owner may
// read it: the folder is made 0700 and the file 0600 before the first
// setting is written (QSettings keeps an existing file's mode when it saves)
// and an older, looser file is tightened. Returns false with a one-line
// reason when that could not be done; the settings still work then.
bool restrictSettingsFile(QString *error);
