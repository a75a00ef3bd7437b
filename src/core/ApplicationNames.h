#pragma once

// Sets the organization and application names and the version. The names
// decide where QSettings keeps the user's choices, so this runs before
// anything reads a setting.
void setApplicationNames();
