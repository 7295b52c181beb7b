#include "proxy/outcome_counts.h"

#include <optional>

namespace orv::proxy {
namespace {

std::optional<BlockCause> CauseOf(filter::BlockCause cause) {
  switch (cause) {
    case filter::BlockCause::kUrl:
      return BlockCause::kUrl;
    case filter::BlockCause::kIp:
      return BlockCause::kIp;
    case filter::BlockCause::kKeyword:
      return BlockCause::kKeyword;
    case filter::BlockCause::kBody:
      return BlockCause::kBody;
    case filter::BlockCause::kNone:
      break;
  }
  return std::nullopt;
}

// The reasons the request phase decides for the whole response.
std::optional<PassReason> RequestPassOf(filter::PassReason reason) {
  switch (reason) {
    case filter::PassReason::kSwitchedOff:
      return PassReason::kSwitchedOff;
    case filter::PassReason::kSafeCode:
      return PassReason::kSafeCode;
    case filter::PassReason::kWhiteList:
      return PassReason::kWhiteList;
    case filter::PassReason::kUnmonitoredType:
      return PassReason::kUnmonitoredType;
    default:
      return std::nullopt;
  }
}

// The reasons only the response can give.
std::optional<PassReason> ResponsePassOf(filter::PassReason reason) {
  switch (reason) {
    case filter::PassReason::kBinary:
      return PassReason::kBinary;
    case filter::PassReason::kUndecodable:
      return PassReason::kUndecodable;
    case filter::PassReason::kFreeWord:
      return PassReason::kFreeWord;
    case filter::PassReason::kScreened:
      return PassReason::kScreened;
    case filter::PassReason::kNotScreened:
      return PassReason::kNoBody;
    default:
      return std::nullopt;
  }
}

}  // namespace

void CountRequestOutcome(ProxyMetrics* metrics, const RequestVerdict& verdict) {
  if (metrics == nullptr) return;
  if (verdict.blocked) {
    // A block always names its cause; one that did not would still be a block.
    metrics->CountBlock(CauseOf(verdict.cause).value_or(BlockCause::kUrl));
    return;
  }
  if (const std::optional<PassReason> pass = RequestPassOf(verdict.pass)) metrics->CountPass(*pass);
}

void CountChunkOutcome(ProxyMetrics* metrics, const ChunkVerdict& verdict) {
  if (metrics == nullptr) return;
  if (verdict.recorded) metrics->CountRecord();
  switch (verdict.kind) {
    case ChunkVerdict::Kind::kBlockPage:
      metrics->CountBlock(CauseOf(verdict.cause).value_or(BlockCause::kKeyword));
      break;
    case ChunkVerdict::Kind::kRewritten:
      metrics->CountReplacement(verdict.wordsReplaced);
      break;
    case ChunkVerdict::Kind::kPass:
      break;
  }
}

void CountResponsePass(ProxyMetrics* metrics, filter::PassReason reason) {
  if (metrics == nullptr) return;
  if (const std::optional<PassReason> pass = ResponsePassOf(reason)) metrics->CountPass(*pass);
}

}  // namespace orv::proxy
