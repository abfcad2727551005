#include "core/local_addresses.h"

#include "core/debug_log.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <utility>

namespace mirx {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
// Only to satisfy the resolver; the port is never used.
constexpr const char* kResolverService = "27015";

struct AddressTable {
    std::mutex lock;
    int count = -1;
    std::vector<std::string> addresses;
    AddressSource source;
};

AddressTable& table() {
    static AddressTable instance;
    return instance;
}

std::optional<std::vector<std::uint32_t>> interfaceAddresses() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        log::print("QueryNetworkCardIpAddresses(): GetIpAddrTable() error: %d", errno);
        return std::nullopt;
    }
    std::vector<std::uint32_t> raw;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ifa_addr, sizeof address);
            raw.push_back(ntohl(address.sin_addr.s_addr));
        }
    }
    ::freeifaddrs(list);
    return raw;
}

void queryLocked(AddressTable& t) {
    t.count = 0;
    t.addresses.clear();
    const auto raw = t.source ? std::optional(t.source()) : interfaceAddresses();
    if (!raw) {
        return;
    }
    t.addresses = networkAddressTable(*raw);
    t.count = static_cast<int>(t.addresses.size());
}

} // namespace

std::string dottedAddress(std::uint32_t hostOrder) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (hostOrder >> 24) & 0xFF,
                  (hostOrder >> 16) & 0xFF, (hostOrder >> 8) & 0xFF, hostOrder & 0xFF);
    return text;
}

std::vector<std::string> networkAddressTable(std::vector<std::uint32_t> raw) {
    std::sort(raw.begin(), raw.end());
    raw.erase(std::unique(raw.begin(), raw.end()), raw.end());
    std::vector<std::string> result;
    for (const std::uint32_t address : raw) {
        if (address == 0 || address == kLoopback) {
            continue;
        }
        if (result.size() == kMaxNetworkAddresses) {
            break;
        }
        result.push_back(dottedAddress(address));
    }
    return result;
}

std::optional<std::string> usableLocalAddress(const std::vector<std::string>& addresses) {
    for (const auto& address : addresses) {
        if (address != "127.0.0.1" && address.find("169.254") == std::string::npos) {
            return address;
        }
    }
    return std::nullopt;
}

void QueryNetworkCardIpAddresses() {
    auto& t = table();
    std::lock_guard guard(t.lock);
    queryLocked(t);
}

int NetworkAddressCount() {
    auto& t = table();
    std::lock_guard guard(t.lock);
    return t.count;
}

std::vector<std::string> NetworkAddresses() {
    auto& t = table();
    std::lock_guard guard(t.lock);
    return t.addresses;
}

bool FindLocalAddress(std::string& destination) {
    auto& t = table();
    std::lock_guard guard(t.lock);
    if (t.count == -1) {
        queryLocked(t);
    }
    const auto found = usableLocalAddress(t.addresses);
    if (!found) {
        return false;
    }
    destination = *found;
    return true;
}

bool FindLocalAddress(char* destination, std::size_t size) {
    if (destination == nullptr || size == 0) {
        return false;
    }
    destination[0] = '\0';
    std::string found;
    if (!FindLocalAddress(found) || found.size() >= size) {
        return false;
    }
    std::memcpy(destination, found.c_str(), found.size() + 1);
    return true;
}

bool IsLocalAddress(std::string_view text) {
    auto& t = table();
    std::lock_guard guard(t.lock);
    queryLocked(t);
    return std::find(t.addresses.begin(), t.addresses.end(), text) != t.addresses.end();
}

int ResolveHost(const std::string& name, std::string& destination) {
    const char first = name.empty() ? '\0' : name[0];
    // ASCII only: the answer must not depend on the process locale.
    const bool letter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
    if (!letter) {
        destination = name;
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* results = nullptr;
    const int status = ::getaddrinfo(name.c_str(), kResolverService, &hints, &results);
    if (status != 0) {
        return status;
    }
    sockaddr_in resolved{};
    std::memcpy(&resolved, results->ai_addr, sizeof resolved);
    ::freeaddrinfo(results);
    destination = dottedAddress(ntohl(resolved.sin_addr.s_addr));
    return 0;
}

void setAddressSourceForTesting(AddressSource source) {
    auto& t = table();
    std::lock_guard guard(t.lock);
    t.source = std::move(source);
    t.count = -1;
    t.addresses.clear();
}

} // namespace mirx
