// The record and the window when what a session saved beside the record meets it: the record was
// written by the earlier version (it notes no stamps), a session opened the folder while the share
// could not read it, and a heart made then went beside it. The next opening at the window takes in
// that heart and keeps every heart of the record.

#include "persistence/selection_store.hpp"
#include "ui/app/root_view.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui_test_fixture.hpp"

#include <atomic>
#include <fstream>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

// A share that answers EIO to every look at the folder's record while `failing`.
class BlinkingShare : public FileManager {
public:
    std::atomic<bool> failing = false;
    std::optional<FileVersion> version(const fs::path& path) const override {
        if (failing && path.filename() == "sorvin.json")
            throw std::system_error(std::make_error_code(std::errc::io_error), "look at file");
        return FileManager::version(path);
    }
};

class RecordCombineWindowTest : public MainWindowTest {
protected:
    RecordCombineWindowTest() { recordFiles = &share; }
    BlinkingShare share;
};

TEST_F(RecordCombineWindowTest, AHeartSavedBesideARecordOfTheEarlierVersionKeepsTheRecordsHearts) {
    addStandardPhotos();
    addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "d.jpg");
    std::ofstream(photos() / "sorvin.json")
        << R"({"version": 2, "app": "Sorvin", "updatedAt": "2026-11-30T08:00:00Z", "cursor": null, "photos": {)"
           R"("b.jpg": {"heart": true}, "c.jpg": {"heart": true}, "d.jpg": {"heart": true}}})";
    // The session before: the share could not read the record, and a.jpg's heart went beside it.
    {
        share.failing = true;
        SelectionStore blinking(photos(), support, root / "legacy-support", share);
        ASSERT_EQ(blinking.load().warning, SelectionLoadWarning::unreadableNow);
        SelectionSaveValues values;
        values.hearts.insert("a.jpg");
        blinking.save(values, std::chrono::system_clock::now());
        ASSERT_TRUE(blinking.keptBesideURL());
        share.failing = false;
    }

    openAtTheWindow(false);
    QApplication::processEvents();
    EXPECT_EQ(window().rootView()->toastView()->text(),
              QStringLiteral("記録と別に保存されていた前回の変更を、記録に合わせました"));
    const std::set<std::string> all{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    for (const auto& path : all)
        EXPECT_TRUE(state().library()->containsHeart(path, RetouchSlot::a)) << path << " shows its heart";
    EXPECT_EQ(SelectionStore(photos(), root / "check-support").load().hearts, all);
    for (const auto& entry : fs::directory_iterator(photos()))
        EXPECT_EQ(entry.path().filename().string().find("conflict"), std::string::npos) << entry.path();
}

} // namespace
} // namespace sorvin::test
