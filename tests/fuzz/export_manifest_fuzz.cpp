// An export manifest as read from the support folder, with the journal of a killed export (the same
// text in both). A manifest read from any text is written and read back unchanged.

#include "export/export_manifest_store.hpp"
#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "platform/atomic_file.hpp"


SORVIN_FUZZ_TARGET(export_manifest) {
    using namespace sorvin;
    static const fuzz::TemporaryFolder root("manifest");
    const std::filesystem::path destination = "/exports";
    AtomicFile::write(ExportManifestStore::manifestURL(destination, root.path()), fuzz::text(data));
    AtomicFile::write(ExportManifestStore::journalURL(destination, root.path()), fuzz::text(data));
    const ExportManifest manifest = ExportManifestStore::load(destination, root.path());
    fuzz::require(manifest.folder == destination.string(), "a manifest of another folder");
    if (!manifest.entries.empty()) fuzz::reached();

    ExportManifestStore::write(manifest, destination, root.path());
    fuzz::require(ExportManifestStore::load(destination, root.path()) == manifest, "a manifest changes when written");
}
