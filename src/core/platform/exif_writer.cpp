#include "platform/exif_writer.hpp"

#include "platform/exif_block.hpp"
#include "platform/exif_tags.hpp"
#include "platform/heif_file.hpp"
#include "platform/iptc_character_set.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvin::ExifWriter {

namespace {

// JPEG's limits: one APP1 segment for the EXIF block and one for the XMP packet, one APP13
// segment for the IPTC datasets (each with its header). HEIF takes what is reasonable.
constexpr std::size_t kJpegExifBytes = 65000;
constexpr std::size_t kJpegXmpBytes = 65000;
constexpr std::size_t kJpegIptcBytes = 65000;
constexpr std::size_t kHeifBytes = std::size_t{16} << 20;

// IFD0 tags about how the source's pixels were stored, the pointers the encoder writes itself,
// and the source's own copies of its XMP, IPTC and colour profile.
constexpr std::array<std::uint16_t, 36> kSourceStructureTags{
    254,   255,   256,   257,   258,   259,   262,   266,   273,   277,   278,   279,
    284,   317,   322,   323,   324,   325,   330,   338,   339,   513,   514,   529,
    530,   531,   532,   700,   33421, 33422, 33723, 34377, 34665, 34675, 34853, 40965};
// The DNG tags describe the raw data (colour matrices, black levels, profiles), not the picture.
constexpr std::uint16_t kFirstDngTag = 50706;
constexpr std::uint16_t kLastDngTag = 52999;

bool mentions(const std::string& name, std::string_view part) { return name.find(part) != std::string::npos; }

bool keeps(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    const std::string tagName = datum.tagName();
    // Thumbnails and previews (IFD1, a maker note's preview) show the source's old pixels; the
    // source's further images (sub-images, IFD2 and after) are not this picture either.
    for (const std::string_view picture : {"Thumb", "Preview"})
        if (mentions(group, picture) || mentions(tagName, picture)) return false;
    if (group.starts_with("SubImage") || (group.starts_with("Image") && group != "Image")) return false;
    const std::uint16_t tag = datum.tag();
    if (group == "Image" && tag >= kFirstDngTag && tag <= kLastDngTag) return false;
    if (group != "Image" && group != "Photo") return true; // GPS, interoperability, maker notes
    return std::find(kSourceStructureTags.begin(), kSourceStructureTags.end(), tag) == kSourceStructureTags.end();
}

struct SourceMetadata {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
};

// The EXIF of a HEIF file as libheif finds it, as the EXIF panel shows it: exiv2 0.27 finds no
// EXIF item that the file places through a base offset, as libheif's own writer does (heif-enc).
// None for a file that is no HEIF or has no EXIF item.
std::optional<Exiv2::ExifData> heifExif(const std::filesystem::path& source) {
    const auto file = RegularFile::open(source, LoadedHeif::kMaxFileBytes);
    std::array<std::uint8_t, 12> head{};
    if (!file || file->size() < head.size() || !file->readAt(0, head.data(), head.size()) ||
        !HeifFile::looksLikeHeif(head))
        return std::nullopt;
    const auto loaded = LoadedHeif::read(*file);
    if (!loaded) return std::nullopt;
    const auto block = loaded->file->exifTiffBlock();
    if (!block) return std::nullopt;
    Exiv2::ExifData exif;
    Exiv2::ExifParser::decode(exif, block->data(), static_cast<std::uint32_t>(block->size()));
    return exif;
}

SourceMetadata sourceMetadata(const std::filesystem::path& source) {
    SourceMetadata metadata;
    try {
        auto image = Exiv2::ImageFactory::open(source.string());
        if (image.get()) {
            image->readMetadata();
            metadata = {image->exifData(), image->xmpData(), image->iptcData()};
        }
    } catch (...) {
    }
    try {
        if (auto exif = heifExif(source); exif && !exif->empty()) metadata.exif = std::move(*exif);
    } catch (...) {
    }
    return metadata;
}

// Drops the largest values until the encoding fits; empty when nothing fits.
template <class Data, class Encode>
std::string fitted(Data& data, std::size_t maximumBytes, Encode encode) {
    std::string bytes = encode(data);
    while (bytes.size() > maximumBytes && !data.empty()) {
        data.erase(std::max_element(data.begin(), data.end(),
                                    [](const auto& a, const auto& b) { return a.size() < b.size(); }));
        bytes = encode(data);
    }
    return bytes.size() <= maximumBytes ? bytes : std::string();
}

std::string exifBytes(const Exiv2::ExifData& data) {
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
    return std::string(blob.begin(), blob.end());
}

std::string xmpBytes(const Exiv2::XmpData& data) {
    if (data.empty()) return {};
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, data, Exiv2::XmpParser::useCompactFormat, 0) != 0) return {};
    return packet;
}

std::string iptcBytes(const Exiv2::IptcData& data) {
    const Exiv2::DataBuf buffer = Exiv2::IptcParser::encode(data);
    return std::string(reinterpret_cast<const char*>(buffer.pData_), static_cast<std::size_t>(buffer.size_));
}

