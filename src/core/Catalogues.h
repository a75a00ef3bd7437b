#pragma once

class QCoreApplication;

// Installs both catalogues (Qt's own texts and the program's): the Czech
// text is shown wherever the catalogue has one. They live for the rest of
// the process.
void installCatalogues(QCoreApplication &app);
