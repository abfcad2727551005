// Writes the seed corpora of the fuzz targets from the simulator's demo
// site: make_fuzz_seeds <corpus folder>. The seeds are committed; run this
// again when the protocol or the site changes.
#include "core/message_ids.h"
#include "fuzz/site_frames.h"
#include "link/password_cipher.h"
#include "link/update_records.h"
#include "model/label_info.h"
#include "model/system_status.h"
#include "sim/demo_site.h"
#include "site/scenario.h"
#include "site/site_builder.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace mirx;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kStep = 0xFFF0;
constexpr std::uint16_t kStartDownload = 0xFFF1;

void write(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void write(const fs::path& folder, const std::string& name, const std::string& text) {
    write(folder, name, Bytes(text.begin(), text.end()));
}

Bytes records(const std::vector<fuzz::SiteFrame>& frames) {
    Bytes out;
    for (const fuzz::SiteFrame& f : frames) {
        fuzz::appendRecord(out, f.id, f.second, f.payload);
    }
    return out;
}

fuzz::SiteFrame moved(const site::Site& site, int number, int index, int kind) {
    model::LabelInfo label = site.labels.at(number);
    label.set(model::LabelInfo::kIndex, index);
    label.set(model::LabelInfo::kLabelKind, kind);
    return {msg::CONFIGURATION_DATA_LABEL, static_cast<std::uint16_t>(number),
            Bytes(label.bytes.begin(), label.bytes.end())};
}

// A small site: the whole demo site's document would outweigh the rest.
site::Site smallSite() {
    site::Site site;
    site.admins.push_back({"admin", "admin", 7, 1});
    site::addClient(site, 10000, 0, 10, "Panel", "Desk", "panel", "pw");
    site::addPartyLine(site, 10100, 0, "Production", "");
    site::addFixedGroup(site, 10200, 0, "Cameras", "");
    site::addMember(site, 10100, 0, model::MembershipMode::TalkAndListen);
    return site;
}

void serverFrames(const fs::path& corpus) {
    const site::Site site = sim::demoSite();
    const auto download = fuzz::siteDownload(site);
    write(corpus / "server_frames", "download", records(download));
    write(corpus / "server_frames", "small_download", records(fuzz::siteDownload(smallSite())));

    auto relabel = download;
    for (const auto& [number, index, kind] :
         {std::tuple{10003, 900, 0}, std::tuple{10003, 2, 0}, std::tuple{10003, 1500, 0},
          std::tuple{10004, 3, 0}, std::tuple{10005, 150, 1}, std::tuple{10003, 5, 0}}) {
        relabel.push_back(moved(site, number, index, kind));
    }
    write(corpus / "server_frames", "relabel", records(relabel));

    const auto login = link::buildLoginRequest("admin", "admin", std::nullopt, 1700000000);
    const std::vector<fuzz::Request> requests = {
        {msg::ADMIN_LOGIN_REQUEST, 0, {login.bytes.begin(), login.bytes.end()}},
        {msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, 10106},
        {msg::ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST, 1},
        {msg::ADMIN_BLOCKED_LISTEN_REQUEST, 8},
        {msg::ADMIN_FORCED_LISTEN_REQUEST, 8},
        {msg::ADMIN_SYSTEM_STATUS_REQUEST, 0},
        {msg::ADMIN_CLIENT_OPTIONS_REQUEST, 3},
        {msg::ADMIN_AUDIO_SETTINGS_REQUEST, 3},
    };
    auto answers = fuzz::siteAnswers(site, requests);
    // And the same answers cut short.
    const std::size_t whole = answers.size();
    for (std::size_t i = whole - 7; i < whole; ++i) {
        fuzz::SiteFrame cut = answers[i];
        cut.payload.resize(cut.payload.size() / 2);
        answers.push_back(cut);
    }
    write(corpus / "server_frames", "answers", records(answers));
}

void updateExchange(const fs::path& corpus) {
    std::string folder = (fs::temp_directory_path() / "mirx-seeds-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        return;
    }
    const fs::path data = fs::path(folder) / "data.bin";
    const fs::path setup = fs::path(folder) / "setup.run";
    write(folder, "data.bin", Bytes(3000, 0x5A));
    write(folder, "setup.run", Bytes(40, 0x7F));
    sim::FaultSwitches faults;
    faults.offerUpdateFiles = {data.string(), setup.string()};

    // The console's side of a whole download, one request per poll step.
    std::vector<fuzz::Request> requests = {
        {msg::APPLICATION_COMPATIBILITY_REQUEST, 0,
         [] {
             const auto r = link::CompatibilityRequest::make(link::kConsoleApplicationId, 0);
             return Bytes(r.bytes.begin(), r.bytes.end());
         }()},
        {msg::APPLICATION_INFO_REQUEST, 0,
         [] {
             const auto r = link::InfoRequest::make();
             return Bytes(r.bytes.begin(), r.bytes.end());
         }()},
    };
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> blocks = {{0, 0}, {0, 1}, {1, 0}};
    std::uint16_t lastComponent = 0xFFFF;
    for (const auto& [component, block] : blocks) {
        if (component != lastComponent) {
            const auto r = link::ComponentInfoRequest::make(component);
            requests.push_back({msg::APPLICATION_COMPONENT_INFO_REQUEST, 0,
                                Bytes(r.bytes.begin(), r.bytes.end())});
            lastComponent = component;
        }
        const auto r = link::BlockRequest::make(component, block);
        requests.push_back(
            {msg::APPLICATION_COMPONENT_BLOCK_REQUEST, 0, Bytes(r.bytes.begin(), r.bytes.end())});
    }
    const auto answers = fuzz::siteAnswers(site::Site{}, requests, faults);
    Bytes seed;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i].id > 9) {
            continue; // only the exchange's own frames
        }
        fuzz::appendRecord(seed, kStep, 0, {});
        fuzz::appendRecord(seed, answers[i].id, answers[i].second, answers[i].payload);
        if (answers[i].id == msg::APPLICATION_INFO_RESPONSE) {
            fuzz::appendRecord(seed, kStartDownload, 0, {});
        }
    }
    write(corpus / "update_exchange", "download", seed);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void commandFiles(const fs::path& corpus) {
    const fs::path folder = corpus / "command_file";
    write(folder, "listen",
          std::string("DESCRIPTION: Rehearsal\r\nFILE_VERSION: 1\r\n"
                      "TIME_ABSOLUTE: 08:00:00 01-02-2020\r\n"
                      "BLOCKED_LISTEN: SET _client.8_ from _client.9_\r\n"
                      "FORCED_LISTEN: CLEAR director to camera1\r\n"));
    write(folder, "party_line",
          std::string("TIME_RELATIVE: 0:0:1\r\n"
                      "PARTY_LINE: ADD TALK&LISTEN to _client.16_ on _pl.6_\r\n"
                      "PARTY_LINE: REMOVE LISTEN to stageleft on _pl.0_\r\n"
                      "UNKNOWN: line\r\n"));
    // UTF-16 with its byte order mark.
    const std::u16string wide =
        u"\uFEFFTIME_ABSOLUTE: 14:30:00\r\nBLOCKED_LISTEN: SET a from b\r\n";
    Bytes bytes;
    for (const char16_t c : wide) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    write(folder, "utf16", bytes);
}

void readers(const fs::path& corpus) {
    write(corpus / "scenario", "small", site::toScenarioJson(smallSite()));
    write(corpus / "settings_file", "profiles",
          std::string("# comment\nProfile=s:\"Site A\"\n\n[Site A]\n"
                      "ServerIPAddress=s:\"10.0.0.5\"\nDataIpPort=n:1000\n"
                      "UserName=s:\"admin\\x41\\\"q\\\\\"\nOther=x\n"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds <corpus folder>\n";
        return 2;
    }
    const fs::path corpus = argv[1];
    serverFrames(corpus);
    updateExchange(corpus);
    commandFiles(corpus);
    readers(corpus);
    return 0;
}
