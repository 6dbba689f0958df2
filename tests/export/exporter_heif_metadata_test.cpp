#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "library/folder_scanner.hpp"
#include "platform/exif_writer.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/heif_file.hpp"
#include "platform/srgb_profile.hpp"
#include "support/test_images.hpp"
#include "support/test_support.hpp"

#include <exiv2/exiv2.hpp>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <vector>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

using Texts = std::vector<std::string>;

// A copy of a sample without IPTC or XMP, given the datasets and XMP properties of the test.
fs::path photoWith(const fs::path& folder, const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& iptc,
                   const std::map<std::string, Texts>& xmp) {
    const fs::path file = folder / name;
    fs::copy_file(test::sample("jpeg/iphone5_orient3.jpg"), file);
    auto image = Exiv2::ImageFactory::open(file.string());
    image->readMetadata();
    for (const auto& [key, text] : iptc) {
        Exiv2::StringValue value(text);
        image->iptcData().add(Exiv2::IptcKey(key), &value);
    }
    for (const auto& [key, texts] : xmp) {
        if (texts.size() == 1) {
            image->xmpData()[key] = texts.front();
            continue;
        }
        Exiv2::XmpArrayValue value(Exiv2::xmpBag);
        for (const auto& text : texts)
            value.read(text);
        image->xmpData().add(Exiv2::XmpKey(key), &value);
    }
    image->writeMetadata();
    return file;
}

// The XMP of a written HEIF file, as exiv2 reads it.
Exiv2::XmpData xmpOf(const fs::path& file) {
    auto image = Exiv2::ImageFactory::open(file.string());
    image->readMetadata();
    return image->xmpData();
}

// Every text of a property: the default language's of a language alternative, each item of an
// array; none when the XMP lacks the property.
Texts textsOf(const Exiv2::XmpData& xmp, const std::string& key) {
    const auto found = xmp.findKey(Exiv2::XmpKey(key));
    if (found == xmp.end()) return {};
    if (const auto* langAlt = dynamic_cast<const Exiv2::LangAltValue*>(&found->value()))
        return {langAlt->toString("x-default")};
    if (!dynamic_cast<const Exiv2::XmpArrayValue*>(&found->value())) return {found->toString()};
    Texts texts;
    for (long i = 0; i < found->count(); ++i)
        texts.push_back(found->toString(i));
    return texts;
}

