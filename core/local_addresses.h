#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// This machine's IPv4 addresses, the choice of a local address to connect
// from, and host-name resolution. The address table is process-wide and
// belongs to the user-interface thread.

namespace mirx {

inline constexpr std::size_t kMaxNetworkAddresses = 8;

// Dotted text of a host-order address.
std::string dottedAddress(std::uint32_t hostOrder);

// The table made from raw interface addresses (host order): ascending,
// without 0.0.0.0, 127.0.0.1 and repeats, the first kMaxNetworkAddresses kept.
std::vector<std::string> networkAddressTable(std::vector<std::uint32_t> raw);

// First address worth connecting from: not loopback, not link-local.
std::optional<std::string> usableLocalAddress(const std::vector<std::string>& table);

// Refills the table from the machine's interfaces; the count is 0 on failure.
void QueryNetworkCardIpAddresses();
// -1 until the first query.
int NetworkAddressCount();
std::vector<std::string> NetworkAddresses();

// Queries once if the table was never filled. False when no address is usable
// or, for the buffer form, it does not fit in `size` characters with the
// terminator (the buffer is then empty).
bool FindLocalAddress(std::string& destination);
bool FindLocalAddress(char* destination, std::size_t size);

// Re-queries, then looks for an exact match.
bool IsLocalAddress(std::string_view text);

// 0 with the dotted address of `name`, or getaddrinfo()'s non-zero code. A
// name that does not start with a letter is taken as an address already.
int ResolveHost(const std::string& name, std::string& destination);

// Replaces the interfaces as seen by QueryNetworkCardIpAddresses(); an empty
// function restores the machine's. Also forgets the table (count -1).
using AddressSource = std::function<std::vector<std::uint32_t>()>;
void setAddressSourceForTesting(AddressSource source);

} // namespace mirx
