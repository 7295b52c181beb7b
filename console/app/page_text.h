// The editing pages' bridge between the stored GBK bytes and the Qt editors: edit text in GBK
// has CR LF between lines, the editors hold "\n" and UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "store/gbk_text.h"

namespace orv::console {

// GBK edit text (CR LF between lines) -> the editor's text. No byte is lost: bytes that are not
// GBK come back as the same bytes on the way out.
QString EditTextToEditor(std::string_view gbkEditText);

// The editor's text -> GBK edit text with CR LF between lines; refuses (with the editor's line)
// characters GBK cannot hold.
store::GbkEncoding EditorToEditText(const QString& editorText);

// The same conversion for counting only: characters GBK cannot hold count as one byte.
std::string EditorToEditTextForCount(const QString& editorText);

// The editor's text with CR LF between lines, in UTF-8 (line breaks do not depend on the
// encoding).
std::string EditorToUtf8EditText(const QString& editorText);

// Fixed texts of the pages (written here in UTF-8) as the GBK the status line carries.
std::string Gbk(const QString& text);

// The message that names the line holding a character GBK cannot hold.
QString RefusedCharacterMessage(const store::GbkEncoding& refused);

}  // namespace orv::console
