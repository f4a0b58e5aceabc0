#pragma once

#include <string>
#include <vector>

// Blocking IPv4 name look-ups through the system resolver. Call them from
// worker threads (or at start-up): they may wait for the network. Failures
// are return values.

// The registered name of a dotted IPv4 address (a name is required: the
// address itself never comes back as its "name"). False when the text is no
// IPv4 address or the address has no name.
bool ReverseLookupIPv4(const std::string& ip, std::string& name);

// The first IPv4 address of `name`, dotted. False when it does not resolve.
bool ForwardLookupIPv4(const std::string& name, std::string& ip);

// Every IPv4 address of `name`, dotted, in the resolver's order, duplicates
// removed; empty when it does not resolve.
std::vector<std::string> ResolveIPv4Addresses(const std::string& name);

// This machine's host name; false when it cannot be read.
bool LocalHostName(std::string& name);

// The IPv4 addresses of this machine's interfaces that are up, loopback
// included, in the system's interface order.
std::vector<std::string> LocalIPv4Addresses();

// True for 127.0.0.0/8 in dotted form.
bool IsLoopbackIPv4(const std::string& ip);
