#pragma once

#include <string>

namespace sorvin::AppIdentity {

// The application identifier, the prefix of our queue labels.
inline constexpr const char* identifier = "app.sorvin.Sorvin";

// Labels of the image loader's three operation queues; each built once.
namespace QueueName {
const std::string& imageLoader();
const std::string& fullResolutionLoader();
const std::string& parameters();
} // namespace QueueName

// The version the build gives, unchanged (an empty one stays empty), or "0.0.0-dev" when the build
// gives none.
std::string version();

// The rule behind version(), for a build version that may be missing.
std::string versionFrom(const char* buildVersion);

} // namespace sorvin::AppIdentity
