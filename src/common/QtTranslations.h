#pragma once

// Qt's own texts (the buttons of message boxes and file dialogs, the
// overwrite question) in Russian, as the rest of the program speaks.

class QCoreApplication;

// Loads Qt's Russian catalogue from Qt's translations folder into the
// application; false when it is not installed there (Qt's texts stay
// English). Call once, after the application object is made.
bool InstallQtTranslations(QCoreApplication &app);
