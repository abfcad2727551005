#include "core/message_ids.h"
#include "model/client_list.h"
#include "model/template_links.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using K = TemplateKind;
using L = LabelInfo;

enum class Action { Link, Unlink, Delete };

struct Link {
    int client;
    K kind;
    int value;
};

struct Post {
    std::uint16_t id;
    int second;
};

struct Case {
    const char* what;
    std::vector<Link> before;
    Action action;
    K kind;
    int current; // link source, or the deleted client
    std::vector<int> selected;
    std::vector<Post> posts;
    // Every client's field of `kind` afterwards (-2: the client is gone).
    std::vector<int> after;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

constexpr int kGone = -2;
constexpr std::uint16_t kUpdate = msg::ADMIN_LABEL_UPDATE;
constexpr std::uint16_t kDelete = msg::ADMIN_DELETE_ENTRY;

// Clients A..E at indexes 0..4 with label numbers 10000..10004.
class TemplateLinksTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            const std::string name(1, static_cast<char>('A' + i));
            site::addClient(site, 10000 + i, i, 50, name, "", name, "");
        }
        for (const Link& link : GetParam().before) {
            test::labelOf(site, 10000 + link.client).set(templateField(link.kind), link.value);
        }
        data = test::loadSite(site);
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_P(TemplateLinksTest, PostsEveryChangedLabelWhole) {
    const Case& c = GetParam();
    LabelTable& labels = data->labels;
    const std::vector<int> rows = clientIndexesInOrder(labels);
    LabelChanges changes;
    switch (c.action) {
    case Action::Link:
        changes = linkTemplate(labels, c.kind, c.current, c.selected, rows);
        break;
    case Action::Unlink:
        changes = unlinkTemplate(labels, c.kind, c.selected, rows);
        break;
    case Action::Delete:
        changes = deleteClient(labels, c.current, rows);
        break;
    }

    ASSERT_EQ(changes.posts.size(), c.posts.size()) << c.what;
    for (std::size_t p = 0; p < c.posts.size(); ++p) {
        const OutgoingRecord& post = changes.posts[p];
        EXPECT_EQ(post.id, c.posts[p].id) << c.what << " post " << p;
        EXPECT_EQ(post.second, c.posts[p].second) << c.what << " post " << p;
        if (post.id != kUpdate) {
            EXPECT_TRUE(post.bytes.empty()) << c.what;
            continue;
        }
        // The site's label with only the changed field differing.
        const int number = post.second < kFirstLabelNumber ? 10000 + post.second : post.second;
        L expected = site.labels.at(number);
        for (const K kind : kTemplateKinds) {
            expected.set(templateField(kind), labels.Find(number)->get(templateField(kind)));
        }
        EXPECT_EQ(post.bytes,
                  std::vector<std::uint8_t>(expected.bytes.begin(), expected.bytes.end()))
            << c.what << " post " << p;
    }
    for (int client = 0; client < 5; ++client) {
        const L* label = labels.Find(labels.ClientLabelNumber(client));
        const int value = label == nullptr ? kGone : label->get(templateField(c.kind));
        EXPECT_EQ(value, c.after[static_cast<std::size_t>(client)])
            << c.what << " client " << client;
    }
}

const Case kCases[] = {
    {"link makes the source its own template",
     {},
     Action::Link,
     K::AudioSettings,
     10001,
     {0, 1, 2},
     {{kUpdate, 10000}, {kUpdate, 10001}, {kUpdate, 10002}},
     {10001, 10001, 10001, -1, -1}},
    {"link follows the source's template",
     {{3, K::Options, 10003}, {1, K::Options, 10003}},
     Action::Link,
     K::Options,
     10001,
     {0, 4},
     {{kUpdate, 10000}, {kUpdate, 10004}},
     {10003, 10003, -1, 10003, 10003}},
    {"a linked template brings its followers",
     {{1, K::SelectorAssignments, 10001}, {2, K::SelectorAssignments, 10001}},
     Action::Link,
     K::SelectorAssignments,
     10000,
     {0, 1},
     // Client 1's follower is posted by client index, then client 1.
     {{kUpdate, 10000}, {kUpdate, 2}, {kUpdate, 10001}},
     {10000, 10000, 10000, -1, -1}},
    {"a source whose template is gone becomes the template",
     {{0, K::AudioSettings, 10099}},
     Action::Link,
     K::AudioSettings,
     10000,
     {0, 3},
     {{kUpdate, 10000}, {kUpdate, 10003}},
     {10000, -1, -1, 10000, -1}},
    {"linking a template to itself leaves its followers alone",
     {{1, K::Options, 10001}, {2, K::Options, 10001}, {3, K::Options, 10001}},
     Action::Link,
     K::Options,
     10001,
     {1, 4},
     {{kUpdate, 10001}, {kUpdate, 10004}},
     {-1, 10001, 10001, 10001, 10001}},
    {"no link source, nothing changes",
     {},
     Action::Link,
     K::AudioSettings,
     kNoLabel,
     {0, 1},
     {},
     {-1, -1, -1, -1, -1}},
    {"unlink a follower",
     {{0, K::Options, 10000}, {1, K::Options, 10000}, {2, K::Options, 10000}},
     Action::Unlink,
     K::Options,
     10000,
     {2},
     {{kUpdate, 10002}},
     {10000, 10000, -1, -1, -1}},
    {"unlinking a template unlinks followers that were not selected",
     {{0, K::AudioSettings, 10000}, {3, K::AudioSettings, 10000}, {4, K::AudioSettings, 10000}},
     Action::Unlink,
     K::AudioSettings,
     10000,
     {0},
     {{kUpdate, 3}, {kUpdate, 4}, {kUpdate, 10000}},
     {-1, -1, -1, -1, -1}},
    {"unlink leaves other kinds alone",
     {{0, K::AudioSettings, 10000}, {1, K::AudioSettings, 10000}, {1, K::Options, 10000}},
     Action::Unlink,
     K::AudioSettings,
     10000,
     {1},
     {{kUpdate, 10001}},
     {10000, -1, -1, -1, -1}},
    {"deleting a template unlinks its followers",
     {{0, K::AudioSettings, 10000},
      {1, K::AudioSettings, 10000},
      {2, K::Options, 10000},
      {3, K::AudioSettings, 10003}},
     Action::Delete,
     K::AudioSettings,
     0,
     {},
     {{kUpdate, 10001}, {kUpdate, 10002}, {kDelete, 10000}},
     {kGone, -1, -1, 10003, -1}},
    {"deleting a follower posts only the deletion",
     {{0, K::Options, 10000}, {1, K::Options, 10000}},
     Action::Delete,
     K::Options,
     1,
     {},
     {{kDelete, 10001}},
     {10000, kGone, -1, -1, -1}},
};

