// A full configuration reload streamed by one thread while another walks the
// labels and reads their names: the mirror's lock must keep both whole.
#include "model/label_info.h"
#include "model/mirror.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace mirx::model {
namespace {

LabelInfo clientLabel(int number, int index) {
    LabelInfo label;
    label.set(LabelInfo::kLabelNumber, static_cast<std::int16_t>(number));
    label.set(LabelInfo::kLabelKind, std::uint8_t{0});
    label.set(LabelInfo::kClientType, std::uint8_t{10});
    label.set(LabelInfo::kIndex, static_cast<std::int16_t>(index));
    label.set(LabelInfo::kTalkListenName, "Client " + std::to_string(index));
    return label;
}

TEST(MirrorStress, ReloadWhileReading) {
    Mirror mirror;
    constexpr int kClients = 500;
    constexpr int kReloads = 30;
    std::atomic<bool> done{false};

    std::thread writer([&] {
        for (int round = 0; round < kReloads; ++round) {
            mirror.edit([](MirrorData& d) { d.labels.Store(0xFFFF, {}); });
            for (int i = 0; i < kClients; ++i) {
                const LabelInfo label = clientLabel(10000 + i, i);
                mirror.edit([&](MirrorData& d) {
                    d.labels.Store(static_cast<std::uint16_t>(10000 + i), label.view());
                });
                mirror.flags().labels.raise();
            }
        }
        done.store(true);
    });

    // As a view does: on its timer, read when the arrival flag was raised.
    // Reading back to back, this thread could take the lock again every time
    // and leave the writer waiting for ever.
    ChangeCursor labelChanges(mirror.flags().labels);
    do {
        if (!labelChanges.take()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const bool consistent = mirror.read([](const MirrorData& d) {
            int reference = -1;
            int seen = 0;
            while (d.labels.Next(reference, 0, false) != -1) {
                const std::string name = d.labels.DisplayName(reference);
                // Every name is whole: "Client N" for the label of index N.
                const LabelInfo* label = d.labels.Find(reference);
                if (label == nullptr ||
                    name != "Client " + std::to_string(label->get(LabelInfo::kIndex))) {
                    return false;
                }
                ++seen;
            }
            return seen <= kClients;
        });
        ASSERT_TRUE(consistent);
    } while (!done.load());
    writer.join();
    const int finalCount = mirror.read([](const MirrorData& d) { return d.labels.ClientCount(); });
    EXPECT_EQ(finalCount, kClients);
}

} // namespace
} // namespace mirx::model
