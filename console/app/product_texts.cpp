#include "console/app/product_texts.h"

#include "online/account.h"
#include "store/settings_file.h"

namespace orv::console {

QString ProductTitle() {
  return QStringLiteral("Orvane·非法信息过滤系统");
}

QString MainWindowTitle() {
  return ProductTitle() + QStringLiteral(" Ver") + QString::fromLatin1(kProductVersion);
}

QString MakerAddress() {
  const std::string_view address = store::defaults::kMakerAddress;
  return QString::fromLatin1(address.data(), static_cast<qsizetype>(address.size()));
}

QString SolutionsAddress() {
  return MakerAddress() + QStringLiteral("/solutions/");
}

QString DefaultAdTitle() {
  return QStringLiteral("Orvane 服务器安全软件，守护您的每一个网站");
}

QString DefaultAdLink() {
  return MakerAddress() + QStringLiteral("/products/");
}

QString DownloadPageAddress() {
  return MakerAddress() + QStringLiteral("/download/");
}

QString WelcomeText() {
  return QStringLiteral("欢迎使用 ") + ProductTitle() +
         QStringLiteral("！这个信息只会在首次使用时弹出。\n\n更多服务器软件请随时关注：") +
         MakerAddress();
}

std::uint32_t AccountKey() {
  return online::AccountKey();
}

}  // namespace orv::console
