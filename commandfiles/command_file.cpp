#include "commandfiles/command_file.h"

#include "commandfiles/calendar.h"
#include "commandfiles/file_access.h"
#include "core/debug_log.h"
#include "core/message_ids.h"
#include "core/message_queue.h"
#include "core/utf16.h"
#include "model/mirror.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace mirx::commandfiles {
namespace {

using model::LabelInfo;
using model::MirrorData;

constexpr std::int16_t kNoIndex = -1;

// Logged for fields the conversion rejects: the code readers of these logs
// know as "invalid parameter".
constexpr unsigned long kInvalidTimeFields = 0x57;

enum class Keyword {
    Description,
    FileVersion,
    TimeAbsolute,
    TimeRelative,
    BlockedListen,
    ForcedListen,
    PartyLine,
    Other,
};

struct KeywordName {
    std::u16string_view text;
    Keyword keyword;
};

constexpr std::array<KeywordName, 7> kKeywords{{
    {u"DESCRIPTION:", Keyword::Description},
    {u"FILE_VERSION:", Keyword::FileVersion},
    {u"TIME_ABSOLUTE:", Keyword::TimeAbsolute},
    {u"TIME_RELATIVE:", Keyword::TimeRelative},
    {u"BLOCKED_LISTEN:", Keyword::BlockedListen},
    {u"FORCED_LISTEN:", Keyword::ForcedListen},
    {u"PARTY_LINE:", Keyword::PartyLine},
}};

Keyword keywordOf(std::u16string_view word) {
    for (const KeywordName& k : kKeywords) {
        if (equalsIgnoringCase(word, k.text)) {
            return k.keyword;
        }
    }
    return Keyword::Other;
}

PartyLineMode modeOf(std::u16string_view word) {
    if (equalsIgnoringCase(word, u"TALK")) {
        return PartyLineMode::Talk;
    }
    if (equalsIgnoringCase(word, u"LISTEN")) {
        return PartyLineMode::Listen;
    }
    if (equalsIgnoringCase(word, u"TALK&LISTEN")) {
        return PartyLineMode::TalkAndListen;
    }
    return PartyLineMode::None;
}

const char* modeText(PartyLineMode mode) {
    switch (mode) {
    case PartyLineMode::Talk:
        return "talk";
    case PartyLineMode::Listen:
        return "listen";
    case PartyLineMode::TalkAndListen:
        return "talk and listen";
    case PartyLineMode::None:
        break;
    }
    return "no mode";
}

const char* operationName(CommandKind kind) {
    switch (kind) {
    case CommandKind::BlockedListenClear:
    case CommandKind::ForcedListenClear:
        return "CLEAR";
    case CommandKind::BlockedListenSet:
    case CommandKind::ForcedListenSet:
        return "SET";
    case CommandKind::PartyLineAdd:
        return "ADD";
    case CommandKind::PartyLineRemove:
        return "REMOVE";
    case CommandKind::None:
        break;
    }
    return "";
}

bool isBlockedListen(CommandKind kind) {
    return kind == CommandKind::BlockedListenClear || kind == CommandKind::BlockedListenSet;
}

// "BLOCKED_LISTEN: SET", as the file writes it.
std::string commandText(CommandKind kind) {
    std::string keyword = "PARTY_LINE:";
    if (isBlockedListen(kind)) {
        keyword = "BLOCKED_LISTEN:";
    } else if (kind == CommandKind::ForcedListenClear || kind == CommandKind::ForcedListenSet) {
        keyword = "FORCED_LISTEN:";
    }
    return keyword + " " + operationName(kind);
}

bool isSet(CommandKind kind) {
    return kind == CommandKind::BlockedListenSet || kind == CommandKind::ForcedListenSet;
}

std::string clientIndexText(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "N%03d", index + 1);
    return text;
}

std::string partyLineIndexText(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "PL%02d", index + 1);
    return text;
}

// "N013 (Camera 1)": the client as the lists show it, named when the
// configuration knows it.
std::string clientText(const MirrorData& d, int index) {
    std::string text = clientIndexText(index);
    const int label = d.labels.ClientLabelNumber(index);
    if (model::isLabelNumber(label)) {
        const std::string name = d.labels.DisplayName(label);
        if (!name.empty()) {
            text += " (" + name + ")";
        }
    } else if (d.labels.ClientCount() > 0) {
        text += " (not in the configuration)";
    }
    return text;
}

