// The client list for the largest site (1000 clients among 20000 labels):
// building every row and sorting it, against walking the same client labels
// in canonical order and copying their display names into a vector, and
// against copying the display names of all 20000 labels; then re-sorting the
// 1000 rows on a header click against a std::stable_sort of the same rows by
// the same key alone. Building alone is timed too, to tell it from the sort.
// The same two are timed through the list's Qt model and its sorting proxy,
// as the view builds and sorts them. Interleaved, medians printed; the last
// two lines give the ratios.
#include "model/client_list.h"

#include "bench/interleaved.h"
#if MIRX_BENCH_VIEW
#include "editors/clients/client_list_model.h"
#include "shell/common/record_list.h"
#endif
#include "core/debug_log.h"
#include "model/mirror.h"
#include "model/typed_text.h"
#include "sim/demo_site.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#if MIRX_BENCH_VIEW
#include <QCoreApplication>
#endif

namespace {

using namespace mirx;

constexpr int kRounds = 21;
constexpr int kLoginColumn = static_cast<int>(model::ClientColumn::LoginName);

std::unique_ptr<model::MirrorData> loadMaxSite() {
    const site::Site site = sim::maxSite();
    auto data = std::make_unique<model::MirrorData>();
    for (const auto& [number, label] : site.labels) {
        data->labels.Store(static_cast<std::uint16_t>(number), label.view());
    }
    for (const auto& [index, credentials] : site.credentials) {
        data->clients.ReceiveCredentials(static_cast<std::uint16_t>(index), credentials.view());
    }
    return data;
}

// Row positions sorted by `less`, as a list model keeps its order.
template <typename Less>
std::vector<int> sortedOrder(std::size_t rows, Less less) {
    std::vector<int> order(rows);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), less);
    return order;
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
    const model::ClientListContext context{.masterAdministrator = true, .rtsTrunking = true};
    const std::vector<model::ClientRow> rows =
        model::buildClientRows(labels, data->clients, context);
    std::size_t sink = 0;

    std::vector<Measure> measures = {
        {"build and sort the list",
         [&] {
             return timed([&] {
                 const auto built = model::buildClientRows(labels, data->clients, context);
                 const auto order = sortedOrder(built.size(), [&](int a, int b) {
                     return model::compareClientRows(built[static_cast<std::size_t>(a)],
                                                     built[static_cast<std::size_t>(b)], 0) < 0;
                 });
                 sink += order.size() + built.size();
             });
         }},
        {"build only",
         [&] {
             return timed([&] {
                 const auto built = model::buildClientRows(labels, data->clients, context);
                 sink += built.size();
             });
         }},
        {"client display names",
         [&] {
             return timed([&] {
                 std::vector<std::string> names;
                 int reference = model::kNoLabel;
                 while (labels.Next(reference, 0, false) != model::kNoLabel) {
                     names.push_back(labels.DisplayName(reference));
                 }
                 sink += names.size();
             });
         }},
        {"all 20000 display names",
         [&] {
             return timed([&] {
                 std::vector<std::string> names;
                 int reference = model::kNoLabel;
                 while (labels.Next(reference, 0, true) != model::kNoLabel) {
                     names.push_back(labels.DisplayName(reference));
                 }
                 sink += names.size();
             });
         }},
        {"re-sort on a header click",
         [&] {
             return timed([&] {
                 const auto order = sortedOrder(rows.size(), [&](int a, int b) {
                     return -model::compareClientRows(rows[static_cast<std::size_t>(a)],
                                                      rows[static_cast<std::size_t>(b)],
                                                      kLoginColumn) < 0;
                 });
                 sink += order.size();
             });
         }},
        {"stable_sort by the key",
         [&] {
             return timed([&] {
                 const auto order = sortedOrder(rows.size(), [&](int a, int b) {
                     return model::compareCaseBlind(rows[static_cast<std::size_t>(b)].cell(
                                                        model::ClientColumn::LoginName),
                                                    rows[static_cast<std::size_t>(a)].cell(
                                                        model::ClientColumn::LoginName)) < 0;
                 });
                 sink += order.size();
             });
         }},
    };
#if MIRX_BENCH_VIEW
    // The view's own model: what opening the list and a header click cost.
    editors::ClientListModel shownModel(context.rtsTrunking);
    shownModel.setRows(rows);
    shell::RecordListProxy shownProxy(&shownModel);
    bool descending = false;
    measures.push_back({"view: build and sort", [&] {
                            return timed([&] {
                                editors::ClientListModel built(context.rtsTrunking);
                                built.setRows(
                                    model::buildClientRows(labels, data->clients, context));
                                shell::RecordListProxy proxy(&built);
                                proxy.sort(0, Qt::AscendingOrder);
                                sink += static_cast<std::size_t>(proxy.rowCount());
                            });
                        }});
    measures.push_back({"view: header click", [&] {
                            // Each click reverses the last, as a second click does.
                            descending = !descending;
                            return timed([&] {
                                shownProxy.sort(kLoginColumn, descending ? Qt::DescendingOrder
                                                                         : Qt::AscendingOrder);
                                sink += static_cast<std::size_t>(shownProxy.rowCount());
                            });
                        }});
#endif
    runInterleaved(measures, kRounds);
    log::setDebuggerSink(nullptr);
    if (rows.size() != 1000 || sink == 0) {
        std::fprintf(stderr, "client_list: expected 1000 rows, got %zu\n", rows.size());
        return 1;
    }
    const double build = measures[0].median();
    std::printf("client_list: %zu rows built and sorted = %.2fx copying their display names, "
                "%.2fx copying all labels' display names; re-sort = %.2fx stable_sort by the key; "
                "goal <= 3x each\n",
                rows.size(), build / measures[2].median(), build / measures[3].median(),
                measures[4].median() / measures[5].median());
#if MIRX_BENCH_VIEW
    std::printf("client_list view: model built and sorted = %.2fx copying the client display "
                "names, %.2fx copying all labels' display names; header click = %.2fx "
                "stable_sort by the key; goal <= 3x each\n",
                measures[6].median() / measures[2].median(),
                measures[6].median() / measures[3].median(),
                measures[7].median() / measures[5].median());
#endif
    return 0;
}
