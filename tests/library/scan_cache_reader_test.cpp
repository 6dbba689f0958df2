#include "library/scan_cache_reader.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

const std::string folder = "/photos";

std::string cacheWith(const std::string& entries) {
    return R"({"version":2,"folder":"/photos","entries":{)" + entries + "}}";
}

const std::string plainEntry = R"({"size":1,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"})";

TEST(ScanCacheReader, AcceptsAnyWellFormedLayoutAndDecodesEscapes) {
    const std::string text =
        " \n{ \"entries\" : {\r\n\t\"caf\\u00e9/\\ud83d\\udcf7 \\\"1\\\".jpg\" : "
        "{ \"w\" : 3 , \"h\" : 4 , \"fmt\" : \"jpeg\" , \"orient\" : 1 , \"mtime\" : 2 , "
        "\"size\" : 1 , \"extra\" : [ {\"deep\": [1, 2.5e3, null, true]} ] } } , "
        "\"other\" : {\"a\":[]}, \"folder\" : \"\\/photos\" , \"version\" : 2 } \n";
    const LoadedScanCache loaded = ScanCacheReader::read(text, folder);
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries.begin()->first, "caf\xC3\xA9/\xF0\x9F\x93\xB7 \"1\".jpg");
    EXPECT_TRUE(loaded.allEntriesKept);

    // The stored folder is compared as text: a decomposed "é" names the same folder.
    const std::string decomposed = R"({"version":2,"folder":"/caf\u0065\u0301","entries":{"a.jpg":)"
                                   R"({"w":3,"h":4,"fmt":"jpeg","orient":1,"mtime":2,"size":1}}})";
    EXPECT_EQ(ScanCacheReader::read(decomposed, "/caf\xC3\xA9").entries.size(), 1u);
    EXPECT_TRUE(ScanCacheReader::read(decomposed, "/cafe").entries.empty());
}

TEST(ScanCacheReader, RefusesTextThatIsNotOneWellFormedJsonObject) {
    const std::string good = cacheWith(R"("a.jpg":)" + plainEntry);
    ASSERT_EQ(ScanCacheReader::read(good, folder).entries.size(), 1u);
    const std::string bad[] = {
        good + "x",                                       // trailing content
        good + good,                                      // two values
        cacheWith("\"a\xFF.jpg\":" + plainEntry),         // ill-formed UTF-8
        cacheWith("\"a\xC0\xAF.jpg\":" + plainEntry),     // overlong UTF-8
        cacheWith("\"a\xED\xA0\x80.jpg\":" + plainEntry), // encoded surrogate
        cacheWith(R"("a\ud800.jpg":)" + plainEntry),      // lone high surrogate
        cacheWith(R"("a\udc00.jpg":)" + plainEntry),      // lone low surrogate
        cacheWith(R"("a\x.jpg":)" + plainEntry),          // unknown escape
        cacheWith("\"a\n.jpg\":" + plainEntry),           // raw control character
        cacheWith(R"("a.jpg":{"size":01,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"})"),
        cacheWith(R"("a.jpg":{"size":1.,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"})"),
        cacheWith(R"("a.jpg":{"size":-,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"})"),
        cacheWith(R"("a.jpg":{"size":1,,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"})"),
        cacheWith(R"("a.jpg":)" + plainEntry + ","), // trailing comma
        cacheWith(R"("a.jpg":{"size":1,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg","x":tru})"),
        R"({"version":2,"folder":"/photos","entries":{},})",
    };
    for (const std::string& text : bad) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(ScanCacheReader::read(text, folder).entries.empty());
    }
}

TEST(ScanCacheReader, IntegersAreExactlyTheNumbersWithoutFractionThatFitSixtyFourBits) {
    struct Case {
        const char* size;
        bool kept;
    };
    const Case cases[] = {
        {"0", true},
        {"-0", true},
        {"9223372036854775807", true},
        {"9223372036854775808", false},
        {"1e0", false},
        {"1.0", false},
        {"-1", false} /* a negative size is no photo */,
        {"\"1\"", false},
        {"true", false},
        {"null", false},
        {"[1]", false},
        {"{\"v\":1}", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string entry =
            std::string(R"({"size":)") + c.size + R"(,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"})";
        const LoadedScanCache loaded = ScanCacheReader::read(cacheWith(R"("a.jpg":)" + entry), folder);
        EXPECT_EQ(loaded.entries.size(), c.kept ? 1u : 0u);
        EXPECT_EQ(loaded.allEntriesKept, c.kept);
    }
    const std::string lowest =
        R"({"size":1,"mtime":-9223372036854775808,"orient":1,"w":3,"h":4,"fmt":"jpeg"})";
    const LoadedScanCache loaded = ScanCacheReader::read(cacheWith(R"("a.jpg":)" + lowest), folder);
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries.at("a.jpg").mtime, INT64_MIN);
}

TEST(ScanCacheReader, TheLastOfTwoMembersCountsAndADroppedEntryMarksTheFileForRewriting) {
    const std::string twice =
        R"({"version":1,"version":2,"folder":"/elsewhere","folder":"/photos",)"
        R"("entries":{"a.jpg":)" +
        plainEntry +
        R"(,"a.jpg":{"size":1}},)"
        R"("entries":{"b.jpg":{"size":5,"size":6,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"raw"}}})";
    const LoadedScanCache loaded = ScanCacheReader::read(twice, folder);
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries.at("b.jpg").size, 6);
    EXPECT_TRUE(loaded.allEntriesKept);

    const LoadedScanCache dropped =
        ScanCacheReader::read(cacheWith(R"("a.jpg":)" + plainEntry + R"(,"b.jpg":[])"), folder);
    EXPECT_EQ(dropped.entries.size(), 1u);
    EXPECT_FALSE(dropped.allEntriesKept);
}

} // namespace
} // namespace sorvin
