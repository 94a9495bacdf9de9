// Qt's own texts (the buttons of message boxes, the colour and file dialogs)
// in Japanese, as all of the program's own texts are, whatever the locale.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace pressory::app {

// Where Qt's Japanese catalogue is looked for, in this order: the
// `translations` folder beside the program (the Windows zip carries it
// there), then Qt's own translations folder (Debian: qt6-translations-l10n).
QStringList qtTranslationFolders();

// Loads qtbase_ja.qm from the first of those folders that has it and
// installs it in `app`, which owns it. Returns the file loaded, or an empty
// string when there is none: Qt then keeps its English texts.
QString installQtTranslations(QCoreApplication& app);

}  // namespace pressory::app
