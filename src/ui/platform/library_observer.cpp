#include "ui/platform/library_observer.hpp"

#include "app/app_state.hpp"
#include "ui/platform/signal_adapter.hpp"

namespace sorvin {

LibraryObserver::LibraryObserver(AppState& state, QObject* parent) : QObject(parent), state_(state) {
    auto* stateAdapter = new SignalAdapter(state.changed, this);
    connect(stateAdapter, &SignalAdapter::fired, this, [this] { follow(); });
    follow();
}

void LibraryObserver::follow() {
    PhotoLibrary* library = state_.library();
    if (library == followed_) return;
    followed_ = library;
    delete libraryAdapter_;
    libraryAdapter_ = nullptr;
    if (library) {
        libraryAdapter_ = new SignalAdapter(library->changed, this);
        connect(libraryAdapter_, &SignalAdapter::fired, this, &LibraryObserver::changed);
    }
    Q_EMIT changed();
}

} // namespace sorvin
