#pragma once

#include <QObject>

namespace sorvin {

class AppState;
class SignalAdapter;

// Follows the photo library of the open folder, which the application state replaces with every
// folder: `changed` fires when the library changes and when another library (or none) takes its
// place.
class LibraryObserver : public QObject {
    Q_OBJECT
public:
    LibraryObserver(AppState& state, QObject* parent);

Q_SIGNALS:
    void changed();

private:
    void follow();

    AppState& state_;
    SignalAdapter* libraryAdapter_ = nullptr;
    const void* followed_ = nullptr;
};

} // namespace sorvin
