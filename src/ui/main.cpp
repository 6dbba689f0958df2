#include "platform/memory_return.hpp"
#include "ui/app/sorvin_application.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    sorvin::MemoryReturn::configureAllocator();
    QApplication application(argc, argv);
    sorvin::SorvinApplication sorvin(application);
    return sorvin.run();
}
