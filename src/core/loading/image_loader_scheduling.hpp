#pragma once

// How the image loader's three source files hand work to a queue; included by them alone.

#include "loading/image_loader.hpp"

#include <exception>

namespace sorvin {

// Runs the work on the queue; its report hops to the main queue and reaches `apply` there while
// the loader lives. Whether the report is still wanted is for `apply` to decide.
template <typename Work, typename Apply>
ImageLoader::Scheduled<Work> ImageLoader::enqueue(OperationQueue& queue, Work work, Apply apply) {
    auto shared = std::make_shared<const Work>(std::move(work));
    std::weak_ptr<ImageLoader*> weakSelf = self_;
    MainQueue* mainQueue = &mainQueue_;
    auto operation =
        Operation::make([shared, weakSelf, mainQueue, apply](const Operation::Probe& isCancelled) {
            decltype(shared->run(isCancelled)) report;
            try {
                report = shared->run(isCancelled);
            } catch (const std::exception&) {
                // Out of memory, or a library that threw: reported as nothing made, so the loader
                // forgets the work and a later request may try again.
                if (!isCancelled()) report.emplace();
            }
            if (!report || weakSelf.expired()) return;
            mainQueue->post([shared, weakSelf, apply, report = std::move(*report)]() mutable {
                if (const auto self = weakSelf.lock()) ((**self).*apply)(*shared, std::move(report));
            });
        });
    queue.addOperation(operation);
    return {std::move(shared), std::move(operation)};
}

} // namespace sorvin
