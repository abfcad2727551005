#include "reports/report_texts.h"

#include "core/utf16.h"
#include "model/client_list.h"
#include "model/label_info.h"
#include "model/typed_text.h"
#include "reports/client_statistics.h"

#include <algorithm>
#include <cstdio>

namespace mirx::reports {
namespace {

using model::LabelInfo;
using model::SelectorEntry;

// A printf "%-W.Ps" / "%W.Ps" field. Widths count UTF-16 code units, as the
// report's text box does; `precision` < 0 means no cut.
void appendField(std::string& out, std::string_view text, std::size_t width, int precision,
                 bool leftAligned) {
    if (precision >= 0) {
        text = text::prefixWithinUtf16Units(text, static_cast<std::size_t>(precision));
    }
    const std::size_t units = text::utf16Length(text);
    const std::size_t pad = units < width ? width - units : 0;
    if (!leftAligned) {
        out.append(pad, ' ');
    }
    out += text;
    if (leftAligned) {
        out.append(pad, ' ');
    }
}

void appendLeft(std::string& out, std::string_view text, std::size_t width) {
    appendField(out, text, width, -1, true);
}

void appendCut(std::string& out, std::string_view text, std::size_t width) {
    appendField(out, text, width, static_cast<int>(width), true);
}

std::string title(const char* what, const std::tm& localTime) {
    return std::string(what) + " as of " + reportTimeStamp(localTime) + "\n";
}

// "      %-20s / %-50s / %s\n": a member, or a client whose record is missing.
void appendLabelLine(std::string& out, const model::LabelTable& labels, int reference) {
    out += "      ";
    appendLeft(out, labels.DisplayName(reference), 20);
    out += " / ";
    appendLeft(out, labels.Description(reference), 50);
    out += " / ";
    out += labels.LabelTypeName(reference, false);
    out += '\n';
}

void appendMissing(std::string& out, const model::LabelTable& labels,
                   const std::vector<int>& missing) {
    if (missing.empty()) {
        return;
    }
    out += "\nMISSING ... " + std::to_string(missing.size()) +
           " clients (no selector assignments arrived)\n\n";
    for (const int client : missing) {
        appendLabelLine(out, labels, client);
    }
}

// Party line index of local system 0 that a label reference names; -1 for
// anything else.
int partyLineIndex(const model::LabelTable& labels, int reference) {
    const LabelInfo* label = labels.Find(reference);
    if (label == nullptr ||
        label->get(LabelInfo::kSystemClass) != static_cast<int>(model::SystemClass::Local) ||
        label->get(LabelInfo::kSystemNumber) != 0 ||
        label->get(LabelInfo::kLabelKind) != static_cast<int>(model::LabelKind::PartyLine)) {
        return -1;
    }
    const int index = label->get(LabelInfo::kIndex);
    return index >= 0 && static_cast<std::size_t>(index) < model::kPartyLinesPerSystem ? index : -1;
}

} // namespace

std::string reportTimeStamp(const std::tm& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::tm reportLocalTime(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    return t;
}

// --- connection status ---

std::vector<ConnectionStatusRow> connectionStatusRows(const model::LabelTable& labels,
                                                      const model::StatisticsTable& statistics) {
    using S = model::ClientStatistics;
    const std::int64_t now = statistics.get(model::StatisticsTable::kServerTime);
    std::vector<ConnectionStatusRow> rows;
    int reference = model::kNoLabel;
    while (labels.Next(reference, static_cast<int>(model::LabelKind::Client), false) !=
           model::kNoLabel) {
        const LabelInfo* label = labels.Find(reference);
        if (label == nullptr) {
            continue;
        }
        const int index = label->get(LabelInfo::kIndex);
        if (index < 0 || static_cast<std::size_t>(index) >= model::StatisticsTable::kClients) {
            continue;
        }
        const S record = statistics.client(static_cast<std::size_t>(index));
        const int clientType = label->get(LabelInfo::kClientType);

        ConnectionStatusRow row;
        row.clientIndex = index;
        row.typeClass = model::clientTypeSortClass(clientType);
        row.displayName = labels.DisplayName(reference);
        row.type = clientTypeKindText(clientType);
        row.client = clientColumnText(labels, reference);
        row.description = labels.Description(reference);
        row.state = record.online() ? "On-Line" : "Off-Line";
        if (const std::int64_t lastChange = record.get(S::kLastChangeTime); lastChange != 0) {
            row.duration = durationText(now - lastChange);
        }
        if (const std::uint32_t address = record.get(S::kAddress); address != 0) {
            row.address = addressText(address);
        }
        if (const std::uint32_t version = record.get(S::kVersion);
            version != 0 && !reportsNoDeviceFigures(clientType)) {
            row.version = model::clientVersionText(version);
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(),
              [](const ConnectionStatusRow& a, const ConnectionStatusRow& b) {
                  if (a.typeClass != b.typeClass) {
                      return a.typeClass < b.typeClass;
                  }
                  const int byName = model::compareCaseBlind(a.displayName, b.displayName);
                  return byName != 0 ? byName < 0 : a.clientIndex < b.clientIndex;
              });
    return rows;
}

std::string connectionStatusLine(const ConnectionStatusRow& row) {
    std::string line;
    appendCut(line, row.type, 5);
    line += "  ";
    appendCut(line, row.client, 20);
    line += "  ";
    appendCut(line, row.description, 50);
    line += "  ";
    appendField(line, row.state, 8, 8, false);
    line += "  ";
    appendField(line, row.duration, 13, 13, false);
    line += "  ";
    appendCut(line, row.address, 15);
    line += "  ";
    appendCut(line, row.version, 30);
    line += '\n';
    return line;
}

std::string connectionStatusReport(const model::LabelTable& labels,
                                   const model::StatisticsTable& statistics,
                                   const std::tm& localTime) {
    std::string text = title("CONNECTION STATUS REPORT", localTime);
    text += "\nType   Client                Description                                         "
            "State     Duration       IP Address       Version\n\n";
    for (const ConnectionStatusRow& row : connectionStatusRows(labels, statistics)) {
        text += connectionStatusLine(row);
    }
    return text;
}

// --- party line membership and selector assignments ---

std::string selectorFunctionText(int function) {
    switch (function) {
    case SelectorEntry::kTalkOnly:
        return "(TALK only)";
    case SelectorEntry::kListenOnly:
        return "(LISTEN only)";
    case SelectorEntry::kSplitTalkListen:
        return "";
    default:
        return "(function " + std::to_string(function) + ")";
    }
}

SelectorReportWriter::SelectorReportWriter(SelectorReport kind, const std::tm& localTime)
    : kind_(kind)
    , text_(title(kind == SelectorReport::PartyLineMembership ? "PARTY LINE MEMBERSHIP REPORT"
                                                              : "SELECTOR ASSIGNMENTS REPORT",
                  localTime)) {
    if (kind_ == SelectorReport::PartyLineMembership) {
        members_.resize(model::kPartyLinesPerSystem);
    }
}

void SelectorReportWriter::add(const model::LabelTable& labels, int client,
                               const model::SelectorAssignments& record) {
    if (kind_ == SelectorReport::PartyLineMembership) {
        addMemberships(labels, client, record);
    } else {
        addSelectors(labels, client, record);
    }
}

void SelectorReportWriter::addMemberships(const model::LabelTable& labels, int client,
                                          const model::SelectorAssignments& record) {
    // No cap: a party line named many times by one client lists every entry.
    std::string line;
    const std::size_t count = record.entryCount();
    for (std::size_t k = 0; k < count; ++k) {
        const SelectorEntry entry = record.entry(k);
        const int function = entry.get(SelectorEntry::kCode);
        if (entry.isLayout() || (function != SelectorEntry::kListenOnly &&
                                 function != SelectorEntry::kSplitTalkListen)) {
            continue;
        }
        const int partyLine = partyLineIndex(labels, entry.get(SelectorEntry::kLabel));
        if (partyLine < 0) {
            continue;
        }
        if (line.empty()) {
            appendLabelLine(line, labels, client);
        }
        Members& members = members_[static_cast<std::size_t>(partyLine)];
        members.lines += line;
        ++members.count;
    }
}

void SelectorReportWriter::addSelectors(const model::LabelTable& labels, int client,
                                        const model::SelectorAssignments& record) {
    const std::size_t count = record.entryCount();
    if (count == 0) {
        return;
    }
    std::string& text = text_;
    const std::string description = labels.Description(client);
    text += "\n'" + labels.DisplayName(client) + "'";
    if (!description.empty()) {
        text += " / " + description;
    }
    text += " / " + labels.LabelTypeName(client, false) + " ... " + std::to_string(count) +
            " selectors\n\n";
    for (std::size_t k = 0; k < count; ++k) {
        const SelectorEntry entry = record.entry(k);
        if (entry.isLayout()) {
            continue;
        }
        const int label = entry.get(SelectorEntry::kLabel);
        text += "      ";
        appendLeft(text, labels.DisplayName(label), 20);
        text += ' ';
        appendLeft(text, selectorFunctionText(entry.get(SelectorEntry::kCode)), 13);
        text += " / ";
        appendLeft(text, labels.Description(label), 50);
        text += " / ";
        text += labels.LabelTypeName(label, false);
        text += '\n';
    }
}

std::string SelectorReportWriter::finish(const model::LabelTable& labels,
                                         const std::vector<int>& missing) {
    for (std::size_t partyLine = 0; partyLine < members_.size(); ++partyLine) {
        const Members& members = members_[partyLine];
        if (members.count == 0) {
            continue;
        }
        const int reference = labels.MapEntry(model::SystemClass::Local, 0,
                                              static_cast<int>(model::LabelKind::PartyLine),
                                              static_cast<int>(partyLine));
        const std::string description = labels.Description(reference);
        text_ += "\n'" + labels.DisplayName(reference) + "'";
        if (!description.empty()) {
            text_ += " / " + description;
        }
        text_ += " ... " + std::to_string(members.count) + " members\n\n";
        text_ += members.lines;
    }
    members_.clear();
    appendMissing(text_, labels, missing);
    return std::move(text_);
}

namespace {

std::string selectorReport(SelectorReport kind, const model::LabelTable& labels,
                           const GatheredSelectors& gathered, const std::tm& localTime) {
    SelectorReportWriter writer(kind, localTime);
    for (const auto& [client, record] : gathered.records) {
        writer.add(labels, client, record);
    }
    return writer.finish(labels, gathered.missing);
}

} // namespace

std::string partyLineMembershipReport(const model::LabelTable& labels,
                                      const GatheredSelectors& gathered, const std::tm& localTime) {
    return selectorReport(SelectorReport::PartyLineMembership, labels, gathered, localTime);
}

std::string selectorAssignmentsReport(const model::LabelTable& labels,
                                      const GatheredSelectors& gathered, const std::tm& localTime) {
    return selectorReport(SelectorReport::SelectorAssignments, labels, gathered, localTime);
}

} // namespace mirx::reports
