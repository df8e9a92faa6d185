#include "engine/publication_journal.h"

#include <gtest/gtest.h>

#include <fstream>

#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

JournalEntry entry(const std::string& event, const std::string& path, long long size = 10, long long mtime = 5) {
    JournalEntry e;
    e.event = event;
    e.accountId = "100";
    e.video = {path, size, mtime};
    return e;
}

TEST(PublicationJournal, KeepsEveryFieldOfEachEventInOrder) {
    TempDir dir;
    PublicationJournal journal(dir.path() / "data" / "发布记录.jsonl");
    JournalEntry submitted = entry(kEventSubmitted, "/素材/视频 \"一\".mp4", 123456789012, 1700000000123456789);
    submitted.nickname = "小明";
    submitted.title = "标题\t带\\符号";
    submitted.zone = "动画";
    submitted.subZone = "MAD·AMV";
    JournalEntry failed = entry(kEventFailed, "/素材/二.mp4");
    failed.reason = kFailBrowserGone;
    ASSERT_TRUE(journal.append(submitted));
    ASSERT_TRUE(journal.append(failed));

    const auto entries = journal.read();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].event, "submitted");
    EXPECT_EQ(entries[0].video, submitted.video);
    EXPECT_EQ(entries[0].nickname, "小明");
    EXPECT_EQ(entries[0].title, submitted.title);
    EXPECT_EQ(entries[0].zone, "动画");
    EXPECT_EQ(entries[0].subZone, "MAD·AMV");
    EXPECT_EQ(entries[0].accountId, "100");
    EXPECT_EQ(entries[0].time.size(), 19u) << entries[0].time;
    EXPECT_EQ(entries[1].reason, "browser_gone");
    const std::string text = dir.read("data/发布记录.jsonl");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.rfind("{\"event\":\"submitted\",\"time\":", 0), 0u) << text;
}

// A crash in mid-write leaves a line without its end; it is skipped, and the next entry
// starts on a line of its own.
TEST(PublicationJournal, ALineCutShortIsSkippedAndNotGluedToTheNext) {
    TempDir dir;
    PublicationJournal journal(dir.path() / "journal.jsonl");
    ASSERT_TRUE(journal.append(entry(kEventSubmitted, "/v/1.mp4")));
    const std::string whole = journalLine(entry(kEventDisposed, "/v/1.mp4"));
    std::ofstream(journal.file(), std::ios::app | std::ios::binary) << whole.substr(0, whole.size() / 2);
    EXPECT_EQ(journal.read().size(), 1u);
    EXPECT_EQ(openPublications(journal.read()).size(), 1u);

    ASSERT_TRUE(journal.append(entry(kEventDisposed, "/v/1.mp4")));
    const auto entries = journal.read();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].event, "disposed");
    EXPECT_TRUE(openPublications(entries).empty());
}

TEST(PublicationJournal, MissingFileReadsAsEmptyAndAnUnwritableOneFails) {
    TempDir dir;
    EXPECT_TRUE(PublicationJournal(dir.path() / "none.jsonl").read().empty());
    dir.write("file", "x");
    EXPECT_FALSE(PublicationJournal(dir.path() / "file" / "journal.jsonl").append(entry(kEventFailed, "/v")));
}

TEST(OpenPublications, FollowEachVideosLastDecisiveEvent) {
    struct Case {
        const char* name;
        std::vector<JournalEntry> entries;
        std::vector<std::string> open;  // "event path"
    };
    const std::vector<Case> cases = {
        {"submittedOnly", {entry(kEventSubmitting, "/a"), entry(kEventSubmitted, "/a")}, {"submitted /a"}},
        {"disposed", {entry(kEventSubmitted, "/a"), entry(kEventDisposed, "/a")}, {}},
        {"clickWithoutAnswer", {entry(kEventSubmitting, "/a")}, {"submitting /a"}},
        {"clickThenFailure", {entry(kEventSubmitting, "/a"), entry(kEventFailed, "/a")}, {}},
        {"failureCannotUndoAPublication", {entry(kEventSubmitted, "/a"), entry(kEventFailed, "/a")}, {"submitted /a"}},
        {"anotherFileAtThatPath",
         {entry(kEventSubmitted, "/a", 10), entry(kEventDisposed, "/a", 11)},
         {"submitted /a"}},
        {"republishedAfterDisposal",
         {entry(kEventSubmitted, "/a"), entry(kEventDisposed, "/a"), entry(kEventSubmitted, "/a")},
         {"submitted /a"}},
        {"inJournalOrder",
         {entry(kEventSubmitted, "/b"), entry(kEventSubmitting, "/a"), entry(kEventSubmitted, "/c"),
          entry(kEventDisposed, "/c")},
         {"submitted /b", "submitting /a"}},
    };
    auto described = [](const std::vector<JournalEntry>& entries) {
        std::vector<std::string> open;
        for (const auto& e : entries) open.push_back(e.event + " " + e.video.path);
        return open;
    };
    for (const auto& c : cases) {
        EXPECT_EQ(described(openPublications(c.entries)), c.open) << c.name;
        // The journal reads its file once and keeps the open ones current from then on, at
        // whatever point of the file that first read happens.
        for (std::size_t split = 0; split <= c.entries.size(); ++split) {
            TempDir dir;
            PublicationJournal journal(dir.path() / "journal.jsonl");
            for (std::size_t i = 0; i < split; ++i) ASSERT_TRUE(journal.append(c.entries[i]));
            (void)journal.openPublications();
            for (std::size_t i = split; i < c.entries.size(); ++i) ASSERT_TRUE(journal.append(c.entries[i]));
            EXPECT_EQ(described(journal.openPublications()), c.open) << c.name << " split " << split;
            for (const auto& e : openPublications(c.entries))
                EXPECT_TRUE(journal.openPublicationOf(e.video)) << c.name << " " << e.video.path;
        }
    }
}

TEST(IdentifyVideo, SizeAndModificationTimeOfARegularFile) {
    TempDir dir;
    const auto path = dir.write("v.mp4", "12345").string();
    const auto identity = identifyVideo(path);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->size, 5);
    EXPECT_GT(identity->mtimeNs, 0);
    EXPECT_FALSE(identifyVideo(dir.str()));
    EXPECT_FALSE(identifyVideo(path + ".missing"));
}

}  // namespace
}  // namespace clipmill::testing
