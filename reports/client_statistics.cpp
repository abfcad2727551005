#include "reports/client_statistics.h"

#include "model/client_list.h"
#include "model/client_types.h"
#include "model/label_info.h"
#include "model/typed_text.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace mirx::reports {
namespace {

using S = model::ClientStatistics;

__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
    char text[96];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// Cell texts are written straight into the row's own strings, without
// printf or temporaries: the list formats thousands of figures a second,
// and texts this short then need no allocation at all.
void appendInt(std::string& out, std::int64_t value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// "%*.*f"
void appendFixed(std::string& out, double value, int precision, std::size_t width) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
    const auto length = static_cast<std::size_t>(result.ptr - text);
    if (length < width) {
        out.append(width - length, ' ');
    }
    out.append(text, length);
}

void appendPercent(std::string& out, int value) {
    appendInt(out, value);
    out += '%';
}

void appendDuration(std::string& out, std::int64_t seconds) {
    const std::int64_t s = seconds < 0 ? 0 : seconds;
    const std::int64_t d = s / 86400;
    const std::int64_t h = s / 3600;
    const std::int64_t m = s / 60 - h * 60;
    if (d >= 1) {
        appendInt(out, d);
        out += "d, ";
        appendInt(out, h - 24 * d);
        out += "h, ";
        appendInt(out, m);
        out += 'm';
    } else if (h == 0) {
        if (m != 0) {
            appendInt(out, m);
            out += "m, ";
        }
        appendInt(out, s % 60);
        out += 's';
    } else {
        appendInt(out, h);
        out += "h, ";
        appendInt(out, m);
        out += 'm';
    }
}

void appendDisconnectedDuration(std::string& out, std::int64_t seconds) {
    const std::int64_t s = seconds < 0 ? 0 : seconds;
    if (s < 3600 && s / 60 >= 5) {
        appendInt(out, s / 60);
        out += 'm';
    } else {
        appendDuration(out, s);
    }
}

constexpr const char* kDash = "-";
constexpr const char* kNotAvailable = "n/a";

int compareInts(long long a, long long b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// A share of `part` in `part + rest`, in percent; 0 when both are 0. A
// stream that lost every packet reads 100 %, not 0 %.
double lossPercent(std::uint64_t lost, std::uint64_t delivered) {
    const std::uint64_t total = lost + delivered;
    return total == 0 ? 0.0 : static_cast<double>(lost) * 100.0 / static_cast<double>(total);
}

struct StreamColumns {
    StatisticsColumn rate;
    StatisticsColumn lossSecond;
    StatisticsColumn lossMinute;
    StatisticsColumn lossLogin;
    StatisticsColumn jitter;
};

constexpr StreamColumns kSendColumns{StatisticsColumn::SendRate, StatisticsColumn::SendLossSecond,
                                     StatisticsColumn::SendLossMinute,
                                     StatisticsColumn::SendLossLogin, StatisticsColumn::SendJitter};
constexpr StreamColumns kReceiveColumns{
    StatisticsColumn::ReceiveRate, StatisticsColumn::ReceiveLossSecond,
    StatisticsColumn::ReceiveLossMinute, StatisticsColumn::ReceiveLossLogin,
    StatisticsColumn::ReceiveJitter};

struct StreamRecord {
    StreamHistory::Sample sample;
    std::int16_t jitterPeak;
    std::int16_t jitterBuffer;
};

// Appends a row's cells, in column order, to its one text.
class CellWriter {
public:
    explicit CellWriter(StatisticsRow& row)
        : row_(row) {
        // About the longest row, so the text grows once.
        row_.texts.reserve(192);
    }
    std::string& text() { return row_.texts; }
    // The cell of `column` is what was appended since the previous one.
    void end(StatisticsColumn column) {
        row_.ends[static_cast<std::size_t>(column)] = static_cast<std::uint32_t>(row_.texts.size());
    }
    void cell(StatisticsColumn column, std::string_view text) {
        row_.texts += text;
        end(column);
    }

private:
    StatisticsRow& row_;
};

void raise(Severity& severity, Severity atLeast) {
    if (static_cast<int>(severity) < static_cast<int>(atLeast)) {
        severity = atLeast;
    }
}

// One stream's five cells; true when its loss raises the row's severity.
bool fillStream(CellWriter& w, StreamHistory& history, const StreamRecord& record,
                const StreamColumns& columns, bool sinceLoginCounts) {
    const StreamHistory::Figures figures = history.add(record.sample);
    const LossFigures& loss = figures.loss;
    std::string& t = w.text();
    if (figures.bytes != 0) {
        appendFixed(t, static_cast<double>(static_cast<std::uint32_t>(figures.bytes * 8u)) / 1000.0,
                    3, 6);
    } else {
        t += kDash;
    }
    w.end(columns.rate);
    if (figures.bytes != 0 || loss.lastSecond != 0 || loss.lastMinute != 0 ||
        loss.sinceLogin >= 0.1) {
        appendFixed(t, loss.lastSecond, 2, 3);
        w.end(columns.lossSecond);
        appendFixed(t, loss.lastMinute, 2, 3);
        w.end(columns.lossMinute);
        appendFixed(t, loss.sinceLogin, 2, 3);
        w.end(columns.lossLogin);
    } else {
        w.cell(columns.lossSecond, kDash);
        w.cell(columns.lossMinute, kDash);
        w.cell(columns.lossLogin, kDash);
    }
    if (record.jitterPeak == S::kMsNotAvailable) {
        t += kNotAvailable;
    } else if (figures.bytes != 0) {
        appendInt(t, record.jitterPeak);
    } else {
        t += kDash;
    }
    t += " (";
    if (record.jitterBuffer == S::kMsNotAvailable) {
        t += kNotAvailable;
    } else {
        appendInt(t, record.jitterBuffer);
    }
    t += ')';
    w.end(columns.jitter);
    return loss.lastSecond != 0 || loss.lastMinute != 0 ||
           (sinceLoginCounts && loss.sinceLogin >= 0.1);
}

void dashStream(CellWriter& w, const StreamColumns& columns) {
    for (const StatisticsColumn c : {columns.rate, columns.lossSecond, columns.lossMinute,
                                     columns.lossLogin, columns.jitter}) {
        w.cell(c, kDash);
    }
}

bool shownByType(int clientType, const StatisticsFilter& filter) {
    if (model::isControlPanel(clientType)) {
        return filter.controlPanels;
    }
    if (model::isDeviceInterface(clientType)) {
        return filter.deviceInterfaces;
    }
    if (model::isSipDevice(clientType)) {
        return filter.sipDevices;
    }
    return true;
}

// Fills `row`, which starts empty.
void buildRow(StatisticsRow& row, const model::LabelInfo* info, int clientIndex, int clientType,
              const S& record, std::int64_t now, StatisticsHistory::Client& history,
              bool debugFigures) {
    using C = StatisticsColumn;
    row.clientIndex = clientIndex;
    row.typeClass = model::clientTypeSortClass(clientType);
    row.online = record.online();
    const std::int64_t lastChange = record.get(S::kLastChangeTime);
    row.lastChangeLow = static_cast<std::uint32_t>(lastChange);

    Severity severity = row.online ? Severity::Online : Severity::None;

    CellWriter w(row);
    std::string& t = w.text();
    // The short name up to its colon.
    if (const auto parts = model::clientTypeParts(clientType)) {
        t += parts->kind;
    }
    w.end(C::TypeShort);
    const bool labelTextsSame = info != nullptr && history.labelTextsKnown &&
                                std::memcmp(history.labelTexts.data(),
                                            info->data() + kLabelTextsBegin, kLabelTextBytes) == 0;
    if (!labelTextsSame) {
        history.nameText.clear();
        history.descriptionText.clear();
        appendClientColumnText(history.nameText, info);
        model::LabelTable::AppendDescription(history.descriptionText, info);
        history.labelTextsKnown = info != nullptr;
        if (info != nullptr) {
            std::memcpy(history.labelTexts.data(), info->data() + kLabelTextsBegin,
                        kLabelTextBytes);
        }
    }
    w.cell(C::Client, history.nameText);
    w.cell(C::State, row.online ? "On-Line" : "Off-Line");
    if (lastChange != 0) {
        appendDuration(t, now - lastChange);
    }
    w.end(C::Duration);

    if (!row.online && !history.receive.cleared()) {
        history.send.clear();
        history.receive.clear();
    }

    const std::int32_t events = record.get(S::kDisconnectEvents);
    if (events >= 1) {
        std::int64_t disconnected = record.get(S::kDisconnectedSeconds);
        if (!row.online) {
            disconnected += now - lastChange;
            raise(severity, Severity::Disconnected);
        }
        appendInt(t, events);
        w.end(C::DisconnectEvents);
        appendDisconnectedDuration(t, disconnected);
        w.end(C::DisconnectedTime);
    } else {
        w.cell(C::DisconnectEvents, kDash);
        w.cell(C::DisconnectedTime, kDash);
    }

    if (row.online) {
        const StreamRecord send{{record.get(S::kSendBytesAfterEncoding),
                                 record.get(S::kSendDelivered), record.get(S::kSendLost)},
                                record.get(S::kSendJitterPeakMs),
                                record.get(S::kSendJitterBufferMs)};
        const StreamRecord receive{{record.get(S::kReceiveBytesBeforeDecoding),
                                    record.get(S::kReceiveDelivered), record.get(S::kReceiveLost)},
                                   record.get(S::kReceiveJitterPeakMs),
                                   record.get(S::kReceiveJitterBufferMs)};
        if (fillStream(w, history.send, send, kSendColumns, false)) {
            raise(severity, Severity::Loss);
        }
        if (fillStream(w, history.receive, receive, kReceiveColumns, true)) {
            raise(severity, Severity::Loss);
        }
    } else {
        dashStream(w, kSendColumns);
        dashStream(w, kReceiveColumns);
    }

    const int load = record.get(S::kProcessorPercent);
    if (!row.online) {
        t += kDash;
    } else if (load == S::kPercentNotAvailable) {
        t += kNotAvailable;
    } else {
        appendPercent(t, load);
        if (debugFigures) {
            t += " (";
            appendPercent(t, record.get(S::kSecondProcessorPercent));
            t += ')';
        }
    }
    w.end(C::Cpu);

    const int battery = record.get(S::kBatteryPercent);
    if (reportsNoDeviceFigures(clientType)) {
        t += kNotAvailable;
    } else if (!row.online) {
        t += kDash;
    } else if (battery == S::kPercentNotAvailable) {
        t += kNotAvailable;
    } else {
        appendPercent(t, battery);
        const auto state = static_cast<model::BatteryState>(record.get(S::kBatteryState));
        if (state == model::BatteryState::Discharging) {
            t += "(-)";
        } else if (state == model::BatteryState::Charging ||
                   state == model::BatteryState::ChargingToo) {
            t += "(+)";
        }
        row.showsBatteryPercent = true;
    }
    w.end(C::Battery);
    row.batteryKey =
        row.online && (model::isControlPanel(clientType) || model::isDeviceInterface(clientType))
            ? battery
            : 255;

    if (const std::uint32_t address = record.get(S::kAddress);
        address != 0 && address != history.address) {
        history.address = address;
        history.addressText = addressText(address);
    }
    w.cell(C::Address, history.addressText);
    if (reportsNoDeviceFigures(clientType)) {
        t += kNotAvailable;
    } else {
        if (const std::uint32_t packed = record.get(S::kVersion);
            packed != 0 && packed != history.version) {
            history.version = packed;
            history.versionText = model::clientVersionText(packed);
        }
        t += history.versionText;
    }
    w.end(C::Version);
    w.cell(C::Description, history.descriptionText);

    const auto debugCell = [&](StatisticsColumn column, int value) {
        // Only /Debug shows these columns: without it they stay empty.
        if (!debugFigures) {
        } else if (row.online) {
            appendInt(t, value);
        } else {
            t += kDash;
        }
        w.end(column);
    };
    debugCell(C::Rabap, record.get(S::kRabap));
    debugCell(C::Sabap, record.get(S::kSabap));
    debugCell(C::Underrun, record.get(S::kUnderrunCount));
    debugCell(C::Clipping, record.get(S::kClippingCount));
    debugCell(C::Rapdfrs, record.get(S::kRapdfrs));

    history.severity = severity;
    row.severity = severity;
}

int compareKeys(const StatisticsRow& a, const StatisticsRow& b, StatisticsColumn column) {
    const auto caseBlind = [&](StatisticsColumn c) {
        return model::compareCaseBlind(a.cell(c), b.cell(c));
    };
    int result = 0;
    switch (column) {
    case StatisticsColumn::TypeShort:
        result = compareInts(a.typeClass, b.typeClass);
        return result != 0 ? result : caseBlind(StatisticsColumn::Client);
    case StatisticsColumn::Client:
    case StatisticsColumn::Address:
    case StatisticsColumn::Description:
        return caseBlind(column);
    case StatisticsColumn::State:
        result = compareInts(a.online ? 0 : 1, b.online ? 0 : 1);
        return result != 0 ? result : caseBlind(StatisticsColumn::Client);
    case StatisticsColumn::Duration:
        // The later change is the shorter time in the state.
        result = compareInts(b.lastChangeLow, a.lastChangeLow);
        return result != 0 ? result : caseBlind(StatisticsColumn::Client);
    case StatisticsColumn::Battery:
        result = compareInts(a.batteryKey, b.batteryKey);
        return result != 0 ? result : caseBlind(StatisticsColumn::Client);
    case StatisticsColumn::Version:
        return a.cell(column).compare(b.cell(column));
    default:
        return 0;
    }
}

} // namespace

const char* const kStatisticsLegend = "DEC:\tDisconnect Event Count     \n"
                                      "DSCD:\tDisconnect State Cumulative Duration     \n"
                                      "SARAE:\tSend Audio Rate After Encoding (Kbps)     \n"
                                      "SAPLLS:\tSend Audio Packet Loss Last Second (%)     \n"
                                      "SAPLLM:\tSend Audio Packet Loss Last Minute (%)     \n"
                                      "SAPLSL:\tSend Audio Packet Loss Since Login (%)     \n"
                                      "SA Jitter: \tSend Audio Packet Jitter (ms) *     \n"
                                      "RARBD:\tReceive Audio Rate Before Decoding (Kbps)     \n"
                                      "RAPLLS:\tReceive Audio Packet Loss Last Second (%)     \n"
                                      "RAPLLM:\tReceive Audio Packet Loss Last Minute (%)     \n"
                                      "RAPLSL:\tReceive Audio Packet Loss Since Login (%)     \n"
                                      "RA Jitter: \tReceive Audio Packet Jitter (ms) *     \n"
                                      "\n"
                                      "* The first jitter value is highest network jitter       \n"
                                      "  recorded in the last second and the second jitter      \n"
                                      "  value is the current jitter buffer size.\n";

std::array<StatisticsColumnSpec, kStatisticsColumnCount> statisticsColumns(bool debug) {
    return {{
        {"", 40},
        {"Client", 150},
        {"State", 60},
        {"Duration", 90},
        {"DEC", 40},
        {"DSCD", 70},
        {"SARAE", 55},
        {"SAPLLS", 55},
        {"SAPLLM", 55},
        {"SAPLSL", 55},
        {"SA Jitter", 60},
        {"RARBD", 55},
        {"RAPLLS", 55},
        {"RAPLLM", 55},
        {"RAPLSL", 55},
        {"RA Jitter", 60},
        {"CPU", debug ? 80 : 40},
        {"Battery", 0},
        {"IP Address", 100},
        {"Version", 115},
        {"Description", 195},
        {"RABAP", 55},
        {"SABAP", 55},
        {"Underrun", 55},
        {"Clipping", 55},
        {"RAPDFRS", 55},
    }};
}

std::string clientTypeKindText(int clientType) {
    const auto parts = model::clientTypeParts(clientType);
    return parts ? std::string(parts->kind) : std::string();
}

std::string clientColumnText(const model::LabelTable& labels, int label) {
    std::string name;
    appendClientColumnText(name, labels.Find(label));
    return name;
}

void appendClientColumnText(std::string& out, const model::LabelInfo* label) {
    model::LabelTable::AppendDisplayName(out, label);
    if (label != nullptr && !label->empty(model::LabelInfo::kListenOnlyName)) {
        out += " / ";
        label->appendTo(out, model::LabelInfo::kListenOnlyName);
        out += ' ';
    }
}

std::string addressText(std::uint32_t address) {
    return format("%u.%u.%u.%u", address & 0xFFu, (address >> 8) & 0xFFu, (address >> 16) & 0xFFu,
                  (address >> 24) & 0xFFu);
}

bool reportsNoDeviceFigures(int clientType) {
    return model::isSipDevice(clientType) || model::isVideoSource(clientType);
}

std::string durationText(std::int64_t seconds) {
    std::string text;
    appendDuration(text, seconds);
    return text;
}

std::string disconnectedDurationText(std::int64_t seconds) {
    std::string text;
    appendDisconnectedDuration(text, seconds);
    return text;
}

std::optional<Rgb> severityColour(Severity severity) {
    switch (severity) {
    case Severity::Online:
        return Rgb{0, 100, 0};
    case Severity::Loss:
        return Rgb{255, 128, 0};
    case Severity::Disconnected:
        return Rgb{220, 0, 0};
    case Severity::None:
        break;
    }
    return std::nullopt;
}

StreamHistory::Figures StreamHistory::add(const Sample& sample) {
    // The first sample after a clear has no step. Whether a previous sample
    // exists decides it, not whether a counter was 0: a stream's first lost
    // packets count like any others. Counters step modulo 2^32.
    const auto step = [this](std::uint32_t current, std::uint32_t previous) {
        return cleared_ ? 0u : current - previous;
    };
    Figures figures;
    figures.bytes = step(sample.bytes, previous_.bytes);
    const std::uint32_t delivered = step(sample.delivered, previous_.delivered);
    const std::uint32_t lost = step(sample.lost, previous_.lost);
    previous_ = sample;

    Pair& slot = ring_[writeIndex_];
    sumDelivered_ -= slot.delivered;
    sumLost_ -= slot.lost;
    slot = {delivered, lost};
    sumDelivered_ += delivered;
    sumLost_ += lost;
    writeIndex_ = (writeIndex_ + 1) % kRingSize;

    figures.loss.lastSecond = lossPercent(lost, delivered);
    figures.loss.lastMinute = lossPercent(sumLost_, sumDelivered_);
    figures.loss.sinceLogin = lossPercent(sample.lost, sample.delivered);
    cleared_ = false;
    return figures;
}

void StreamHistory::clear() {
    *this = StreamHistory{};
}

StatisticsHistory::StatisticsHistory()
    : clients_(model::StatisticsTable::kClients) {}

void StatisticsHistory::clearAll() {
    for (Client& c : clients_) {
        c.send.clear();
        c.receive.clear();
    }
}

void StatisticsHistory::clear(int clientIndex) {
    if (clientIndex >= 0 && static_cast<std::size_t>(clientIndex) < clients_.size()) {
        Client& c = clients_[static_cast<std::size_t>(clientIndex)];
        c.send.clear();
        c.receive.clear();
    }
}

void StatisticsHistory::resetAll() {
    for (Client& c : clients_) {
        c = Client{};
    }
}

std::vector<StatisticsRow> refreshStatistics(const model::LabelTable& labels,
                                             const model::StatisticsTable& table,
                                             StatisticsHistory& history,
                                             const StatisticsFilter& filter, bool debugFigures) {
    const std::int64_t now = table.get(model::StatisticsTable::kServerTime);
    const std::vector<int> indexes = model::clientIndexesInOrder(labels);
    std::vector<StatisticsRow> rows;
    rows.reserve(indexes.size());
    for (const int index : indexes) {
        if (index < 0 || static_cast<std::size_t>(index) >= model::StatisticsTable::kClients) {
            continue;
        }
        const model::LabelInfo* label = labels.Find(labels.ClientLabelNumber(index));
        const int type = label != nullptr ? label->get(model::LabelInfo::kClientType) : 0;
        const S record = table.client(static_cast<std::size_t>(index));
        // Built in its place in the list, and taken back when hidden.
        StatisticsRow& row = rows.emplace_back();
        buildRow(row, label, index, type, record, now, history.client(index), debugFigures);
        const bool seen = record.get(S::kLastChangeTime) != 0;
        if (!(seen || filter.unusedClients) || !shownByType(type, filter)) {
            rows.pop_back();
        }
    }
    return rows;
}

int compareStatisticsRows(const StatisticsRow& a, const StatisticsRow& b, int column) {
    const int last = static_cast<int>(kStatisticsColumnCount) - 1;
    const int result =
        column < 0 || column > last ? 0 : compareKeys(a, b, static_cast<StatisticsColumn>(column));
    return result != 0 ? result : compareInts(a.clientIndex, b.clientIndex);
}

TextTableView statisticsTableView(std::span<const StatisticsRow> rows, bool debugColumns) {
    const std::size_t count =
        debugColumns ? kStatisticsColumnCount : static_cast<std::size_t>(kFirstDebugColumn);
    TextTableView table;
    for (const StatisticsColumnSpec& spec : statisticsColumns(debugColumns)) {
        if (table.headers.size() == count) {
            break;
        }
        table.headers.emplace_back(*spec.title != '\0' ? spec.title : kTypeExportHeader);
    }
    table.rows = rows.size();
    table.cells.reserve(rows.size() * count);
    for (const StatisticsRow& row : rows) {
        for (std::size_t c = 0; c < count; ++c) {
            table.cells.push_back(row.cell(c));
        }
    }
    return table;
}

} // namespace mirx::reports
