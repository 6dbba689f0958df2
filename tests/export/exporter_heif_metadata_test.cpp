#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "support/test_support.hpp"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
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
    // As some writers leave it: declared UTF-8, the copyright in Latin-1.
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

    ExportRequest request;
    for (const auto& file : {iptcOnly, both}) {
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
        {"Xmp.dc.rights", {"© José Ruiz"}},
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
}

} // namespace
} // namespace sorvin