int partyLineLabel(const MirrorData& d, int index) {
    return d.labels.MapEntry(model::SystemClass::Local, 0,
                             static_cast<int>(model::LabelKind::PartyLine), index);
}

std::string partyLineText(const MirrorData& d, int index) {
    std::string text = partyLineIndexText(index);
    const int label = partyLineLabel(d, index);
    if (model::isLabelNumber(label)) {
        const std::string name = d.labels.DisplayName(label);
        if (!name.empty()) {
            text += " (" + name + ")";
        }
    } else if (d.labels.PartyLineCount() > 0) {
        text += " (not in the configuration)";
    }
    return text;
}

// The first client label of local system 0, in label-table order, whose
// client's login name matches `name` in any letter case.
std::int16_t findLoginName(const MirrorData& d, std::u16string_view name) {
    int reference = model::kNoLabel;
    while (d.labels.Next(reference, static_cast<int>(model::LabelKind::Client), false) !=
           model::kNoLabel) {
        const LabelInfo* label = d.labels.Find(reference);
        // Without a system 0 the walk goes on into the next local system.
        if (label == nullptr || label->get(LabelInfo::kSystemClass) != 0 ||
            label->get(LabelInfo::kSystemNumber) != 0) {
            break;
        }
        const std::int16_t index = label->get(LabelInfo::kIndex);
        // Index -1 would be the master administrator's record.
        if (index < 0) {
            continue;
        }
        const auto credentials = d.clients.credentials(index);
        if (credentials &&
            equalsIgnoringCase(
                text::toUtf16(credentials->get(model::ClientCredentials::kLoginName)), name)) {
            return index;
        }
    }
    return kNoIndex;
}

// A resolved token: an index, or why there is none.
struct Token {
    std::int16_t index = kNoIndex;
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// Reads the blank-separated tokens of a command's argument text in order.
class ArgumentReader {
public:
    explicit ArgumentReader(std::u16string_view text)
        : text_(text) {}

    // Any one word after any blanks.
    std::u16string_view word() {
        skipBlanks();
        const std::size_t start = position_;
        while (position_ < text_.size() && !isBlank(text_[position_])) {
            ++position_;
        }
        return text_.substr(start, position_ - start);
    }

    // " _client.%hd_", else a login name one blank after the previous token.
    Token client(const model::Mirror& mirror, const std::string& role) {
        if (auto token = indexToken(u"_client.", model::kClientsPerSystem, role)) {
            return *token;
        }
        if (position_ < text_.size() && isBlank(text_[position_])) {
            ++position_;
        }
        const std::size_t start = position_;
        while (position_ < text_.size() && !isBlank(text_[position_])) {
            ++position_;
        }
        const std::u16string_view name = text_.substr(start, position_ - start);
        Token token;
        // An empty word must not find a client whose login name is empty.
        if (name.empty()) {
            token.problem = "the " + role + " is missing";
            return token;
        }
        token.index = mirror.read([&](const MirrorData& d) { return findLoginName(d, name); });
        if (token.index == kNoIndex) {
            token.problem = "no client has the login name '" + toUtf8(name) + "'";
        }
        return token;
    }

    // " _pl.%hd_" and nothing else.
    Token partyLine() {
        if (auto token = indexToken(u"_pl.", model::kPartyLinesPerSystem, "party line")) {
            return *token;
        }
        Token token;
        token.problem = "the party line must be written _pl.N_ (N from 0 to " +
                        std::to_string(model::kPartyLinesPerSystem - 1) + ")";
        return token;
    }

private:
    void skipBlanks() {
        while (position_ < text_.size() && isBlank(text_[position_])) {
            ++position_;
        }
    }

