#include "export/export_runner.hpp"

#include <memory>

namespace sorvin {

void ExportRunner::start(ExportRequest request, BackgroundExecutor& executor, MainQueue& mainQueue,
                         std::function<void(int)> progress, std::function<void(ExportResult)> finished) {
    auto progressOnMain = std::make_shared<std::function<void(int)>>(std::move(progress));
    request.progress = [&mainQueue, progressOnMain](int done, int) {
        mainQueue.post([progressOnMain, done] {
            if (*progressOnMain) (*progressOnMain)(done);
        });
    };
    executor.run(TaskPriority::userInitiated,
                 [request = std::move(request), &mainQueue, finished = std::move(finished)]() mutable {
                     ExportResult result = Exporter::exportPhotos(request);
                     mainQueue.post([finished = std::move(finished), result = std::move(result)]() mutable {
                         if (finished) finished(std::move(result));
                     });
                 });
}

} // namespace sorvin
