// The available list of the selector assignments view for the largest site
// (20000 labels): building every row, against walking the same labels in
// canonical order and copying their display names. Building and sorting by
// the type column is timed too. Interleaved, medians printed; the last line
// gives the ratios.
#include "bench/interleaved.h"
#if MIRX_BENCH_VIEW
#include "editors/selectors/selector_assignments_dialog.h"
#include "shell/common/record_list.h"

#include <QCoreApplication>
#endif
#include "core/debug_log.h"
#include "model/mirror.h"
#include "model/selector_lists.h"
#include "sim/demo_site.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace mirx;

constexpr int kRounds = 21;
constexpr int kTypeColumn = static_cast<int>(model::AvailableColumn::Type);

std::unique_ptr<model::MirrorData> loadMaxSite() {
    const site::Site site = sim::maxSite();
    auto data = std::make_unique<model::MirrorData>();
    for (const auto& [number, label] : site.labels) {
        data->labels.Store(static_cast<std::uint16_t>(number), label.view());
    }
    return data;
}

} // namespace

int main(int argc, char** argv) {
#if MIRX_BENCH_VIEW
    QCoreApplication app(argc, argv);
#else
    static_cast<void>(argc);
    static_cast<void>(argv);
#endif
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    const auto data = loadMaxSite();
    const model::LabelTable& labels = data->labels;
    // The default record lists every label not restricted.
    const model::SelectorTarget target;
    const std::size_t listed = model::buildAvailableRows(labels, target).size();
    std::size_t sink = 0;

    std::vector<Measure> measures = {
        {"build the available list",
         [&] {
             return timed([&] {
                 const auto rows = model::buildAvailableRows(labels, target);
                 sink += rows.size();
             });
         }},
        {"build and sort by type",
         [&] {
             return timed([&] {
                 const auto rows = model::buildAvailableRows(labels, target);
                 std::vector<int> order(rows.size());
                 std::iota(order.begin(), order.end(), 0);
                 std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                     return model::compareAvailableRows(rows[static_cast<std::size_t>(a)],
                                                        rows[static_cast<std::size_t>(b)],
                                                        kTypeColumn) < 0;
                 });
                 sink += order.size();
             });
         }},
        {"all display names",
         [&] {
             return timed([&] {
                 std::vector<std::string> names;
                 labels.ForEachLabel([&](const model::LabelInfo& label) {
                     names.push_back(labels.DisplayName(label.get(model::LabelInfo::kLabelNumber)));
                 });
                 sink += names.size();
             });
         }},
    };
#if MIRX_BENCH_VIEW
    // The view's own model behind its proxy: what opening the view costs for
    // the list, and a click on the type header after it.
    measures.push_back({"view: fill the list", [&] {
                            return timed([&] {
                                editors::AvailableListModel list;
                                list.setRows(model::buildAvailableRows(labels, target));
                                shell::RecordListProxy proxy(&list);
                                sink += static_cast<std::size_t>(proxy.rowCount());
                            });
                        }});
    measures.push_back({"view: fill and sort by type", [&] {
                            return timed([&] {
                                editors::AvailableListModel list;
                                list.setRows(model::buildAvailableRows(labels, target));
                                shell::RecordListProxy proxy(&list);
                                proxy.sort(kTypeColumn, Qt::AscendingOrder);
                                sink += static_cast<std::size_t>(proxy.rowCount());
                            });
                        }});
#endif
    runInterleaved(measures, kRounds);
    log::setDebuggerSink(nullptr);
    if (listed < 10000 || sink == 0) {
        std::fprintf(stderr, "selector_view: expected most of 20000 labels listed, got %zu\n",
                     listed);
        return 1;
    }
    std::printf("selector_view: %zu available rows built = %.2fx copying the labels' display "
                "names (goal <= 3x); built and sorted by type = %.2fx\n",
                listed, measures[0].median() / measures[2].median(),
                measures[1].median() / measures[2].median());
#if MIRX_BENCH_VIEW
    std::printf("selector_view view: available list filled through its model and proxy = %.2fx "
                "copying the labels' display names (goal <= 3x); filled and sorted by type = "
                "%.2fx\n",
                measures[3].median() / measures[2].median(),
                measures[4].median() / measures[2].median());
#endif
    return 0;
}
