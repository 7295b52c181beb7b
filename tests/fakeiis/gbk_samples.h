// Words of the fixture keyword database and the texts the filter writes, as bytes. The
// database and settings file are written by scripts/run-fake-iis.sh; keep the two in step.
#pragma once

namespace fakeiis {

// Deny list: "赌博" (gambling) and "casino".
inline constexpr char kDenyGbk[] = "\xB6\xC4\xB2\xA9";
inline constexpr char kDenyUtf8[] = "\xE8\xB5\x8C\xE5\x8D\x9A";
// As the block page shows them: a "*" after every character but the last.
inline constexpr char kDenyStarredGbk[] = "\xB6\xC4*\xB2\xA9";
inline constexpr char kDenyStarredUtf8[] = "\xE8\xB5\x8C*\xE5\x8D\x9A";
inline constexpr char kDenyPercentGbk[] = "%B6%C4%B2%A9";
inline constexpr char kDenyPercentUtf8[] = "%E8%B5%8C%E5%8D%9A";

// Replace list: "广告" (advertisement), replaced by "****"; "spam=ham", replaced by "ham*".
inline constexpr char kReplaceGbk[] = "\xB9\xE3\xB8\xE6";

// Record list: "彩票" (lottery).
inline constexpr char kRecordGbk[] = "\xB2\xCA\xC6\xB1";

// Free list: "freepass".

// Event kinds in the log: "拦截", "替换", "记录".
inline constexpr char kKindDenyGbk[] = "\xC0\xB9\xBD\xD8";
inline constexpr char kKindReplaceGbk[] = "\xCC\xE6\xBB\xBB";
inline constexpr char kKindRecordGbk[] = "\xBC\xC7\xC2\xBC";

// Settings of the fixture.
inline constexpr char kSafeCode[] = "pass42";
inline constexpr char kBlackIp[] = "10.6.6.6";
inline constexpr char kWhiteIp[] = "10.9.9.9";

}  // namespace fakeiis
