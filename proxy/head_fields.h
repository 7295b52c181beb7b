// Edits of a response head's fields on the way from the origin to the client: what a hop
// nominates as its own, and what changes when the proxy changes the body's content coding.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxy/request_facts.h"

namespace orv::proxy {

// Removes the fields the Connection field names ("Connection: close, X-Hop" drops X-Hop):
// the sender meant them for this hop only.
void RemoveConnectionNominated(std::vector<HeaderField>& fields);

// The value of the first field of that name.
std::optional<std::string_view> FirstField(const std::vector<HeaderField>& fields,
                                           std::string_view name);

void RemoveFields(std::vector<HeaderField>& fields, std::string_view name);

// Says that the body depends on the request's Accept-Encoding: added to an existing Vary
// unless that names it already (or is "*").
void VaryOnAcceptEncoding(std::vector<HeaderField>& fields);

// A strong ETag made weak: the bytes it named are not the bytes the client gets, though they
// stand for the same page.
void WeakenEntityTag(std::vector<HeaderField>& fields);

// Whether a comma-separated field value holds the token (case-insensitive).
bool ListHasToken(std::string_view list, std::string_view token);

}  // namespace orv::proxy
