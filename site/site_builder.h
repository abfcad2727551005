#pragma once

#include "model/bit_set.h"
#include "model/client_records.h"
#include "model/label_info.h"
#include "model/membership_records.h"
#include "model/selector_assignments.h"
#include "site/site.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>

// Short hands for putting a site together: the built-in sites and the tests
// describe labels and memberships in a line each instead of field by field.

namespace mirx::site {

struct LabelSpec {
    int number = model::kFirstLabelNumber;
    model::SystemClass systemClass = model::SystemClass::Local;
    int system = 0;
    int kind = 0; // LabelKind for local labels, RTS type or Delec channel
    int index = 0;
    int clientType = 0;
    std::string_view name;        // talk/listen name
    std::string_view description; //
};

// A label as the console creates one: every template link and the fourth
// link -1, no RTS function.
model::LabelInfo makeLabel(const LabelSpec& spec);

// Stores the label under its number, replacing one that had it.
void putLabel(Site& site, const model::LabelInfo& label);

// A local client of system 0 with its credentials; returns its label number.
int addClient(Site& site, int number, int index, int clientType, std::string_view name,
              std::string_view description, std::string_view login, std::string_view password);
// A party line or fixed group of local system 0; returns its label number.
int addPartyLine(Site& site, int number, int index, std::string_view name,
                 std::string_view description);
int addFixedGroup(Site& site, int number, int index, std::string_view name,
                  std::string_view description);

model::ClientCredentials makeCredentials(int index, std::string_view login,
                                         std::string_view password);

// Appends a membership to the party line with label number `partyLine`,
// creating its record on first use.
void addMember(Site& site, int partyLine, int member, model::MembershipMode mode);

model::ClientBitSet clientSet(std::initializer_list<int> clients);

// A selector for a label reference, or a layout mark (spacer, row break...).
model::SelectorEntry selector(int label, std::uint8_t function, std::uint8_t flags = 0);
model::SelectorEntry layoutMark(std::uint8_t code);

model::SelectorAssignments selectorList(std::initializer_list<model::SelectorEntry> entries,
                                        int selectorsPerRow = 0);

} // namespace mirx::site
