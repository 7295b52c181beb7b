// Names, addresses and fixed texts of the product as the console shows them.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "orv_version.h"

namespace orv::console {

inline constexpr const char* kProductVersion = version::kText;

// "Orvane·非法信息过滤系统", the product title.
QString ProductTitle();
// "Orvane·非法信息过滤系统 Ver2.1", the main window's title without status.
QString MainWindowTitle();
// The maker's web site and the pages on it the console links to.
QString MakerAddress();
QString SolutionsAddress();
// The default advertisement shown until the feed brings others.
QString DefaultAdTitle();
QString DefaultAdLink();
// Where a newer version is downloaded when the update notice names no web page.
QString DownloadPageAddress();

// The one-time welcome message of a first start.
QString WelcomeText();

// Key of the account record in the settings file: KeyFromText of the console's account text.
std::uint32_t AccountKey();

}  // namespace orv::console
