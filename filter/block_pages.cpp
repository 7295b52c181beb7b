#include "filter/block_pages.h"

#include <string_view>

#include "platform/codepage.h"

namespace orv::filter {
namespace {

// Written here in UTF-8 for the reader's sake; served in GBK like every text the engine
// writes, converted once on first use.

constexpr std::string_view kPageStyle =
    R"(<div style="max-width:640px;margin:60px auto;padding:28px 36px;background:#fff;)"
    R"(border:1px solid #d9dce1;border-top:4px solid #c0392b;text-align:left;)"
    R"(font:14px/1.8 'Microsoft YaHei',SimSun,Arial,sans-serif;color:#333">)";

constexpr std::string_view kUrlPage =
    R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">)"
    R"(<title>禁止访问</title></head><body style="margin:0;background:#f4f5f7">)"
    R"(<script type="text/javascript">try{%stop%;}catch(e){}</script>)"
    "%style%"
    R"(<h1 style="font-size:22px;margin:0 0 14px;color:#c0392b">此网址禁止访问</h1>)"
    R"(<p>您请求的网址已被网站管理员列入禁止访问的名单，服务器拒绝了这次访问。</p>)"
    R"(<p style="word-break:break-all"><span style="color:#888">网址：</span>%url%</p>)"
    R"(<p><span style="color:#888">您的地址：</span>%ip%</p>)"
    R"(<p id="orv-note" style="white-space:pre-line;color:#555"></p>)"
    R"(<p style="color:#888;font-size:12px">如有疑问，请与网站管理员联系。</p></div>)"
    R"(<script type="text/javascript">var orvNote="%user%";if(orvNote)document.)"
    R"(getElementById("orv-note").innerHTML="管理员留言："+orvNote;</script>)"
    "</body></html>";

constexpr std::string_view kIpPage =
    R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">)"
    R"(<title>禁止访问</title></head><body style="margin:0;background:#f4f5f7">)"
    R"(<script type="text/javascript">try{%stop%;}catch(e){}</script>)"
    "%style%"
    R"(<h1 style="font-size:22px;margin:0 0 14px;color:#c0392b">您的地址禁止访问本站</h1>)"
    R"(<p>您所使用的网络地址已被网站管理员列入禁止访问的名单，服务器拒绝了这次访问。</p>)"
    R"(<p><span style="color:#888">您的地址：</span>%ip%</p>)"
    R"(<p style="word-break:break-all"><span style="color:#888">网址：</span>%url%</p>)"
    R"(<p id="orv-note" style="white-space:pre-line;color:#555"></p>)"
    R"(<p style="color:#888;font-size:12px">如果您认为这是误会，请与网站管理员联系。</p></div>)"
    R"(<script type="text/javascript">var orvNote="%user%";if(orvNote)document.)"
    R"(getElementById("orv-note").innerHTML="管理员留言："+orvNote;</script>)"
    "</body></html>";

// "<wbr>" first: after a chunk cut behind "<script" or "<iframe" the two join into one
// harmless unknown element, and the closing tags that follow end any raw-text element
// (title, script, style, textarea) the page had open, so the notice is shown as HTML.
constexpr std::string_view kKeywordPage =
    "<wbr></title></iframe></noframes></noscript></script></style></textarea></object>"
    R"(<html><head><title>页面已被拦截</title></head><body style="margin:0;background:#f4f5f7">)"
    R"(<script type="text/javascript">try{%stop%;}catch(e){}</script>)"
    "%style%"
    R"(<h1 style="font-size:22px;margin:0 0 14px;color:#c0392b">本页含有违规内容，已被拦截</h1>)"
    R"(<p>您访问的页面或提交的内容含有不允许发布的信息，网站的内容过滤系统已停止显示。</p>)"
    R"(<table style="border-collapse:collapse;margin:12px 0;font-size:13px">)"
    R"(<tr><td style="padding:3px 14px 3px 0;color:#888">违规关键词</td><td>%key%</td></tr>)"
    R"(<tr><td style="padding:3px 14px 3px 0;color:#888">拦截时间</td><td>%time%</td></tr>)"
    R"(<tr><td style="padding:3px 14px 3px 0;color:#888">您的地址</td><td>%ip%</td></tr>)"
    R"(<tr><td style="padding:3px 14px 3px 0;color:#888">访问网址</td>)"
    R"(<td style="word-break:break-all">%url%</td></tr></table>)"
    R"(<p id="orv-note" style="white-space:pre-line;color:#555"></p>)"
    R"(<p style="color:#888;font-size:12px">如果您认为这是误判，请与网站管理员联系。</p></div>)"
    R"(<script type="text/javascript">var orvNote="%user%";if(orvNote)document.)"
    R"(getElementById("orv-note").innerHTML="管理员留言："+orvNote;</script>)"
    "</body></html>";

std::string ToGbk(std::string_view utf8Page) {
  std::string page(utf8Page);
  const std::string_view marker = "%style%";
  if (auto at = page.find(marker); at != std::string::npos) {
    page.replace(at, marker.size(), kPageStyle);
  }
  return codepage::Utf8ToAnsi(page);
}

}  // namespace

const std::string& UrlBlockPageTemplate() {
  static const std::string page = ToGbk(kUrlPage);
  return page;
}

const std::string& IpBlockPageTemplate() {
  static const std::string page = ToGbk(kIpPage);
  return page;
}

const std::string& KeywordBlockPageTemplate() {
  static const std::string page = ToGbk(kKeywordPage);
  return page;
}

}  // namespace orv::filter