Exiv2::ExifData renderedExif(const Exiv2::ExifData& source, int width, int height, const std::string& software) {
    Exiv2::ExifData data;
    for (const auto& datum : source)
        if (keeps(datum)) data.add(datum);
    // The camera goes where every reader looks, named as the EXIF panel names it, also where the
    // source keeps it elsewhere (an RW2's own IFD, a DNG's UniqueCameraModel).
    const ExifTags camera = ExifTags::fromExifData(source);
    for (const auto& [key, name] : {std::pair{"Exif.Image.Make", camera.cameraMake()},
                                    std::pair{"Exif.Image.Model", camera.cameraModel()}})
        if (name && camera.text(key) != name) data[key] = *name;
    data["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
    data["Exif.Image.Software"] = software;
    data["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(std::max(width, 0));
    data["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(std::max(height, 0));
    data["Exif.Photo.ColorSpace"] = static_cast<std::uint16_t>(1);
    return data;
}

// The values the XMP repeats from the EXIF, where it has them.
void updateXmp(Exiv2::XmpData& data, int width, int height) {
    const auto replace = [&](const char* key, const std::string& value) {
        const auto found = data.findKey(Exiv2::XmpKey(key));
        if (found != data.end()) found->setValue(value);
    };
    replace("Xmp.tiff.Orientation", "1");
    replace("Xmp.tiff.ImageWidth", std::to_string(width));
    replace("Xmp.tiff.ImageLength", std::to_string(height));
    replace("Xmp.exif.PixelXDimension", std::to_string(width));
    replace("Xmp.exif.PixelYDimension", std::to_string(height));
    replace("Xmp.exif.ColorSpace", "1");
    // The pixels are sRGB now, whatever profile the source named.
    if (const auto found = data.findKey(Exiv2::XmpKey("Xmp.photoshop.ICCProfile")); found != data.end())
        data.erase(found);
}

// How an IPTC dataset is said in XMP, after the IPTC Photo Metadata standard.
enum class XmpForm { text, langAlt, bag, seq };
struct IptcInXmp {
    const char* iptc;
    const char* xmp;
    XmpForm form;
};
constexpr std::array<IptcInXmp, 20> kIptcInXmp{{
    {"Iptc.Application2.ObjectName", "Xmp.dc.title", XmpForm::langAlt},
    {"Iptc.Application2.Urgency", "Xmp.photoshop.Urgency", XmpForm::text},
    {"Iptc.Application2.Category", "Xmp.photoshop.Category", XmpForm::text},
    {"Iptc.Application2.SuppCategory", "Xmp.photoshop.SupplementalCategories", XmpForm::bag},
    {"Iptc.Application2.Keywords", "Xmp.dc.subject", XmpForm::bag},
    {"Iptc.Application2.SpecialInstructions", "Xmp.photoshop.Instructions", XmpForm::text},
    {"Iptc.Application2.Byline", "Xmp.dc.creator", XmpForm::seq},
    {"Iptc.Application2.BylineTitle", "Xmp.photoshop.AuthorsPosition", XmpForm::text},
    {"Iptc.Application2.City", "Xmp.photoshop.City", XmpForm::text},
    {"Iptc.Application2.SubLocation", "Xmp.iptc.Location", XmpForm::text},
    {"Iptc.Application2.ProvinceState", "Xmp.photoshop.State", XmpForm::text},
    {"Iptc.Application2.CountryCode", "Xmp.iptc.CountryCode", XmpForm::text},
    {"Iptc.Application2.CountryName", "Xmp.photoshop.Country", XmpForm::text},
    {"Iptc.Application2.TransmissionReference", "Xmp.photoshop.TransmissionReference", XmpForm::text},
    {"Iptc.Application2.Headline", "Xmp.photoshop.Headline", XmpForm::text},
    {"Iptc.Application2.Credit", "Xmp.photoshop.Credit", XmpForm::text},
    {"Iptc.Application2.Source", "Xmp.photoshop.Source", XmpForm::text},
    {"Iptc.Application2.Copyright", "Xmp.dc.rights", XmpForm::langAlt},
    {"Iptc.Application2.Caption", "Xmp.dc.description", XmpForm::langAlt},
    {"Iptc.Application2.Writer", "Xmp.photoshop.CaptionWriter", XmpForm::text},
}};

// The character set of the IPTC record, from its declaration and all its texts.
IptcCharacterSet characterSetOf(const Exiv2::IptcData& iptc) {
    std::string declaration;
    std::vector<std::string> texts;
    for (const auto& datum : iptc) {
        if (datum.typeId() != Exiv2::string || !datum.value().ok()) continue;
        if (datum.record() == Exiv2::IptcDataSets::envelope &&
            datum.tag() == Exiv2::IptcDataSets::CharacterSet)
            declaration = datum.toString();
        else if (datum.record() == Exiv2::IptcDataSets::application2)
            texts.push_back(datum.toString());
    }
    return IptcCharacterSet::of(declaration, texts);
}

// Whether the XMP says something under the key; an empty value says nothing.
bool says(const Exiv2::XmpData& xmp, const std::string& key) {
    const auto found = xmp.findKey(Exiv2::XmpKey(key));
    if (found == xmp.end()) return false;
    if (const auto* langAlt = dynamic_cast<const Exiv2::LangAltValue*>(&found->value()))
        return std::any_of(langAlt->value_.begin(), langAlt->value_.end(),
                           [](const auto& entry) { return !entry.second.empty(); });
    if (!dynamic_cast<const Exiv2::XmpArrayValue*>(&found->value())) return !found->toString().empty();
    for (long i = 0; i < found->count(); ++i)
        if (!found->toString(i).empty()) return true;
    return false;
}

// The texts go in as they are (the values' own readers would take a leading "lang=" or "type="
// for a qualifier).
void put(Exiv2::XmpData& xmp, const std::string& key, XmpForm form, const std::vector<std::string>& texts) {
    const Exiv2::XmpKey xmpKey(key);
    if (const auto found = xmp.findKey(xmpKey); found != xmp.end()) xmp.erase(found);
    switch (form) {
    case XmpForm::text: {
        Exiv2::XmpTextValue value;
        value.value_ = texts.front();
        xmp.add(xmpKey, &value);
        return;
    }
    case XmpForm::langAlt: {
        Exiv2::LangAltValue value;
        value.value_["x-default"] = texts.front();
        xmp.add(xmpKey, &value);
        return;
    }
    case XmpForm::bag:
    case XmpForm::seq: {
        Exiv2::XmpArrayValue value(form == XmpForm::bag ? Exiv2::xmpBag : Exiv2::xmpSeq);
        for (const std::string& text : texts)
            value.read(text); // appends the text, unparsed
        xmp.add(xmpKey, &value);
        return;
    }
    }
}

// The IPTC values HEIF has no place for, as XMP properties where the XMP does not already say
// them: a value the XMP has is never replaced. Every repeated dataset (keywords, by-lines) keeps
// all its values; a value that cannot be read for sure in the record's character set is left out
// alone.
void addIptcAsXmp(const Exiv2::IptcData& iptc, Exiv2::XmpData& xmp) {
    const IptcCharacterSet characterSet = characterSetOf(iptc);
    for (const IptcInXmp& mapping : kIptcInXmp) {
        try {
            if (says(xmp, mapping.xmp)) continue;
            std::vector<std::string> texts;
            for (const auto& datum : iptc)
                if (datum.key() == mapping.iptc && datum.value().ok())
                    if (auto text = characterSet.utf8(datum.toString())) texts.push_back(std::move(*text));
            if (!texts.empty()) put(xmp, mapping.xmp, mapping.form, texts);
        } catch (...) {
        }
    }
    // The date and time created are two datasets and one XMP date.
    try {
        const auto date = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.DateCreated"));
        if (date == iptc.end() || !date->value().ok() || says(xmp, "Xmp.photoshop.DateCreated")) return;
        const auto* day = dynamic_cast<const Exiv2::DateValue*>(&date->value());
        if (!day || day->getDate().year < 1) return;
        std::string created = date->toString();
        if (const auto time = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.TimeCreated"));
            time != iptc.end() && time->value().ok())
            created.append("T").append(time->toString());
        put(xmp, "Xmp.photoshop.DateCreated", XmpForm::text, {created});
    } catch (...) {
    }
}

} // namespace

RenderedMetadata forRenderedImage(const std::filesystem::path& source, int width, int height,
                                  const std::string& software, Container container) {
    ExifBlock::initializeLibrary();
    const bool isJpeg = container == Container::jpeg;
    SourceMetadata metadata = sourceMetadata(source);
    RenderedMetadata rendered;
    try {
        Exiv2::ExifData exif = renderedExif(metadata.exif, width, height, software);
        rendered.exif = fitted(exif, isJpeg ? kJpegExifBytes : kHeifBytes, exifBytes);
    } catch (...) {
        // A maker note or value the encoder cannot write: the new values alone.
        try {
            Exiv2::ExifData exif = renderedExif({}, width, height, software);
            rendered.exif = exifBytes(exif);
        } catch (...) {
        }
    }
    try {
        updateXmp(metadata.xmp, width, height);
        if (!isJpeg) addIptcAsXmp(metadata.iptc, metadata.xmp);
        rendered.xmp = fitted(metadata.xmp, isJpeg ? kJpegXmpBytes : kHeifBytes, xmpBytes);
    } catch (...) {
    }
    try {
        if (isJpeg) rendered.iptc = fitted(metadata.iptc, kJpegIptcBytes, iptcBytes);
    } catch (...) {
    }
    return rendered;
}

} // namespace sorvin::ExifWriter
