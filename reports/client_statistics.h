#pragma once

#include "model/label_table.h"
#include "model/statistics.h"
#include "reports/text_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The client statistics list as plain data: the per-client history the
// per-second and per-minute figures come from, one row of texts per client
// with its severity, the columns, the compare function and the fixed texts.
// The statistics view and `mirx-ctl statistics` both build their rows here.

namespace mirx::reports {

enum class StatisticsColumn : int {
    TypeShort = 0,
    Client,
    State,
    Duration,
    DisconnectEvents,
    DisconnectedTime,
    SendRate,
    SendLossSecond,
    SendLossMinute,
    SendLossLogin,
    SendJitter,
    ReceiveRate,
    ReceiveLossSecond,
    ReceiveLossMinute,
    ReceiveLossLogin,
    ReceiveJitter,
    Cpu,
    Battery,
    Address,
    Version,
    Description,
    Rabap,
    Sabap,
    Underrun,
    Clipping,
    Rapdfrs,
};

inline constexpr std::size_t kStatisticsColumnCount = 26;
// Columns from here on are shown only with "/Debug".
inline constexpr int kFirstDebugColumn = static_cast<int>(StatisticsColumn::Rabap);
// The battery column starts hidden and takes this width once a row shows a
// battery percentage.
inline constexpr int kBatteryShownWidth = 60;

struct StatisticsColumnSpec {
    // Untranslated.
    const char* title;
    int width;
};

// Titles and opening widths; with `debug` the CPU column is wider.
std::array<StatisticsColumnSpec, kStatisticsColumnCount> statisticsColumns(bool debug);

inline constexpr const char* kLegendCaption = "Client Statistics Legend";
extern const char* const kStatisticsLegend;
inline constexpr const char* kResetAllCaptionFormat = "%1 Client Statistics Reset";
inline constexpr const char* kResetAllQuestion =
    "WARNING: Are you sure you wish to reset the statistics for all clients?";

// The client type's short name up to its colon ("MCP"); empty without one.
std::string clientTypeKindText(int clientType);
// The client column: "%s / %s " of the display name and the listen-only
// name, or the display name alone when there is no listen-only name.
std::string clientColumnText(const model::LabelTable& labels, int label);
void appendClientColumnText(std::string& out, const model::LabelInfo* label);
// "%d.%d.%d.%d", the first octet from the lowest byte.
std::string addressText(std::uint32_t address);
// SIP devices and video sources report neither battery nor version.
bool reportsNoDeviceFigures(int clientType);

// Time in the current state: "%dd, %dh, %dm", "%dh, %dm", "%dm, %ds" or
// "%ds". Negative times (a server clock that stepped back) read as 0.
std::string durationText(std::int64_t seconds);
// The disconnected time: as durationText, but from five minutes up to one
// hour only "%dm".
std::string disconnectedDurationText(std::int64_t seconds);

// The text colour of a row.
enum class Severity : std::uint8_t { None = 0, Online = 1, Loss = 2, Disconnected = 3 };

struct Rgb {
    int red;
    int green;
    int blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
// Nothing for Severity::None: the list's own text colour.
std::optional<Rgb> severityColour(Severity severity);

struct LossFigures {
    double lastSecond = 0;
    double lastMinute = 0;
    double sinceLogin = 0;
};

// One stream's history: the previous cumulative sample and a ring of the
// last 60 one-second (delivered, lost) pairs with their running sums.
class StreamHistory {
public:
    static constexpr std::size_t kRingSize = 60;

    struct Sample {
        std::uint32_t bytes = 0;
        std::uint32_t delivered = 0;
        std::uint32_t lost = 0;
    };
    struct Figures {
        // Bytes since the previous sample; 0 on the first sample.
        std::uint32_t bytes = 0;
        LossFigures loss;
    };