    // Nothing when the text does not start with the prefix and a number;
    // then the position stays where it was.
    std::optional<Token> indexToken(std::u16string_view prefix, std::size_t count,
                                    const std::string& role) {
        std::size_t p = position_;
        while (p < text_.size() && isBlank(text_[p])) {
            ++p;
        }
        if (text_.substr(p, prefix.size()) != prefix) {
            return std::nullopt;
        }
        const std::size_t numberStart = p + prefix.size();
        std::int64_t value = 0;
        std::size_t used = 0;
        if (scanFormatted(text_.substr(numberStart), "%hd", {&value, 1}, &used) != 1) {
            return std::nullopt;
        }
        p = numberStart + used;
        const std::string written = toUtf8(text_.substr(position_, p - position_));
        Token token;
        if (p >= text_.size() || text_[p] != u'_') {
            position_ = p;
            token.problem =
                "the " + role + " token '" + trimmed(written) + "' needs its closing underscore";
            return token;
        }
        position_ = p + 1;
        if (value < 0 || static_cast<std::uint64_t>(value) >= count) {
            token.problem = "the " + role + " index " + std::to_string(value) +
                            " is outside 0 to " + std::to_string(count - 1);
            return token;
        }
        token.index = static_cast<std::int16_t>(value);
        return token;
    }

    static std::string trimmed(const std::string& text) {
        const auto start = text.find_first_not_of(" \t");
        return start == std::string::npos ? std::string{} : text.substr(start);
    }

    std::u16string_view text_;
    std::size_t position_ = 0;
};

} // namespace

CCommandFile::CCommandFile(std::filesystem::path folder, std::string fileName,
                           std::int64_t lastWriteTime)
    : folder_(std::move(folder))
    , fileName_(std::move(fileName))
    , lastWriteTime_(lastWriteTime) {}

CCommandFile::CCommandFile(std::string fileName, std::vector<std::uint8_t> bytes)
    : fileName_(std::move(fileName))
    , bytes_(std::move(bytes))
    , bytesGiven_(true) {}

bool CCommandFile::readText() {
    if (text_) {
        return true;
    }
    if (bytesGiven_) {
        text_ = CommandText::decode(bytes_, bytes_.size(), kMaxFileBytes, kTextUnits);
        bytes_ = {};
        return true;
    }
    const CommandFileBytes file = readCommandFileBytes(folder_ / fileName_, kMaxFileBytes);
    if (!file.problem.empty()) {
        log::print("CCommandFile::GetNextLine: ERROR: Unable to open command file for reading: %s",
                   fileName_.c_str());
        return false;
    }
    text_ = CommandText::decode(file.head, file.head.size(), kMaxFileBytes, kTextUnits);
    return true;
}

std::optional<std::u16string_view> CCommandFile::GetNextLine() {
    if (!readText()) {
        return std::nullopt;
    }
    return text_->nextLine();
}

bool CCommandFile::ParseCommandFile(CommandEnvironment& environment, bool execute, bool& finished) {
    finished = false;
    if (execute) {
        processing_ = true;
        if (waiting_) {
            completeCommand(environment);
        }
    }
    if (waiting_ || failure_) {
        return false;
    }
    if (!execute) {
        problems_.clear();
        plan_.clear();
        timeProblems_.clear();
        timeLineSeen_ = false;
        timeAccepted_ = false;
        lineFailed_ = false;
    }
    for (;;) {
        const auto line = GetNextLine();
        if (!line) {
            if (execute) {
                finished = true;
            } else {
                finishScan();
            }
            return false;
        }
        if (parseLine(environment, *line, execute)) {
            return true;
        }
    }
}

