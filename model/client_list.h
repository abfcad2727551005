#pragma once

#include "model/client_store.h"
#include "model/label_table.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

// The client list as plain data: one row per client of local system 0 with
// every cell's text, the columns with their widths and when a hidden column
// is shown, and the one compare function the list sorts by.

namespace mirx::model {

enum class ClientColumn : int {
    TypeClass = 0,
    Type,
    TalkListenName,
    ListenOnlyName,
    LoginName,
    LoginPassword,
    Description,
    PartyLine,
    Latchable,
    Ifb,
    Iso,
    ExternalLong,
    ExternalShort,
    Restrict,
    Port,
    SelectorAssignmentsTemplate,
    AudioSettingsTemplate,
    OptionsTemplate,
};

inline constexpr std::size_t kClientColumnCount = 18;

// When a column that starts hidden (width 0) gets its width.
enum class ColumnReveal : std::uint8_t {
    Never,    // keeps its initial width
    NotBlank, // a row's cell holds more than blanks
    ShowsYes, // a row's cell reads "Yes"
    ShowsNo,  // a row's cell reads "No"
};

struct ClientColumnSpec {
    // Untranslated.
    const char* title;
    int width;
    ColumnReveal reveal;
    // The width once a row needs the column.
    int revealedWidth;
};

// What the list shows depends on who is logged in and on the server's
// trunking mode.
struct ClientListContext {
    // Privilege level 1: the passwords are shown.
    bool masterAdministrator = false;
    bool rtsTrunking = false;
};

inline constexpr const char* kMaskedPassword = "********";
inline constexpr const char* kNoTemplateCell = " ";

std::array<ClientColumnSpec, kClientColumnCount> clientListColumns(bool rtsTrunking);

struct ClientRow {
    int clientIndex = -1;
    int labelNumber = kNoLabel;
    std::array<std::string, kClientColumnCount> cells;
    // Sort keys that are not a cell's text.
    int clientType = 0;
    bool partyLineOperation = false;
    bool latchDisable = false;

    const std::string& cell(ClientColumn column) const {
        return cells[static_cast<std::size_t>(column)];
    }
};

// The row of one client; a client index without a label still gets a row
// with the fall-back texts.
ClientRow buildClientRow(const LabelTable& labels, const ClientStore& clients, int clientIndex,
                         const ClientListContext& context);

// Client indexes of every client of local system 0, in canonical order.
std::vector<int> clientIndexesInOrder(const LabelTable& labels);

// Every client of local system 0 in canonical label order.
std::vector<ClientRow> buildClientRows(const LabelTable& labels, const ClientStore& clients,
                                       const ClientListContext& context);

// Negative, zero or positive as `a` sorts before, with or after `b` in
// ascending order of `column`, with each column's fall-backs; rows equal on
// every key are ordered by client index, so the order is total and a
// second click reverses it exactly.
int compareClientRows(const ClientRow& a, const ClientRow& b, int column);

// The width of every column for these rows: the initial width, or the
// revealed width when some row needs the column.
std::array<int, kClientColumnCount>
clientColumnWidths(std::span<const ClientColumnSpec, kClientColumnCount> columns,
                   std::span<const ClientRow> rows);

// Class of a client type as the first column sorts it: 10 control panel,
// 50 device interface, 100 SIP device, 150 anything else.
int clientTypeSortClass(int clientType);

} // namespace mirx::model
