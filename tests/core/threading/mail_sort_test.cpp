#include "core/threading/mail_sort.h"

#include "progress_recorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

using postloom::MailList;
using postloom::MailRecord;
using postloom::NoProgress;
using postloom::SortMailList;
using postloom::StopFlag;
using postloom::test::Positions;
using postloom::test::ProgressRecorder;

namespace {

// The exchange sort exactly as the fast version must behave, stop tests
// before each outer and each inner step included.
bool PlainSort(MailList& mails, postloom::JobProgress& progress, const StopFlag& stop)
{
    const std::size_t n = mails.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (stop)
            return false;
        progress.Report(static_cast<int>(i));
        const MailRecord* p = mails[i].get();
        for (std::size_t j = i; j < n; ++j) {
            if (stop)
                break;
            const MailRecord* r = mails[j].get();
            if (static_cast<std::uint32_t>(r->orderKey) < static_cast<std::uint32_t>(p->orderKey)) {
                std::swap(mails[i], mails[j]);
                p = r;
            }
        }
    }
    return !stop;
}

MailList MailsWithKeys(const std::vector<std::int32_t>& keys)
{
    MailList mails;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = std::string(1, static_cast<char>('A' + i % 26)) + std::to_string(i / 26);
        mail->orderKey = keys[i];
        mails.push_back(std::move(mail));
    }
    return mails;
}

std::string Names(const MailList& mails)
{
    std::string names;
    for (const auto& mail : mails)
        names += mail->fileName.substr(0, 1);
    return names;
}

std::string SortedNames(const std::vector<std::int32_t>& keys)
{
    MailList mails = MailsWithKeys(keys);
    const StopFlag stop{false};
    NoProgress progress;
    EXPECT_TRUE(SortMailList(mails, progress, stop));
    return Names(mails);
}

std::vector<const MailRecord*> Order(const MailList& mails)
{
    std::vector<const MailRecord*> order;
    for (const auto& mail : mails)
        order.push_back(mail.get());
    return order;
}

TEST(MailSortTest, EqualKeysEndInTheOrderOfTheExchanges)
{
    EXPECT_EQ(SortedNames({5, 5, 3}), "CBA");
    EXPECT_EQ(SortedNames({5, 3, 3}), "BCA");
    EXPECT_EQ(SortedNames({7, 7, 7}), "ABC");
    EXPECT_EQ(SortedNames({4, 2, 3, 1}), "DBCA");
}

TEST(MailSortTest, KeysCompareAsUnsignedNumbers)
{
    // -1 (a date the library could not convert) sorts after every date.
    EXPECT_EQ(SortedNames({-1, 900000000, 0, INT32_MIN, INT32_MAX}), "CBEDA");
}

TEST(MailSortTest, OrderedListIsLeftAlone)
{
    MailList mails = MailsWithKeys({1, 2, 2, 3, 10, 10, 11});
    const auto before = Order(mails);
    const StopFlag stop{false};
    ProgressRecorder progress;
    EXPECT_TRUE(SortMailList(mails, progress, stop));
    EXPECT_EQ(Order(mails), before);
    EXPECT_EQ(progress.positions, Positions(7));
    EXPECT_TRUE(progress.ranges.empty());
}

TEST(MailSortTest, EmptyListReportsNothing)
{
    MailList mails;
    const StopFlag stop{false};
    ProgressRecorder progress;
    EXPECT_TRUE(SortMailList(mails, progress, stop));
    EXPECT_TRUE(progress.positions.empty());
}

TEST(MailSortTest, StopEndsBeforeTheNextStep)
{
    // Requested before the start: nothing happens.
    {
        MailList mails = MailsWithKeys({3, 2, 1});
        StopFlag stop{true};
        ProgressRecorder progress;
        EXPECT_FALSE(SortMailList(mails, progress, stop));
        EXPECT_EQ(Names(mails), "ABC");
        EXPECT_TRUE(progress.positions.empty());
    }
    // Requested while step 1 is reported: step 0 is done, step 1 is not.
    {
        MailList mails = MailsWithKeys({3, 2, 1, 0});
        StopFlag stop{false};
        ProgressRecorder progress(stop, 2);
        EXPECT_FALSE(SortMailList(mails, progress, stop));
        EXPECT_EQ(Names(mails), "DABC");
        EXPECT_EQ(progress.positions, Positions(2));
    }
}

// Keys drawn from a few values, so that equal and negative keys are common.
std::vector<std::int32_t> RandomKeys(std::mt19937& random, std::size_t n, bool nearlyOrdered)
{
    static const std::int32_t pool[] = {-5, -1, 0, 1, 2, 3, 3, 7, 100, INT32_MAX, INT32_MIN};
    std::vector<std::int32_t> keys(n);
    if (nearlyOrdered) {
        // An ordered archive with a few mails out of place at its end.
        for (std::size_t i = 0; i < n; ++i)
            keys[i] = static_cast<std::int32_t>(i / 3);
        for (std::size_t k = 0; k < n / 10 + 1 && k < n; ++k)
            keys[n - 1 - k] = static_cast<std::int32_t>(random() % (n / 3 + 2));
        return keys;
    }
    const std::size_t distinct = 1 + random() % std::size(pool);
    for (auto& key : keys)
        key = pool[random() % distinct];
    return keys;
}

TEST(MailSortTest, SameExchangesAsPlainSortOnRandomLists)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 4000; ++round) {
        const bool nearlyOrdered = round % 4 == 3;
        const std::size_t n = nearlyOrdered || round % 4 == 2 ? random() % 400 : random() % 40;
        const std::vector<std::int32_t> keys = RandomKeys(random, n, nearlyOrdered);
        // One round in three stops while a random step is reported.
        const std::size_t stopAt = round % 3 == 0 ? 1 + random() % (n + 1) : 0;

        MailList expected = MailsWithKeys(keys);
        StopFlag plainStop{false};
        ProgressRecorder plainProgress(plainStop, stopAt);
        const bool plainDone = PlainSort(expected, plainProgress, plainStop);

        MailList actual = MailsWithKeys(keys);
        // The same records in the same places: compare by file name.
        StopFlag fastStop{false};
        ProgressRecorder fastProgress(fastStop, stopAt);
        const bool fastDone = SortMailList(actual, fastProgress, fastStop);

        ASSERT_EQ(fastDone, plainDone) << "round " << round;
        ASSERT_EQ(fastProgress.positions, plainProgress.positions) << "round " << round;
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(actual[i]->fileName, expected[i]->fileName) << "round " << round << " position " << i;
    }
}

TEST(MailSortTest, SameOrderAsPlainSortOnALargeShuffledList)
{
    // Long runs of equal keys turned many times over.
    std::mt19937 random(5);
    std::vector<std::int32_t> keys(3000);
    for (auto& key : keys)
        key = static_cast<std::int32_t>(random() % 40) - 20;
    MailList expected = MailsWithKeys(keys);
    const StopFlag stop{false};
    NoProgress progress;
    PlainSort(expected, progress, stop);
    MailList actual = MailsWithKeys(keys);
    ASSERT_TRUE(SortMailList(actual, progress, stop));
    for (std::size_t i = 0; i < keys.size(); ++i)
        ASSERT_EQ(actual[i]->fileName, expected[i]->fileName) << "position " << i;
}

}  // namespace
