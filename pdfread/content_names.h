// The names a content stream uses: every name token of its operands (fonts,
// images and forms, graphics states, colour spaces, patterns, shadings,
// marked-content properties), so that a page file can keep the resources its
// page draws with and leave out the others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

namespace brisel {

// Names without their "/", with "#xx" escapes decoded.
using NameSet = std::unordered_set<std::string>;

// The name [from, to) ("/" included) as a NameSet holds it.
std::string PlainName(const uint8_t* from, const uint8_t* to);

// Adds the names of the decoded content [data, data + length) to names.
// Inline image data is stepped over. false when the content cannot be read
// to its end (a string or an inline image that does not end): its names are
// then not known.
bool CollectContentNames(const uint8_t* data, size_t length, NameSet& names);

}  // namespace brisel
