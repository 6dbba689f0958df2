#include "platform/memory_return.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/sorvin_application.hpp"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    sorvin::MemoryReturn::configureAllocator();
    QApplication application(argc, argv);
    sorvin::SorvinApplication sorvin(application);
    sorvin.mainWindow().show();
    const int code = application.exec();
    // Every record and setting is written by then; photos still being read from a disk that stopped
    // answering are not worth a process that never ends.
    if (!sorvin.finish(sorvin::SorvinApplication::kStuckWorkWait)) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
