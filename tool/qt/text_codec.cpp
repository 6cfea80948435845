#include "tool/qt/text_codec.h"

#include <cerrno>
#include <cstring>

#include "text/locale_charset_posix.h"
#include "text/text.h"

namespace morvane {

namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// Every trail byte of the double-byte code pages the tool knows is 0x40 or above, so a lead byte followed by
// a lower byte (a line end, say) is a broken character of its own and the byte after it is kept.
size_t UndecodableLength(const char* p, size_t left) {
  if (left >= 2 && IsLeadByte(static_cast<unsigned char>(p[0])) && static_cast<unsigned char>(p[1]) >= 0x40) {
    return 2;
  }
  return 1;
}

// Whether the active code page's text is the widgets' own UTF-8 (or, without lead bytes, read as UTF-8).
bool TextIsUtf8() {
  return ActiveCodePageCharset() == nullptr || ActiveCodePage() == kCodePageUtf8;
}

}  // namespace

QString DecodeBytes(const char* bytes, size_t length) {
  if (TextIsUtf8()) return QString::fromUtf8(bytes, static_cast<qsizetype>(length));
  CharsetConverter converter("UTF-8", ActiveCodePageCharset());
  if (!converter.Valid()) return QString::fromUtf8(bytes, static_cast<qsizetype>(length));

  // A byte becomes at most three bytes of UTF-8 (a replacement character included).
  std::string out(length * 3 + 4, '\0');
  char* in = const_cast<char*>(bytes);
  size_t inLeft = length;
  char* next = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (converter.Convert(&in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    size_t skip = UndecodableLength(in, inLeft);
    std::memcpy(next, kReplacementUtf8, 3);
    next += 3;
    outLeft -= 3;
    in += skip;
    inLeft -= skip;
    converter.Reset();
  }
  return QString::fromUtf8(out.data(), static_cast<qsizetype>(next - out.data()));
}

QString DecodeText(const char* text) {
  return DecodeBytes(text, std::strlen(text));
}

int EncodeText(const QString& text, std::string* bytes) {
  QByteArray utf8 = text.toUtf8();
  if (utf8.contains('\0')) return 0;
  if (TextIsUtf8()) {
    bytes->assign(utf8.constData(), static_cast<size_t>(utf8.size()));
    return 1;
  }
  CharsetConverter converter(ActiveCodePageCharset(), "UTF-8");
  if (!converter.Valid()) return 0;
  // No character of the known code pages takes more bytes than its UTF-8 form.
  std::string out(static_cast<size_t>(utf8.size()) + 4, '\0');
  char* in = utf8.data();
  size_t inLeft = static_cast<size_t>(utf8.size());
  char* next = out.data();
  size_t outLeft = out.size();
  if (converter.Convert(&in, &inLeft, &next, &outLeft) == static_cast<size_t>(-1)) return 0;
  bytes->assign(out.data(), static_cast<size_t>(next - out.data()));
  return 1;
}

size_t EncodedLength(const QString& text) {
  std::string bytes;
  if (EncodeText(text, &bytes)) return bytes.size();
  return static_cast<size_t>(text.toUtf8().size());
}

}  // namespace morvane
