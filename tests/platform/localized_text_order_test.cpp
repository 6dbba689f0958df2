#include "platform/localized_text_order.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace sorvin {
namespace {

std::vector<std::string> sortedByCompare(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
        return LocalizedTextOrder::compare(a, b) < 0;
    });
    return texts;
}

std::vector<std::string> sortedByKey(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
        return LocalizedTextOrder::key(a) < LocalizedTextOrder::key(b);
    });
    return texts;
}

TEST(LocalizedTextOrder, DigitRunsCompareByValueAndLettersIgnoreCaseFirst) {
    const std::vector<std::string> expected{"a/1.jpg",   "a/2.jpg",    "a/10.jpg",   "apple",      "Banana",
                                            "IMG_2.JPG", "IMG_10.JPG", "img_11.jpg", "IMG_100.JPG"};
    std::vector<std::string> shuffled(expected.rbegin(), expected.rend());
    std::rotate(shuffled.begin(), shuffled.begin() + 4, shuffled.end());
    EXPECT_EQ(sortedByCompare(shuffled), expected);
    EXPECT_EQ(sortedByKey(shuffled), expected);
}

TEST(LocalizedTextOrder, TextsTheCollationCallsEqualStillGetAFixedOrder) {
    // Leading zeros do not change a number's value, so only the tie-break separates these.
    const auto forward = LocalizedTextOrder::compare("IMG_0002", "IMG_2");
    const auto backward = LocalizedTextOrder::compare("IMG_2", "IMG_0002");
    EXPECT_NE(forward, std::strong_ordering::equal);
    EXPECT_EQ(forward<0, backward> 0);
    EXPECT_EQ(forward < 0, LocalizedTextOrder::key("IMG_0002") < LocalizedTextOrder::key("IMG_2"));
    EXPECT_EQ(LocalizedTextOrder::compare("same", "same"), std::strong_ordering::equal);
    EXPECT_EQ(LocalizedTextOrder::key("same"), LocalizedTextOrder::key("same"));
}

TEST(LocalizedTextOrder, CanonicallyEquivalentSpellingsSortTogether) {
    // "é" precomposed and as e + combining acute sort next to each other, before "f".
    const std::string composed = "caf\xC3\xA9";
    const std::string decomposed = "cafe\xCC\x81";
    const auto order = sortedByKey({"cafg", decomposed, "cafe", composed});
    EXPECT_EQ(order.front(), "cafe");
    EXPECT_EQ(order.back(), "cafg");
}

TEST(LocalizedTextOrder, IllFormedUtf8IsOrderedWithoutFailing) {
    const std::string broken1 = "a\xFF";
    const std::string broken2 = "a\xFE";
    EXPECT_NE(LocalizedTextOrder::compare(broken1, broken2), std::strong_ordering::equal);
    EXPECT_EQ(LocalizedTextOrder::compare(broken1, broken2) < 0,
              LocalizedTextOrder::key(broken1) < LocalizedTextOrder::key(broken2));
}

TEST(LocalizedTextOrder, GivesTheSameAnswerOnEveryThread) {
    std::vector<int> answers(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        threads.emplace_back([&answers, i] {
            int less = 0;
            for (int n = 0; n < 200; ++n) {
                less += LocalizedTextOrder::compare("IMG_" + std::to_string(n),
                                                    "IMG_" + std::to_string(n + 1)) < 0;
            }
            answers[i] = less;
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int answer : answers)
        EXPECT_EQ(answer, 200);
}

} // namespace
} // namespace sorvin
