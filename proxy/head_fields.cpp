#include "proxy/head_fields.h"

#include <algorithm>

#include "platform/ascii.h"

namespace orv::proxy {
namespace {

template <class Visit>
void ForEachToken(std::string_view list, Visit visit) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view token = ascii::TrimBlanks(list.substr(0, comma));
    if (!token.empty()) visit(token);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace

bool ListHasToken(std::string_view list, std::string_view token) {
  bool found = false;
  ForEachToken(list, [&](std::string_view each) { found = found || EqualsNoCase(each, token); });
  return found;
}

void RemoveConnectionNominated(std::vector<HeaderField>& fields) {
  std::vector<std::string> named;
  for (const HeaderField& field : fields) {
    if (!EqualsNoCase(field.name, "Connection")) continue;
    ForEachToken(field.value, [&](std::string_view token) {
      // The framing of the message is not the sender's to nominate away.
      if (!EqualsNoCase(token, "close") && !EqualsNoCase(token, "keep-alive") &&
          !EqualsNoCase(token, "Content-Length") && !EqualsNoCase(token, "Transfer-Encoding"))
        named.emplace_back(token);
    });
  }
  for (const std::string& name : named) RemoveFields(fields, name);
}

std::optional<std::string_view> FirstField(const std::vector<HeaderField>& fields,
                                           std::string_view name) {
  for (const HeaderField& field : fields)
    if (EqualsNoCase(field.name, name)) return std::string_view(field.value);
  return std::nullopt;
}

void RemoveFields(std::vector<HeaderField>& fields, std::string_view name) {
  std::erase_if(fields, [&](const HeaderField& field) { return EqualsNoCase(field.name, name); });
}

void VaryOnAcceptEncoding(std::vector<HeaderField>& fields) {
  HeaderField* vary = nullptr;
  for (HeaderField& field : fields) {
    if (!EqualsNoCase(field.name, "Vary")) continue;
    if (ListHasToken(field.value, "Accept-Encoding") || ListHasToken(field.value, "*")) return;
    if (!vary) vary = &field;
  }
  if (!vary) {
    fields.push_back({"Vary", "Accept-Encoding"});
  } else if (ascii::TrimBlanks(vary->value).empty()) {
    vary->value = "Accept-Encoding";
  } else {
    vary->value += ", Accept-Encoding";
  }
}

void WeakenEntityTag(std::vector<HeaderField>& fields) {
  for (HeaderField& field : fields) {
    if (!EqualsNoCase(field.name, "ETag")) continue;
    const std::string_view tag = ascii::TrimBlanks(field.value);
    if (!tag.empty() && tag.front() == '"') field.value = "W/" + std::string(tag);
  }
}

}  // namespace orv::proxy
