#pragma once

#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

namespace sorvin::test {

// A folder bound onto another folder for the life of the object; mounting needs root.
class BindMount {
public:
    BindMount(const std::filesystem::path& folder, const std::filesystem::path& onto) : onto_(onto) {
        std::filesystem::create_directories(onto);
        mounted_ = ::geteuid() == 0 && ::mount(folder.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (mounted_ && ::umount2(onto_.c_str(), 0) != 0) ::umount2(onto_.c_str(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::filesystem::path onto_;
    bool mounted_ = false;
};

} // namespace sorvin::test
