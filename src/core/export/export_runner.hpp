#pragma once

#include "export/export_result.hpp"
#include "export/exporter.hpp"
#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <functional>

namespace sorvin {

// Runs a batch export off the main thread: the export on the executor at user-initiated priority,
// each progress step and then the result posted to the main queue. The callbacks run on the main
// thread; they should hold what they update weakly (the sheet may be gone by then). The main
// queue must outlive the export.
struct ExportRunner {
    static void start(ExportRequest request, BackgroundExecutor& executor, MainQueue& mainQueue,
                      std::function<void(int done)> progress, std::function<void(ExportResult)> finished);
};

} // namespace sorvin