bool CCommandFile::parseLine(CommandEnvironment& environment, std::u16string_view line,
                             bool execute) {
    if (line.empty()) {
        return false;
    }
    std::size_t p = 0;
    while (p < line.size() && isBlank(line[p])) {
        ++p;
    }
    if (p == line.size()) {
        lineProblem("a line of blanks only");
        return false;
    }
    const std::size_t keywordStart = p;
    while (p < line.size() && !isBlank(line[p])) {
        ++p;
    }
    const std::u16string_view keyword = line.substr(keywordStart, p - keywordStart);
    if (keyword.size() > kMaxKeywordChars) {
        lineProblem("the first word is longer than " + std::to_string(kMaxKeywordChars) +
                    " characters");
        return false;
    }
    // The rest ends at a line feed: a file of LF-ended lines is one line.
    while (p < line.size() && isBlank(line[p]) && line[p] != u'\n') {
        ++p;
    }
    const std::u16string_view rest = line.substr(p, line.find(u'\n', p) - p);
    const std::string keywordText = toUtf8(keyword);
    if (rest.size() > kMaxRestChars) {
        lineProblem(keywordText + " the text after the keyword is longer than " +
                    std::to_string(kMaxRestChars) + " characters");
        return false;
    }

    switch (keywordOf(keyword)) {
    case Keyword::Description:
        if (!execute) {
            SetDescription(rest);
        }
        return false;
    case Keyword::FileVersion:
        if (!execute) {
            SetVersion(rest);
        }
        return false;
    case Keyword::TimeAbsolute:
        if (!execute) {
            SetAbsoluteTime(rest);
        }
        return false;
    case Keyword::TimeRelative:
        if (!execute && !SetRelativeTime(rest)) {
            valid_ = false;
            timeLineSeen_ = true;
            timeAccepted_ = false;
            timeProblem("TIME_RELATIVE: needs hours:minutes:seconds");
        }
        return false;
    case Keyword::BlockedListen:
        return parseCommand(environment, CommandKind::BlockedListenClear, "BLOCKED_LISTEN:", rest,
                            execute);
    case Keyword::ForcedListen:
        return parseCommand(environment, CommandKind::ForcedListenClear, "FORCED_LISTEN:", rest,
                            execute);
    case Keyword::PartyLine:
        return parseCommand(environment, CommandKind::PartyLineAdd, "PARTY_LINE:", rest, execute);
    case Keyword::Other:
        break;
    }
    if (!execute) {
        plan(CommandKind::None, "ignored: unknown keyword '" + keywordText + "'");
    }
    return false;
}

bool CCommandFile::parseCommand(CommandEnvironment& environment, CommandKind family,
                                std::string_view keyword, std::u16string_view rest, bool execute) {
    std::size_t p = 0;
    while (p < rest.size() && !isBlank(rest[p])) {
        ++p;
    }
    const std::u16string_view operation = rest.substr(0, p);
    while (p < rest.size() && isBlank(rest[p])) {
        ++p;
    }
    const std::u16string_view arguments = rest.substr(p);
    if (operation.empty()) {
        lineProblem(std::string(keyword) + " needs an operation and its arguments");
        return false;
    }
    const std::string operationText = toUtf8(operation);
    if (arguments.empty()) {
        lineProblem(std::string(keyword) + " " + operationText + ": the arguments are missing");
        return false;
    }
    if (arguments.size() > kMaxArgumentChars) {
        lineProblem(std::string(keyword) + " " + operationText +
                    ": the arguments are longer than " + std::to_string(kMaxArgumentChars) +
                    " characters");
        return false;
    }

    CommandKind kind = CommandKind::None;
    if (family == CommandKind::PartyLineAdd) {
        if (equalsIgnoringCase(operation, u"ADD")) {
            kind = CommandKind::PartyLineAdd;
        } else if (equalsIgnoringCase(operation, u"REMOVE")) {
            kind = CommandKind::PartyLineRemove;
        }
    } else if (equalsIgnoringCase(operation, u"CLEAR")) {
        kind = family;
    } else if (equalsIgnoringCase(operation, u"SET")) {
        kind = static_cast<CommandKind>(static_cast<int>(family) + 1);
    }
    if (kind == CommandKind::None) {
        if (!execute) {
            plan(CommandKind::None,
                 "ignored: unknown operation '" + operationText + "' of " + std::string(keyword));
        }
        return false;
    }
    const std::string what = std::string(keyword) + " " + operationName(kind);
    if (family == CommandKind::PartyLineAdd) {
        return parsePartyLineCommand(environment, kind, what, arguments, execute);
    }
    return parseListenCommand(environment, kind, what, arguments, execute);
}

bool CCommandFile::parseListenCommand(CommandEnvironment& environment, CommandKind kind,
                                      const std::string& what, std::u16string_view arguments,
                                      bool execute) {
    ArgumentReader reader(arguments);
    const Token listener = reader.client(environment.mirror, "listening client");
    reader.word();
    const Token talker = reader.client(environment.mirror, "talking client");
    listenIndex_ = listener.index;
    talkIndex_ = talker.index;
    if (!listener.ok() || !talker.ok()) {
        lineProblem(what + ": " + (listener.ok() ? talker.problem : listener.problem));
        return false;
    }
    if (!execute) {
        const auto [listening, talking] = environment.mirror.read([&](const MirrorData& d) {
            return std::pair{clientText(d, listenIndex_), clientText(d, talkIndex_)};
        });
        std::string text;
        switch (kind) {
        case CommandKind::BlockedListenSet:
            text = "block " + listening + " from hearing " + talking;
            break;
        case CommandKind::BlockedListenClear:
            text = "unblock " + listening + " from hearing " + talking;
            break;
        case CommandKind::ForcedListenSet:
            text = "force " + listening + " to hear " + talking;
            break;
        default:
            text = "stop forcing " + listening + " to hear " + talking;
            break;
        }
        plan(kind, std::move(text));
        return false;
    }
    return sendRequest(environment, kind,
                       isBlockedListen(kind) ? msg::ADMIN_BLOCKED_LISTEN_REQUEST
                                             : msg::ADMIN_FORCED_LISTEN_REQUEST,
                       static_cast<std::uint16_t>(listenIndex_));
}

