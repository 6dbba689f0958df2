#pragma once

#include "export/export_manifest_store.hpp"
#include "export/exporter.hpp"
#include "support/test_images.hpp"
#include "support/test_support.hpp"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace sorvin::test {

inline std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void setModificationTime(const std::filesystem::path& file, std::int64_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

// A photo folder with real JPEG files, a destination, a support folder, and an export request
// whose renderer draws a small picture instead of developing the file.
class ExporterTest : public ::testing::Test {
protected:
    std::filesystem::path source() const { return root / "photos"; }
    std::filesystem::path destination() const { return root / "out"; }

    void SetUp() override {
        std::filesystem::create_directories(source());
        std::filesystem::create_directories(destination());
        request.destination = destination();
        request.applicationSupportRoot = root / "support";
        request.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};
        request.cancellation = std::make_shared<ExportCancellationToken>();
        request.render = [this](const Photo& photo, double, const ManualCrop&, const PhotoParameters&,
                                PhotoSource, std::optional<int>) {
            ++renders;
            if (onRender) onRender();
            return ExportRendering{RenderedEditedImage{quadrants(64, 48), photo.url}, {}};
        };
    }

    Photo addJpeg(const std::string& name,
                  const std::string& sample = "jpeg/iceland_srgb_untagged_nikon_d800e.jpg") {
        const std::filesystem::path file = source() / name;
        std::filesystem::copy_file(test::sample(sample), file);
        Photo photo;
        photo.url = file;
        photo.relativePath = name;
        photo.pixelWidth = 600;
        photo.pixelHeight = 400;
        photo.fileFormat = PhotoFileFormat::jpeg;
        request.photos.push_back(photo);
        return photo;
    }

    Photo addPair(const std::string& base) {
        Photo photo = addJpeg(base + ".JPG");
        const std::filesystem::path raw = source() / (base + ".DNG");
        std::filesystem::copy_file(test::sample("raw/canon_eos_6d_linear_lossy.dng"), raw);
        request.photos.back().rawCompanionURL = raw;
        request.photos.back().rawCompanionRelativePath = base + ".DNG";
        return request.photos.back();
    }

    // A hearted copy B of the photo, turned by the rotation.
    void addCopyB(const Photo& photo, double rotation) {
        RetouchState copyB;
        copyB.heart = true;
        copyB.rotation = rotation;
        request.retouchesB[photo.relativePath] = copyB;
    }

    ExportResult run() { return Exporter::exportPhotos(request); }

    ExportManifest manifest() const {
        return ExportManifestStore::load(destination(), request.applicationSupportRoot);
    }

    TemporaryFolder root;
    ExportRequest request;
    int renders = 0;
    std::function<void()> onRender;
};

} // namespace sorvin::test
