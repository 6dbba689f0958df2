#include "platform/app_identity.hpp"

namespace sorvin::AppIdentity {

namespace QueueName {

const std::string& imageLoader() {
    static const std::string label = std::string(identifier) + ".image-loader";
    return label;
}

const std::string& fullResolutionLoader() {
    static const std::string label = std::string(identifier) + ".full-resolution-loader";
    return label;
}

const std::string& parameters() {
    static const std::string label = std::string(identifier) + ".parameters";
    return label;
}

} // namespace QueueName

std::string versionFrom(const char* buildVersion) {
    return buildVersion ? buildVersion : "0.0.0-dev";
}

std::string version() {
#ifdef SORVIN_VERSION
    return versionFrom(SORVIN_VERSION);
#else
    return versionFrom(nullptr);
#endif
}

} // namespace sorvin::AppIdentity