bool CCommandFile::parsePartyLineCommand(CommandEnvironment& environment, CommandKind kind,
                                         const std::string& what, std::u16string_view arguments,
                                         bool execute) {
    ArgumentReader reader(arguments);
    const std::u16string_view modeWord = reader.word();
    mode_ = modeOf(modeWord);
    if (mode_ == PartyLineMode::None) {
        lineProblem(what + ": " +
                    (modeWord.empty() ? std::string("the mode is missing")
                                      : "the mode '" + toUtf8(modeWord) +
                                            "' is not TALK, LISTEN or TALK&LISTEN"));
        return false;
    }
    reader.word();
    const Token client = reader.client(environment.mirror, "client");
    reader.word();
    const Token partyLine = reader.partyLine();
    listenIndex_ = client.index;
    partyLineIndex_ = partyLine.index;
    if (!client.ok() || !partyLine.ok()) {
        lineProblem(what + ": " + (client.ok() ? partyLine.problem : client.problem));
        return false;
    }

    struct Target {
        bool controlPanel = false;
        int label = model::kNoLabel;
        std::string client;
        std::string partyLine;
    };
    const Target target = environment.mirror.read([&](const MirrorData& d) {
        return Target{d.labels.IsControlPanel(listenIndex_), partyLineLabel(d, partyLineIndex_),
                      clientText(d, listenIndex_), partyLineText(d, partyLineIndex_)};
    });
    if (!execute) {
        std::string text = kind == CommandKind::PartyLineAdd
                               ? "add " + target.client + " to " + target.partyLine
                               : "remove " + target.client + " from " + target.partyLine;
        text += std::string(" for ") + modeText(mode_);
        if (target.controlPanel) {
            text +=
                ": passed over when run, " + clientIndexText(listenIndex_) + " is a control panel";
        }
        plan(kind, std::move(text));
        return false;
    }
    if (target.controlPanel) {
        return false;
    }
    // Would otherwise go out as a request for label 0xFFFF.
    if (!model::isLabelNumber(target.label)) {
        log::print("CCommandFile::ParseCommandFile: WARNING: %s: no such party line in the "
                   "configuration, line %d passed over",
                   target.partyLine.c_str(), text_->lineNumber());
        return false;
    }
    partyLineLabel_ = static_cast<std::int16_t>(target.label);
    if (kind == CommandKind::PartyLineAdd) {
        log::print("CCommandFile::ParseCommandFile: Party Line Add");
        log::print("CCommandFile::ParseCommandFile: Add: send ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST: "
                   "Id: %d",
                   target.label);
    } else {
        log::print("CCommandFile::ParseCommandFile: Remove");
    }
    return sendRequest(environment, kind, msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST,
                       static_cast<std::uint16_t>(target.label));
}

bool CCommandFile::sendRequest(CommandEnvironment& environment, CommandKind kind, std::uint16_t id,
                               std::uint16_t second) {
    kind_ = kind;
    requestId_ = id;
    requestSecond_ = second;
    waiting_ = true;
    if (environment.requests != nullptr) {
        environment.requests->PostCopy(id, second, nullptr, 0);
    }
    return true;
}