INSTANTIATE_TEST_SUITE_P(Clients, TemplateLinksTest, ::testing::ValuesIn(kCases));

TEST(TemplateLinks, DeletingAClientWithoutALabelPostsNothing) {
    mirx::test::LogCapture log;
    site::Site site;
    site::addClient(site, 10000, 0, 10, "A", "", "a", "");
    const auto data = test::loadSite(site);
    const std::vector<int> rows = {0};
    EXPECT_TRUE(deleteClient(data->labels, 7, rows).posts.empty());
    EXPECT_NE(data->labels.Find(10000), nullptr);
}

TEST(TemplateLinks, SettingsEditorAsksForAFollower) {
    mirx::test::LogCapture log;
    site::Site site;
    for (int i = 0; i < 3; ++i) {
        site::addClient(site, 10000 + i, i, 10, std::string(1, static_cast<char>('A' + i)), "", "",
                        "");
    }
    test::labelOf(site, 10000).set(L::kOptionsTemplate, 10000);
    test::labelOf(site, 10001).set(L::kOptionsTemplate, 10000);
    test::labelOf(site, 10002).set(L::kOptionsTemplate, 10077);
    const auto data = test::loadSite(site);
    struct Row {
        int selected;
        int current;
        bool ask;
        int templateClient;
    };
    const Row rows[] = {
        {0, 10000, false, -1}, // the template itself
        {1, 10001, true, 0},   // a follower
        {1, 10000, false, -1}, // a follower of the link source
        {2, 10002, true, -1},  // a template that is gone
    };
    for (const Row& r : rows) {
        const auto target = settingsEditorTarget(data->labels, K::Options, r.selected, r.current);
        EXPECT_EQ(target.askFirst, r.ask) << r.selected;
        EXPECT_EQ(target.templateClient, r.templateClient) << r.selected;
    }
}

TEST(TemplateLinks, CancelledEditorAfterUnlinkRestoresTheLinkOnBothSides) {
    mirx::test::LogCapture log;
    site::Site site;
    site::addClient(site, 10000, 0, 10, "A", "", "a", "");
    site::addClient(site, 10001, 1, 10, "B", "", "b", "");
    test::labelOf(site, 10000).set(L::kAudioSettingsTemplate, 10000);
    test::labelOf(site, 10001).set(L::kAudioSettingsTemplate, 10000);
    const auto data = test::loadSite(site);
    LabelTable& labels = data->labels;
    const std::vector<int> rows = clientIndexesInOrder(labels);

    const auto target = settingsEditorTarget(labels, K::AudioSettings, 1, 10001);
    ASSERT_TRUE(target.askFirst);
    const std::vector<int> selected = {1};
    ASSERT_EQ(unlinkTemplate(labels, K::AudioSettings, selected, rows).posts.size(), 1u);

    const LabelChanges restored =
        restoreTemplate(labels, K::AudioSettings, 1, target.templateValue);
    ASSERT_EQ(restored.posts.size(), 1u);
    EXPECT_EQ(restored.posts[0].second, 10001);
    const L& b = site.labels.at(10001);
    EXPECT_EQ(restored.posts[0].bytes, std::vector<std::uint8_t>(b.bytes.begin(), b.bytes.end()));
    EXPECT_TRUE(restoreTemplate(labels, K::AudioSettings, 1, target.templateValue).posts.empty());
    EXPECT_TRUE(restoreTemplate(labels, K::AudioSettings, 7, 10000).posts.empty());
}

} // namespace
} // namespace mirx::model