// A HEIF output has no place for IPTC: each IPTC value with an XMP equivalent is carried in the
// XMP, every value of a repeated dataset kept, unless the XMP says it already.
TEST(ExporterHeifMetadataTest, IptcValuesTheXmpLacksAreCarriedInTheHeifsXmp) {
    if (!Exporter::supportsOutput(ExportImageFormat::heif)) GTEST_SKIP() << "no HEVC encoder on this system";
    test::TemporaryFolder root;
    fs::create_directories(root / "photos");
    // As some writers leave it: declared UTF-8, the copyright in Latin-1. A value its record's
    // declaration does not allow is left out, not guessed.
    const fs::path iptcOnly = photoWith(root / "photos", "iptc_only.jpg",
                                        {{"Iptc.Envelope.CharacterSet", "\x1b%G"},
                                         {"Iptc.Application2.Copyright", "\xa9 Jos\xe9 Ruiz"},
                                         {"Iptc.Application2.Byline", "José Ruiz"},
                                         {"Iptc.Application2.Byline", "Aiko Sato"},
                                         {"Iptc.Application2.BylineTitle", "Staff photographer"},
                                         {"Iptc.Application2.Caption", "lang=\"de\" is not a language here"},
                                         {"Iptc.Application2.Headline", "Autumn in Kyoto"},
                                         {"Iptc.Application2.ObjectName", "kyoto-041"},
                                         {"Iptc.Application2.Keywords", "autumn"},
                                         {"Iptc.Application2.Keywords", "京都"},
                                         {"Iptc.Application2.Keywords", "temple"},
                                         {"Iptc.Application2.SubLocation", "Higashiyama"},
                                         {"Iptc.Application2.City", "Kyoto"},
                                         {"Iptc.Application2.ProvinceState", "Kyoto Prefecture"},
                                         {"Iptc.Application2.CountryName", "Japan"},
                                         {"Iptc.Application2.CountryCode", "JPN"},
                                         {"Iptc.Application2.Credit", "Ruiz Photo"},
                                         {"Iptc.Application2.Source", "Agency"},
                                         {"Iptc.Application2.SpecialInstructions", "No cropping"},
                                         {"Iptc.Application2.DateCreated", "20201031"},
                                         {"Iptc.Application2.TimeCreated", "091500+0900"}},
                                        {{"Xmp.xmp.Rating", {"4"}}});
    // Both say the copyright, the keywords and the city; the XMP's city is empty.
    const fs::path both = photoWith(root / "photos", "both.jpg",
                                    {{"Iptc.Application2.Copyright", "IIM rights"},
                                     {"Iptc.Application2.Keywords", "iim-a"},
                                     {"Iptc.Application2.Keywords", "iim-b"},
                                     {"Iptc.Application2.City", "Osaka"},
                                     {"Iptc.Application2.Credit", "IIM credit"}},
                                    {{"Xmp.dc.rights", {"XMP rights"}},
                                     {"Xmp.dc.subject", {"xmp-a", "xmp-b"}},
                                     {"Xmp.photoshop.City", {""}}});
    // Shift_JIS without a declaration, long (ICU's detector is sure of it) or short (a caption, a
    // by-line and a city of 16 characters in all, of which ICU is not).
    const std::string longCaption =
        "\x89\xcd\x8c\xfb\x8c\xce\x82\xa9\x82\xe7\x8c\xa9\x82\xbd\x95\x78\x8e\x6d\x8e"
        "\x52\x82\xcc\x97\x5b\x8c\x69\x81\x41\x93\x7e\x82\xcc\x90\xb0\x82\xea\x82\xbd\x93\xfa";
    const std::string fuji = "\x95\x78\x8e\x6d\x8e\x52";
    const std::string fujiAtDusk = fuji + "\x82\xcc\x97\x5b\x8c\x69";
    const fs::path shiftJis =
        photoWith(root / "photos", "shift_jis.jpg",
                  {{"Iptc.Application2.Caption", longCaption}, {"Iptc.Application2.Keywords", fuji}}, {});
    const std::string yamadaTaro = "\x8e\x52\x93\x63\x91\xbe\x98\x59";
    const std::string fujikawaguchiko = "\x95\x78\x8e\x6d\x89\xcd\x8c\xfb\x8c\xce\x92\xac";
    const fs::path shortShiftJis = photoWith(root / "photos", "short_shift_jis.jpg",
                                             {{"Iptc.Application2.Caption", fujiAtDusk},
                                              {"Iptc.Application2.Byline", yamadaTaro},
                                              {"Iptc.Application2.City", fujikawaguchiko}},
                                             {});

    ExportRequest request;
    for (const auto& file : {iptcOnly, both, shiftJis, shortShiftJis}) {
        Photo photo;
        photo.url = file;
        photo.relativePath = file.filename().string();
        photo.fileFormat = PhotoFileFormat::jpeg;
        photo.pixelWidth = 3264;
        photo.pixelHeight = 2448;
        photo.orientation = 3;
        request.photos.push_back(photo);
    }
    request.destination = root / "out";
    request.applicationSupportRoot = root / "support";
    request.maximumLongEdge = 64;
    request.formatOptions = ExportFormatOptions{ExportFormatMode::specify, false, true, false};
    fs::create_directories(request.destination);
    const ExportResult result = Exporter::exportPhotos(request);
    ASSERT_TRUE(result.failures.empty()) << result.failures[0].reason;

    const Exiv2::XmpData carried = xmpOf(root / "out" / "iptc_only.heic");
    const std::map<std::string, Texts> expected{
        {"Xmp.dc.rights", {}},
        {"Xmp.dc.creator", {"José Ruiz", "Aiko Sato"}},
        {"Xmp.photoshop.AuthorsPosition", {"Staff photographer"}},
        {"Xmp.dc.description", {"lang=\"de\" is not a language here"}},
        {"Xmp.photoshop.Headline", {"Autumn in Kyoto"}},
        {"Xmp.dc.title", {"kyoto-041"}},
        {"Xmp.dc.subject", {"autumn", "京都", "temple"}},
        {"Xmp.iptc.Location", {"Higashiyama"}},
        {"Xmp.photoshop.City", {"Kyoto"}},
        {"Xmp.photoshop.State", {"Kyoto Prefecture"}},
        {"Xmp.photoshop.Country", {"Japan"}},
        {"Xmp.iptc.CountryCode", {"JPN"}},
        {"Xmp.photoshop.Credit", {"Ruiz Photo"}},
        {"Xmp.photoshop.Source", {"Agency"}},
        {"Xmp.photoshop.Instructions", {"No cropping"}},
        {"Xmp.photoshop.DateCreated", {"2020-10-31T09:15:00+09:00"}},
        {"Xmp.xmp.Rating", {"4"}},
    };
    for (const auto& [key, texts] : expected)
        EXPECT_EQ(textsOf(carried, key), texts) << key;

    const Exiv2::XmpData kept = xmpOf(root / "out" / "both.heic");
    EXPECT_EQ(textsOf(kept, "Xmp.dc.rights"), Texts{"XMP rights"});
    EXPECT_EQ(textsOf(kept, "Xmp.dc.subject"), (Texts{"xmp-a", "xmp-b"}));
    EXPECT_EQ(textsOf(kept, "Xmp.photoshop.City"), Texts{"Osaka"});
    EXPECT_EQ(textsOf(kept, "Xmp.photoshop.Credit"), Texts{"IIM credit"});

    const Exiv2::XmpData japanese = xmpOf(root / "out" / "shift_jis.heic");
    EXPECT_EQ(textsOf(japanese, "Xmp.dc.description"), Texts{"河口湖から見た富士山の夕景、冬の晴れた日"});
    EXPECT_EQ(textsOf(japanese, "Xmp.dc.subject"), Texts{"富士山"});
    const Exiv2::XmpData shortJapanese = xmpOf(root / "out" / "short_shift_jis.heic");
    EXPECT_EQ(textsOf(shortJapanese, "Xmp.dc.description"), Texts{"富士山の夕景"});
    EXPECT_EQ(textsOf(shortJapanese, "Xmp.dc.creator"), Texts{"山田太郎"});
    EXPECT_EQ(textsOf(shortJapanese, "Xmp.photoshop.City"), Texts{"富士河口湖町"});
}