void CCommandFile::completeCommand(CommandEnvironment& environment) {
    using model::MembershipSet;
    const auto mode = static_cast<model::MembershipMode>(mode_);
    const auto modeCode = static_cast<int>(mode_);
    std::optional<model::OutgoingRecord> update;
    std::string refused;
    environment.mirror.edit([&](MirrorData& d) {
        model::MembershipStore& store = d.membership;
        switch (kind_) {
        case CommandKind::BlockedListenClear:
        case CommandKind::BlockedListenSet:
        case CommandKind::ForcedListenClear:
        case CommandKind::ForcedListenSet: {
            const MembershipSet set =
                isBlockedListen(kind_) ? MembershipSet::BlockedListen : MembershipSet::ForcedListen;
            refused = store.setRefusal(set);
            if (!refused.empty()) {
                break;
            }
            if (isSet(kind_)) {
                store.bits(set).setBit(talkIndex_);
            } else {
                store.bits(set).clearBit(talkIndex_);
            }
            update = store.SetUpdate(set, static_cast<std::uint16_t>(listenIndex_));
            break;
        }
        case CommandKind::PartyLineAdd:
        case CommandKind::PartyLineRemove:
            refused = store.partyLineAnswerProblem(static_cast<std::uint16_t>(partyLineLabel_));
            break;
        case CommandKind::None:
            break;
        }
        if (!refused.empty()) {
            return;
        }
        switch (kind_) {
        case CommandKind::PartyLineAdd: {
            const model::PartyLineMembership& record = store.partyLine();
            const int clientLabel = d.labels.ClientLabelNumber(listenIndex_);
            const auto found = record.findEntry({listenIndex_, static_cast<std::uint8_t>(mode)});
            const int count = static_cast<int>(record.entryCount());
            log::print("COMMAND_FILE_ADD: Client: %d. type: %d, Entries: %d", clientLabel, modeCode,
                       found ? static_cast<int>(*found) : count);
            if (found) {
                break;
            }
            if (!store.AddPartyLineMember(listenIndex_, mode)) {
                log::print("CCommandFile::ParseCommandFile: WARNING: party line %d holds %d "
                           "entries, no room for another",
                           partyLineLabel_, count);
                break;
            }
            log::print("COMMAND_FILE_ADD: Add: Client: %d, Idx : %d type: %d, Entry: %d, count: %d",
                       clientLabel, listenIndex_, modeCode, count, count + 1);
            update = store.PartyLineUpdate(static_cast<std::uint16_t>(partyLineLabel_));
            break;
        }
        case CommandKind::PartyLineRemove:
            if (store.RemovePartyLineMember(listenIndex_, mode)) {
                update = store.PartyLineUpdate(static_cast<std::uint16_t>(partyLineLabel_));
            }
            break;
        default:
            break;
        }
    });
    waiting_ = false;
    if (!refused.empty()) {
        // Sending back a record built on a broken answer would change other
        // members than the file names: the file stops here.
        failure_ = commandText(kind_) + " on line " + std::to_string(text_->lineNumber()) + ": " +
                   refused + "; nothing was sent";
        problems_.push_back({text_->lineNumber(), *failure_});
        log::print("CCommandFile::ParseCommandFile: ERROR: '%s': %s", fileName_.c_str(),
                   failure_->c_str());
        kind_ = CommandKind::None;
        return;
    }
    kind_ = CommandKind::None;
    if (update && environment.requests != nullptr) {
        environment.requests->PostCopy(update->id, update->second, update->bytes.data(),
                                       update->bytes.size());
    }
}

bool CCommandFile::ResendRequest(CommandEnvironment& environment) {
    if (!waiting_ || environment.requests == nullptr) {
        return false;
    }
    return environment.requests->PostCopy(requestId_, requestSecond_, nullptr, 0);
}

AwaitedAnswer CCommandFile::awaitedAnswer() const {
    if (!waiting_) {
        return AwaitedAnswer::None;
    }
    switch (kind_) {
    case CommandKind::BlockedListenClear:
    case CommandKind::BlockedListenSet:
        return AwaitedAnswer::BlockedListen;
    case CommandKind::ForcedListenClear:
    case CommandKind::ForcedListenSet:
        return AwaitedAnswer::ForcedListen;
    case CommandKind::PartyLineAdd:
    case CommandKind::PartyLineRemove:
        return AwaitedAnswer::Membership;
    case CommandKind::None:
        break;
    }
    return AwaitedAnswer::None;
}

void CCommandFile::SetDescription(std::u16string_view text) {
    description_ = toUtf8(text);
    log::print("CCommandFile::SetDescription: '%s'", description_.c_str());
}