    // Takes one on-line sample. Counters move on modulo 2^32, so a counter
    // that wraps still gives its true step.
    Figures add(const Sample& sample);
    void clear();
    bool cleared() const { return cleared_; }

private:
    struct Pair {
        std::uint32_t delivered = 0;
        std::uint32_t lost = 0;
    };
    Sample previous_;
    std::array<Pair, kRingSize> ring_{};
    std::uint64_t sumDelivered_ = 0;
    std::uint64_t sumLost_ = 0;
    std::size_t writeIndex_ = 0;
    bool cleared_ = true;
};

// The bytes of a label's text fields (description, names), which lie
// together.
inline constexpr std::size_t kLabelTextsBegin = model::LabelInfo::kDescription.offset;
inline constexpr std::size_t kLabelTextBytes =
    rec::endOf(model::LabelInfo::kExternalShortName) - kLabelTextsBegin;
static_assert(model::LabelInfo::kTalkListenName.offset >= kLabelTextsBegin &&
              rec::endOf(model::LabelInfo::kListenOnlyName) <= kLabelTextsBegin + kLabelTextBytes &&
              rec::endOf(model::LabelInfo::kExternalLongName) <=
                  kLabelTextsBegin + kLabelTextBytes &&
              rec::endOf(model::LabelInfo::kDescription) <= kLabelTextsBegin + kLabelTextBytes);

// What the list remembers of every client index between refreshes.
class StatisticsHistory {
public:
    struct Client {
        StreamHistory send;
        StreamHistory receive;
        Severity severity = Severity::None;
        // Kept while the server sends 0 (not known); the texts are made
        // again only when the value changes.
        std::uint32_t address = 0;
        std::string addressText;
        std::uint32_t version = 0;
        std::string versionText;
        // The name and description cells as last decoded, with the label's
        // text fields they came from: names rarely change, and decoding a
        // thousand of them each second was a good part of a refresh.
        std::array<std::uint8_t, kLabelTextBytes> labelTexts{};
        bool labelTextsKnown = false;
        std::string nameText;
        std::string descriptionText;
    };

    StatisticsHistory();
    void clearAll();
    // Both streams; a client index out of range does nothing.
    void clear(int clientIndex);
    // Also the severities and the remembered texts, as when a view opens.
    void resetAll();
    Client& client(int clientIndex) { return clients_[static_cast<std::size_t>(clientIndex)]; }
    const Client& client(int clientIndex) const {
        return clients_[static_cast<std::size_t>(clientIndex)];
    }

private:
    std::vector<Client> clients_;
};

// Which clients the list shows.
struct StatisticsFilter {
    bool unusedClients = false;
    bool controlPanels = true;
    bool deviceInterfaces = true;
    bool sipDevices = true;
};

struct StatisticsRow {
    int clientIndex = -1;
    // The cells' texts one after another: cell c runs from the end of cell
    // c - 1 to ends[c]. One string per row, not one per cell, keeps a
    // thousand rows small enough to build, sort and move every second.
    std::string texts;
    std::array<std::uint32_t, kStatisticsColumnCount> ends{};
    Severity severity = Severity::None;
    // Sort keys that are not a cell's text.
    int typeClass = 0;
    bool online = false;
    std::uint32_t lastChangeLow = 0;
    int batteryKey = 255;
    // The battery cell holds a percentage (the hidden column opens).
    bool showsBatteryPercent = false;

    // Empty for a column out of range.
    std::string_view cell(std::size_t column) const {
        if (column >= kStatisticsColumnCount) {
            return {};
        }
        // Clamped rather than checked: rows are read a few thousand times
        // a second, and never past the text even with inconsistent ends.
        const std::size_t end = std::min<std::size_t>(ends[column], texts.size());
        const std::size_t begin = column == 0 ? 0 : std::min<std::size_t>(ends[column - 1], end);
        return std::string_view(texts.data() + begin, end - begin);
    }
    std::string_view cell(StatisticsColumn column) const {
        return cell(static_cast<std::size_t>(column));
    }
};

// Takes one statistics answer: every client of local system 0 (in canonical
// label order) moves its history on, shown or not, so a client shown again
// never gets a figure spanning the seconds it was hidden. Returns the rows
// the filter shows, in that order. `debugFigures` (the /Debug controls) fills
// the five debug columns, empty without it, and adds the second processor
// figure to the CPU cell.
std::vector<StatisticsRow> refreshStatistics(const model::LabelTable& labels,
                                             const model::StatisticsTable& table,
                                             StatisticsHistory& history,
                                             const StatisticsFilter& filter, bool debugFigures);

// Negative, zero or positive as `a` sorts before, with or after `b` in
// ascending order of `column`; ties end on the client index, so the order is
// total and a second click reverses it exactly.
int compareStatisticsRows(const StatisticsRow& a, const StatisticsRow& b, int column);

// The first column has no title in the list; exports call it this.
inline constexpr const char* kTypeExportHeader = "Type";

// The rows as a text table lending their cells (keep `rows` while it is
// used): columns 0 to 20, and with `debugColumns` the five debug columns too.
TextTableView statisticsTableView(std::span<const StatisticsRow> rows, bool debugColumns);

} // namespace mirx::reports
