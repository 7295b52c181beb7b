#include "filter/memory_host.h"

#include "platform/codepage.h"

namespace orv::filter {
namespace {

// As GetServerVariable fills a caller's buffer: the value and its NUL must fit.
bool CopyBounded(const std::string* source, std::size_t bufferSize, std::string& value) {
  value.clear();
  if (source == nullptr || source->size() + 1 > bufferSize) return false;
  value = *source;
  return true;
}

const std::string* Find(const std::map<std::string, std::string>& map, const std::string& key) {
  auto found = map.find(key);
  return found == map.end() ? nullptr : &found->second;
}

}  // namespace

std::string HeaderKey(std::string_view name) {
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  return codepage::LowerAscii(name);
}

void MemoryRequest::SetHeader(std::string_view name, std::string_view value) {
  headers[HeaderKey(name)] = std::string(value);
}

const std::string* MemoryRequest::Header(std::string_view name) const {
  return Find(headers, HeaderKey(name));
}

bool MemoryFilterHost::GetServerVariable(const char* name, std::size_t bufferSize,
                                         std::string& value) {
  return CopyBounded(Find(request_.variables, name), bufferSize, value);
}

bool MemoryFilterHost::WriteClient(std::string_view bytes) {
  written_ += bytes;
  return true;
}

bool MemoryFilterHost::GetHeader(const char* name, std::size_t bufferSize, std::string& value) {
  return CopyBounded(request_.Header(name), bufferSize, value);
}

bool MemoryFilterHost::SetHeader(const char* name, std::string_view value) {
  if (value.empty()) {
    request_.headers.erase(HeaderKey(name));
  } else {
    request_.SetHeader(name, value);
  }
  headersSet_.push_back(HeaderKey(name) + ": " + std::string(value));
  return true;
}

bool MemoryFilterHost::ReplaceRawData(std::string_view chunk) {
  if (failAllocation) return false;
  chunk_ = std::string(chunk);
  replaced_ = true;
  return true;
}

bool MemoryFilterHost::SendResponseHeader(std::string_view status) {
  statuses_.emplace_back(status);
  return true;
}

void MemoryFilterHost::SetRawData(std::string_view chunk) {
  chunk_ = std::string(chunk);
  replaced_ = false;
}

void MemoryFilterHost::ClearOutputs() {
  written_.clear();
  statuses_.clear();
  headersSet_.clear();
}

bool MemoryExtensionHost::GetServerVariable(const char* name, std::size_t bufferSize,
                                            std::string& value) {
  return CopyBounded(Find(request_.variables, name), bufferSize, value);
}

bool MemoryExtensionHost::WriteClient(std::string_view bytes) {
  written_ += bytes;
  return true;
}

bool MemoryExtensionHost::SetIoCompletion() {
  return !refuseIoCompletion;
}

bool MemoryExtensionHost::ExecuteUrl() {
  if (refuseExecuteUrl) return false;
  executed_ = true;
  return true;
}

}  // namespace orv::filter
