#pragma once

#include "model/client_store.h"
#include "model/label_table.h"

#include <optional>
#include <string>

// The checks the add/edit view runs on OK, in order, stopping at the first
// failure. Names are checked as they would be stored (quotes and blanks
// replaced, cut to their field), so what passes is what the server gets.

namespace mirx::model {

inline constexpr const char* kLoginNameRequired = "Login Name required. ";
inline constexpr const char* kTalkListenNameRequired = "Selector Talk/Listen Name required. ";
inline constexpr const char* kListenOnlySameAsTalk =
    "Selector Listen Only Name must be different from the Talk Name for a split function port.";
inline constexpr const char* kLoginNameExists = "Client Login Name already exists";
inline constexpr const char* kTalkListenNameExists = "Selector Talk/Listen Name already exists";
inline constexpr const char* kListenOnlyNameExists = "Selector Listen Only Name already exists";
inline constexpr const char* kRemoteNameExists =
    "Selector Talk/Listen Name already exists in a remote system";
// Captions of the boxes.
inline constexpr const char* kValidationErrorCaption = "Error";
inline constexpr const char* kValidationWarningCaption = "Warning";

// The typed values the checks read.
struct ClientNames {
    // The edited client, -1 for a new one (also when duplicating).
    int clientIndex = -1;
    std::string loginName;
    std::string talkListenName;
    std::string listenOnlyName;
    bool allowAnonymousLogin = false;
};

enum class ClientNameField : std::uint8_t { LoginName, TalkListenName, ListenOnlyName };

struct ClientValidation {
    // The first failure; the view shows it and focuses the field.
    std::optional<std::string> error;
    ClientNameField field = ClientNameField::LoginName;
    // A name matched a label of another system (shown once, before the
    // error if there is one).
    bool remoteWarning = false;

    bool valid() const { return !error; }
};

ClientValidation validateClientNames(const LabelTable& labels, const ClientStore& clients,
                                     const ClientNames& names);

// The names as they are stored: quotes and blanks replaced, cut to the
// field.
std::string storedLoginName(std::string_view typed);
std::string storedSelectorName(std::string_view typed);

} // namespace mirx::model
