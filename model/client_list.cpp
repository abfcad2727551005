#include "model/client_list.h"

#include "model/client_types.h"
#include "model/typed_text.h"

#include <algorithm>
#include <string_view>

namespace mirx::model {
namespace {

using L = LabelInfo;

constexpr const char* kYes = "Yes";
constexpr const char* kNo = "No";
constexpr const char* kNotApplicable = "-";

const char* yesNo(bool on) {
    return on ? kYes : kNo;
}

std::size_t at(ClientColumn column) {
    return static_cast<std::size_t>(column);
}

std::string templateCell(const LabelTable& labels, std::int16_t reference) {
    return reference == kNoLabel ? std::string(kNoTemplateCell) : labels.DisplayName(reference);
}

int compareInts(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareText(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareKeys(const ClientRow& a, const ClientRow& b, ClientColumn column) {
    const auto caseBlind = [&](ClientColumn c) {
        return compareCaseBlind(a.cell(c), b.cell(c));
    };
    int result = 0;
    switch (column) {
    case ClientColumn::TypeClass:
        result = compareInts(clientTypeSortClass(a.clientType), clientTypeSortClass(b.clientType));
        return result != 0 ? result : compareKeys(a, b, ClientColumn::TalkListenName);
    case ClientColumn::Type:
        result = compareInts(a.clientType, b.clientType);
        return result != 0 ? result : compareKeys(a, b, ClientColumn::TalkListenName);
    case ClientColumn::TalkListenName:
    case ClientColumn::ListenOnlyName:
        return caseBlind(column);
    case ClientColumn::LoginName:
        result = caseBlind(column);
        return result != 0 ? result : compareKeys(a, b, ClientColumn::LoginPassword);
    case ClientColumn::LoginPassword:
        // The shown text: a masked password must not leak its order.
        result = caseBlind(column);
        return result != 0 ? result : compareKeys(a, b, ClientColumn::TalkListenName);
    case ClientColumn::Description:
        return compareText(a.cell(column), b.cell(column));
    case ClientColumn::PartyLine:
        result = compareInts(a.partyLineOperation, b.partyLineOperation);
        return result != 0 ? result : compareKeys(a, b, ClientColumn::LoginName);
    case ClientColumn::Latchable:
        result = compareInts(a.latchDisable, b.latchDisable);
        return result != 0 ? result : compareKeys(a, b, ClientColumn::LoginName);
    default:
        return compareInts(a.clientIndex, b.clientIndex);
    }
}

bool needs(ColumnReveal reveal, const std::string& cell) {
    switch (reveal) {
    case ColumnReveal::Never:
        return false;
    case ColumnReveal::NotBlank:
        return cell.find_first_not_of(' ') != std::string::npos;
    case ColumnReveal::ShowsYes:
        return cell == kYes;
    case ColumnReveal::ShowsNo:
        return cell == kNo;
    }
    return false;
}

} // namespace

int clientTypeSortClass(int clientType) {
    if (isControlPanel(clientType)) {
        return 10;
    }
    if (isDeviceInterface(clientType)) {
        return 50;
    }
    if (isSipDevice(clientType)) {
        return 100;
    }
    return 150;
}

std::array<ClientColumnSpec, kClientColumnCount> clientListColumns(bool rtsTrunking) {
    using R = ColumnReveal;
    std::array<ClientColumnSpec, kClientColumnCount> columns = {{
        {"", 40, R::Never, 40},
        {"Type", 130, R::Never, 130},
        {"Talk/Listen Name", 98, R::Never, 98},
        {"Listen Only Name", 0, R::NotBlank, 98},
        {"Login Name", 95, R::Never, 95},
        {"Login Password", 95, R::Never, 95},
        {"Description", 195, R::Never, 195},
        {"PL", 0, R::ShowsYes, 40},
        {"Latchable", 0, R::ShowsNo, 61},
        {"IFB", 0, R::ShowsYes, 40},
        {"ISO", 0, R::ShowsYes, 40},
        {"RTS Alpha", 98, R::Never, 98},
        {"Ext Name (Short)", 0, R::Never, 0},
        {"Restrict", 0, R::Never, 0},
        {"Port", 35, R::Never, 35},
        {"Selector Assignments Template", 0, R::NotBlank, 98},
        {"Audio Settings Template", 0, R::NotBlank, 98},
        {"Options Template", 0, R::NotBlank, 98},
    }};
    if (rtsTrunking) {
        columns[at(ClientColumn::ExternalLong)] = {"Ext Alpha (8U)", 98, R::Never, 98};
        columns[at(ClientColumn::ExternalShort)] = {"Ext Alpha (4)", 98, R::Never, 98};
        columns[at(ClientColumn::Restrict)] = {"Restrict", 61, R::Never, 61};
    }
    return columns;
}

ClientRow buildClientRow(const LabelTable& labels, const ClientStore& clients, int clientIndex,
                         const ClientListContext& context) {
    ClientRow row;
    row.clientIndex = clientIndex;
    auto& cells = row.cells;
    const LabelInfo* label = labels.Find(labels.ClientLabelNumber(clientIndex));
    const auto credentials = clients.credentials(clientIndex);
    // Records beyond the credentials count were never received.
    if (credentials && static_cast<std::size_t>(clientIndex) < clients.credentialsCount()) {
        cells[at(ClientColumn::LoginName)] = credentials->get(ClientCredentials::kLoginName);
        cells[at(ClientColumn::LoginPassword)] =
            context.masterAdministrator ? credentials->get(ClientCredentials::kPassword)
                                        : std::string(kMaskedPassword);
    }
    cells[at(ClientColumn::Port)] = std::to_string(clientIndex + 1);
    if (label == nullptr) {
        cells[at(ClientColumn::TalkListenName)] = LabelTable::kNoLabelText;
        cells[at(ClientColumn::Description)] = LabelTable::kInvalidDescription;
        for (const auto column :
             {ClientColumn::SelectorAssignmentsTemplate, ClientColumn::AudioSettingsTemplate,
              ClientColumn::OptionsTemplate}) {
            cells[at(column)] = kNoTemplateCell;
        }
        return row;
    }
    const int number = label->get(L::kLabelNumber);
    row.labelNumber = number;
    row.clientType = label->get(L::kClientType);
    row.partyLineOperation = label->testBit(L::kClientFlags, L::kPartyLineOperationBit);
    row.latchDisable = label->testBit(L::kSelectorFlags, L::kLatchDisableTalkBit);

    if (const auto parts = clientTypeParts(row.clientType)) {
        cells[at(ClientColumn::TypeClass)] = std::string(parts->kind);
        cells[at(ClientColumn::Type)] = std::string(parts->name);
    }
    cells[at(ClientColumn::TalkListenName)] = labels.DisplayName(number);
    cells[at(ClientColumn::ListenOnlyName)] = label->get(L::kListenOnlyName);
    cells[at(ClientColumn::Description)] = label->get(L::kDescription);

    const bool panel = isControlPanel(row.clientType);
    const auto flag = [&](unsigned bit) {
        return panel ? kNotApplicable : yesNo(label->testBit(L::kClientFlags, bit));
    };
    cells[at(ClientColumn::PartyLine)] = flag(L::kPartyLineOperationBit);
    cells[at(ClientColumn::Latchable)] = yesNo(!row.latchDisable);
    cells[at(ClientColumn::Ifb)] = flag(L::kIfbDestinationBit);
    cells[at(ClientColumn::Iso)] = flag(L::kIsoDestinationBit);

    if (context.rtsTrunking) {
        // Both columns are shown under their external name headers.
        cells[at(ClientColumn::ExternalLong)] = label->get(L::kExternalLongName);
        cells[at(ClientColumn::ExternalShort)] = label->get(L::kExternalShortName);
    } else if (label->get(L::kRtsFunctionType) != L::kNoRtsFunctionType &&
               label->get(L::kRtsFunctionNumber) != L::kNoRtsFunctionNumber) {
        cells[at(ClientColumn::ExternalLong)] = label->get(L::kExternalLongName);
    }
    cells[at(ClientColumn::Restrict)] = yesNo(label->get(L::kAssignmentRestrictions) != 0);

    cells[at(ClientColumn::SelectorAssignmentsTemplate)] =
        templateCell(labels, label->get(L::kSelectorAssignmentsTemplate));
    cells[at(ClientColumn::AudioSettingsTemplate)] =
        templateCell(labels, label->get(L::kAudioSettingsTemplate));
    cells[at(ClientColumn::OptionsTemplate)] =
        templateCell(labels, label->get(L::kOptionsTemplate));
    return row;
}

std::vector<int> clientIndexesInOrder(const LabelTable& labels) {
    std::vector<int> indexes;
    indexes.reserve(static_cast<std::size_t>(labels.ClientCount()));
    int reference = kNoLabel;
    for (std::size_t visited = 0;
         visited < kClientsPerSystem &&
         labels.Next(reference, static_cast<int>(LabelKind::Client), false) != kNoLabel;
         ++visited) {
        if (const LabelInfo* label = labels.Find(reference)) {
            indexes.push_back(label->get(L::kIndex));
        }
    }
    return indexes;
}

std::vector<ClientRow> buildClientRows(const LabelTable& labels, const ClientStore& clients,
                                       const ClientListContext& context) {
    std::vector<ClientRow> rows;
    const std::vector<int> indexes = clientIndexesInOrder(labels);
    rows.reserve(indexes.size());
    for (const int index : indexes) {
        rows.push_back(buildClientRow(labels, clients, index, context));
    }
    return rows;
}

int compareClientRows(const ClientRow& a, const ClientRow& b, int column) {
    const int last = static_cast<int>(kClientColumnCount) - 1;
    const auto key = static_cast<ClientColumn>(std::clamp(column, 0, last));
    const int result = compareKeys(a, b, key);
    return result != 0 ? result : compareInts(a.clientIndex, b.clientIndex);
}

std::array<int, kClientColumnCount>
clientColumnWidths(std::span<const ClientColumnSpec, kClientColumnCount> columns,
                   std::span<const ClientRow> rows) {
    std::array<int, kClientColumnCount> widths{};
    for (std::size_t c = 0; c < kClientColumnCount; ++c) {
        const ClientColumnSpec& spec = columns[c];
        const bool needed = std::any_of(rows.begin(), rows.end(), [&](const ClientRow& row) {
            return needs(spec.reveal, row.cells[c]);
        });
        widths[c] = needed ? spec.revealedWidth : spec.width;
    }
    return widths;
}

} // namespace mirx::model