// The values that tell when, where and with what a photo was taken, as a file's EXIF holds them.
std::map<std::string, std::string> takenValues(const Exiv2::ExifData& exif) {
    std::map<std::string, std::string> values;
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude",
                            "Exif.Image.Make", "Exif.Image.Model"}) {
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found != exif.end()) values[key] = found->toString();
    }
    return values;
}

// A HEIF's EXIF as libheif finds its item.
Exiv2::ExifData heifExifOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto heif = HeifFile::open(bytes);
    Exiv2::ExifData exif;
    if (!heif) return exif;
    if (const auto block = heif->exifTiffBlock())
        Exiv2::ExifParser::decode(exif, block->data(), static_cast<std::uint32_t>(block->size()));
    return exif;
}

// exiv2 0.27 finds no EXIF in a HEIF whose item locations carry base offsets, as libheif writes
// them beside a grid picture (an odd size, in heif-enc and in this program's own exports): the
// export of such a HEIF, as JPEG and as HEIF, still carries its date, place and camera.
TEST(ExporterHeifMetadataTest, ExifThatExiv2MissesInAHeifIsCarriedOver) {
    if (!Exporter::supportsOutput(ExportImageFormat::heif)) GTEST_SKIP() << "no HEVC encoder on this system";
    test::TemporaryFolder root;
    fs::create_directories(root / "photos");
    const fs::path heif = root / "photos" / "odd.heic";
    const std::string exif =
        ExifWriter::forRenderedImage(test::sample("jpeg/nikon_d70s_gps_lens.jpg"), 65, 49, "Camera").exif;
    const auto bytes = HeifEncoder::encode(test::quadrants(65, 49), 90, exif, SrgbProfile::iccBytes());
    ASSERT_TRUE(bytes);
    std::ofstream(heif, std::ios::binary) << *bytes;
    const auto taken = takenValues(heifExifOf(heif));
    ASSERT_EQ(taken.size(), 5u);
    auto image = Exiv2::ImageFactory::open(heif.string());
    image->readMetadata();
    ASSERT_TRUE(takenValues(image->exifData()).empty()) << "exiv2 reads this HEIF: the case is not reached";

    ExportRequest request;
    request.photos = {*FolderScanner::metadata(heif, "odd.heic")};
    request.rotations["odd.heic"] = 90; // rendered anew, not copied
    request.destination = root / "out";
    request.applicationSupportRoot = root / "support";
    request.formatOptions = ExportFormatOptions{ExportFormatMode::specify, true, true, false};
    fs::create_directories(request.destination);
    const ExportResult result = Exporter::exportPhotos(request);
    ASSERT_TRUE(result.failures.empty()) << result.failures[0].reason;
    ASSERT_EQ(result.outputFileCount, 2);

    auto jpeg = Exiv2::ImageFactory::open((root / "out" / "odd.jpg").string());
    jpeg->readMetadata();
    EXPECT_EQ(takenValues(jpeg->exifData()), taken);
    EXPECT_EQ(takenValues(heifExifOf(root / "out" / "odd.heic")), taken);
}

} // namespace
} // namespace sorvin
