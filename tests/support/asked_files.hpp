#pragma once

#include "platform/file_manager.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin::test {

// The real file system, told of each question a store asks of it before it is answered, on the
// thread that asks: a test counts the questions there, slows them down or holds them.
class AskedFiles : public FileManager {
public:
    bool fileExists(const std::filesystem::path& path) const override {
        return asking(path), FileManager::fileExists(path);
    }
    bool isRegularFile(const std::filesystem::path& path) const override {
        return asking(path), FileManager::isRegularFile(path);
    }
    bool entryExists(const std::filesystem::path& path) const override {
        return asking(path), FileManager::entryExists(path);
    }
    std::optional<std::filesystem::file_time_type>
    modificationTime(const std::filesystem::path& path) const override {
        return asking(path), FileManager::modificationTime(path);
    }
    std::optional<FileVersion> version(const std::filesystem::path& path) const override {
        return asking(path), FileManager::version(path);
    }
    std::string contents(const std::filesystem::path& path, std::size_t maxBytes,
                         FileVersion* version) const override {
        return asking(path), FileManager::contents(path, maxBytes, version);
    }
    bool listed(const std::filesystem::path& path) const override {
        return asking(path), FileManager::listed(path);
    }
    AtomicFile::Replacement replace(const std::filesystem::path& path, std::string_view bytes,
                                    const AtomicFile::Expected& expected) override {
        return asking(path), FileManager::replace(path, bytes, expected);
    }
    void removeItem(const std::filesystem::path& path) override {
        asking(path);
        FileManager::removeItem(path);
    }
    void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override {
        asking(from);
        FileManager::moveItem(from, to);
    }
    void createDirectories(const std::filesystem::path& folder) override {
        asking(folder);
        FileManager::createDirectories(folder);
    }

protected:
    // Before each question; may throw what the question would.
    virtual void asking(const std::filesystem::path& path) const = 0;
};

} // namespace sorvin::test
