#pragma once

// A folder of photos for the scan benchmarks, built once per run and removed at exit: copies of the
// dated samples under 710 KB (JPEG, HEIF and DNG) with their capture date rewritten in place, shot
// in bursts as continuous shooting gives them (one to four photos within a second, each burst a few
// seconds to two minutes after the one before) and named in shooting order. The photos of a burst
// are hard links of one copy. A folder larger than `maxCopies` copies takes them again in turn
// (their dates then recur), so that a large folder costs no more disk than a small one.
#include "model/photo_file_format.hpp"
#include "platform/image_properties.hpp"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace sorvin::bench {

class DatedPhotoFolder {
public:
    DatedPhotoFolder(const std::filesystem::path& samples, std::size_t count, std::size_t maxCopies = 2000) {
        namespace fs = std::filesystem;
        std::random_device seed;
        root_ = fs::temp_directory_path() / ("sorvin-bench-" + std::to_string(seed()));
        photos_ = root_ / "photos";
        fs::create_directories(photos_);
        fs::create_directories(root_ / "copies");
        const std::vector<Sample> dated = datedSamples(samples);
        if (dated.empty()) return;
        std::mt19937 random(20240501);
        std::time_t shot = 1714550400; // 2024-05-01 08:00:00 UTC
        std::vector<fs::path> copies;
        for (std::size_t burst = 0; files_.size() < count; ++burst) {
            if (copies.size() < maxCopies) {
                copies.push_back(copyWithDate(dated[burst % dated.size()], shot, copies.size()));
                shot += 3 + static_cast<std::time_t>(random() % 118);
            }
            const fs::path& copy = copies[burst % copies.size()];
            for (unsigned i = 0, photos = 1 + random() % 4; i < photos && files_.size() < count; ++i) {
                char name[32];
                std::snprintf(name, sizeof name, "IMG_%05zu", files_.size() + 1);
                const fs::path target = photos_ / (name + copy.extension().string());
                std::error_code error;
                fs::create_hard_link(copy, target, error);
                if (error) fs::copy_file(copy, target);
                files_.push_back(target.string());
            }
        }
    }
    ~DatedPhotoFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    DatedPhotoFolder(const DatedPhotoFolder&) = delete;
    DatedPhotoFolder& operator=(const DatedPhotoFolder&) = delete;

    const std::filesystem::path& photos() const { return photos_; }
    std::filesystem::path caches() const { return root_ / "caches"; }
    const std::vector<std::string>& files() const { return files_; }

private:
    struct Sample {
        std::string bytes, date, extension;
    };

    static std::vector<Sample> datedSamples(const std::filesystem::path& samples) {
        std::vector<Sample> dated;
        for (const char* kind : {"jpeg", "heif", "raw"}) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(samples / kind)) {
                const auto format = photoFileFormatFrom(entry.path());
                if (!entry.is_regular_file() || !format || entry.file_size() > (710u << 10)) continue;
                const auto container = *format == PhotoFileFormat::jpeg   ? ImageContainer::jpeg
                                       : *format == PhotoFileFormat::heif ? ImageContainer::heif
                                                                          : ImageContainer::raw;
                const auto properties = ImagePropertiesReader::read(entry.path(), container);
                if (!properties || !properties->dateTimeOriginal) continue;
                std::ifstream in(entry.path(), std::ios::binary);
                dated.push_back({std::string(std::istreambuf_iterator<char>(in), {}),
                                 *properties->dateTimeOriginal, entry.path().extension().string()});
            }
        }
        return dated;
    }

    // The sample with every copy of its date text replaced by the shot's (same length).
    std::filesystem::path copyWithDate(const Sample& sample, std::time_t shot, std::size_t index) const {
        std::tm parts{};
        gmtime_r(&shot, &parts);
        char date[20];
        std::strftime(date, sizeof date, "%Y:%m:%d %H:%M:%S", &parts);
        std::string bytes = sample.bytes;
        for (std::size_t at = bytes.find(sample.date); at != std::string::npos;
             at = bytes.find(sample.date, at + sample.date.size()))
            bytes.replace(at, sample.date.size(), date);
        const auto path = root_ / "copies" / (std::to_string(index) + sample.extension);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path root_, photos_;
    std::vector<std::string> files_;
};

} // namespace sorvin::bench