void CCommandFile::SetVersion(std::u16string_view text) {
    std::int64_t value = 0;
    if (scanFormatted(text, "%d", {&value, 1}) != 1) {
        valid_ = false;
        timeProblem("FILE_VERSION: needs a whole number");
        return;
    }
    version_ = static_cast<std::int32_t>(value);
    log::print("CCommandFile::SetVersion: %d", version_);
    if (version_ != 1) {
        valid_ = false;
        timeProblem("FILE_VERSION: version " + std::to_string(version_) +
                    " is not known (only version 1 is)");
    }
}

void CCommandFile::SetAbsoluteTime(std::u16string_view text) {
    log::print("CCommandFile::SetAbsoluteTime: '%s'", toUtf8(text).c_str());
    const CalendarTime now = localTimeNow();
    std::array<std::int64_t, 6> fields{};
    const int count = scanFormatted(text, "%hd:%hd:%hd %2hd-%2hd-%4hd", fields);
    timeLineSeen_ = true;
    if (count < 3) {
        valid_ = false;
        timeAccepted_ = false;
        timeProblem("TIME_ABSOLUTE: needs hours:minutes:seconds, optionally followed by "
                    "month-day-year");
        return;
    }
    CalendarTime time;
    if (count < 6) {
        log::print("CCommandFile::SetAbsoluteTime: set date: was: %d-%d-%d", toInt16(fields[3]),
                   toInt16(fields[4]), toInt16(fields[5]));
        time.year = now.year;
        time.month = now.month;
        time.day = now.day;
    } else {
        time.month = toInt16(fields[3]);
        time.day = toInt16(fields[4]);
        time.year = toInt16(fields[5]);
    }
    time.hour = toInt16(fields[0]);
    time.minute = toInt16(fields[1]);
    time.second = toInt16(fields[2]);
    takeTime("SetAbsoluteTime", "TIME_ABSOLUTE:", time);
}

bool CCommandFile::SetRelativeTime(std::u16string_view text) {
    log::print("CCommandFile::SetRelativeTime: '%s'", toUtf8(text).c_str());
    const CalendarTime now = localTimeNow();
    std::array<std::int64_t, 3> fields{};
    if (scanFormatted(text, "%hd:%hd:%hd", fields) < 3) {
        return false;
    }
    takeTime("SetRelativeTime", "TIME_RELATIVE:",
             addRelativeTime(now, toInt16(fields[0]), toInt16(fields[1]), toInt16(fields[2])));
    return true;
}

void CCommandFile::takeTime(const char* setter, std::string_view keyword,
                            const CalendarTime& time) {
    timeLineSeen_ = true;
    processingTime_ = time;
    processingFileTime_ = calendarToFileTime(time);
    if (!processingFileTime_) {
        log::print("CCommandFile::%s: SystemTimeToFileTime failed: %08lx", setter,
                   kInvalidTimeFields);
        // Left valid, the file would wait for a time that never comes.
        valid_ = false;
        timeAccepted_ = false;
        timeProblem(std::string(keyword) + " gives " + formatCalendarTime(time) +
                    ", which is no date and time (hours 0 to 23, minutes and seconds 0 to 59, "
                    "days within the month)");
        return;
    }
    valid_ = true;
    timeAccepted_ = true;
    timeProblems_.clear();
}

void CCommandFile::plan(CommandKind kind, std::string text) {
    plan_.push_back({text_->lineNumber(), kind, std::move(text)});
}

void CCommandFile::lineProblem(std::string message) {
    valid_ = false;
    lineFailed_ = true;
    problems_.push_back({text_->lineNumber(), std::move(message)});
}

void CCommandFile::timeProblem(std::string message) {
    timeProblems_.push_back({text_->lineNumber(), std::move(message)});
}

void CCommandFile::finishScan() {
    if (!text_) {
        valid_ = false;
        problems_.push_back({0, "the file cannot be opened for reading"});
        return;
    }
    text_->rewind();
    problems_.insert(problems_.end(), timeProblems_.begin(), timeProblems_.end());
    std::stable_sort(problems_.begin(), problems_.end(),
                     [](const Problem& a, const Problem& b) { return a.line < b.line; });
    if (!timeLineSeen_) {
        problems_.push_back(
            {0, "no TIME_ABSOLUTE: or TIME_RELATIVE: line, so the file has no processing time"});
    }
    if (!timeAccepted_ || lineFailed_) {
        valid_ = false;
    }
}

} // namespace mirx::commandfiles
