#include "console/app/page_text.h"

#include "platform/codepage.h"

namespace orv::console {
namespace {

std::string LfToCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

}  // namespace

QString EditTextToEditor(std::string_view gbkEditText) {
  QString text = QString::fromStdString(store::GbkToUtf8Lossless(gbkEditText));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

store::GbkEncoding EditorToEditText(const QString& editorText) {
  // Line feeds never occur inside a double-byte character (trail bytes start at 0x40), so the
  // line breaks can be widened after the conversion.
  store::GbkEncoding encoded = store::Utf8ToGbkStrict(editorText.toStdString());
  if (encoded.ok) encoded.gbk = LfToCrLf(encoded.gbk);
  return encoded;
}

std::string EditorToEditTextForCount(const QString& editorText) {
  const std::string utf8 = editorText.toStdString();
  store::GbkEncoding encoded = store::Utf8ToGbkStrict(utf8);
  return LfToCrLf(encoded.ok ? encoded.gbk : codepage::Utf8ToAnsi(utf8));
}

std::string EditorToUtf8EditText(const QString& editorText) {
  return LfToCrLf(editorText.toStdString());
}

std::string Gbk(const QString& text) {
  return codepage::Utf8ToAnsi(text.toStdString());
}

QString RefusedCharacterMessage(const store::GbkEncoding& refused) {
  return QStringLiteral("第%1行的“%2”无法以GBK编码保存，请修改后再保存。本次未写入任何内容。")
      .arg(refused.line)
      .arg(QString::fromStdString(refused.character));
}

}  // namespace orv::console
