#pragma once

class QCoreApplication;
class QTranslator;

namespace sorvin {

// Qt's own texts (file choosers, the standard buttons of message boxes) in Japanese, as the rest of
// the program speaks, whatever language the system is set to.
struct QtTranslations {
    // The translator now installed in the application; none when Qt's translations are missing.
    static QTranslator* install(QCoreApplication& application);
};

} // namespace sorvin
