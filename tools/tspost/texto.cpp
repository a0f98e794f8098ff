// Text encodings of the message: base64, quoted-printable and RFC 2047 words.
#include <cstdint>

#include "tspost.h"

namespace tspost {
namespace {

// Next code point of UTF-8 text; a broken sequence yields one U+FFFD per byte.
char32_t SiguienteUtf8(const std::string& s, size_t& i) {
  auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) {
    ++i;
    return b;
  }
  int n = (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (n < 0 || i + n >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = b & (0x3F >> n);
  for (int k = 1; k <= n; ++k) {
    auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  i += n + 1;
  return cp;
}

// Length in bytes of the UTF-8 sequence starting at s[i] (1 for broken bytes).
size_t LargoUtf8(const std::string& s, size_t i) {
  size_t j = i;
  SiguienteUtf8(s, j);
  return j - i;
}

}  // namespace

std::string Base64(const std::string& bytes, size_t anchoLinea) {
  static const char* kAlfabeto = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t enLinea = 0;
  auto poner = [&](char c) {
    if (anchoLinea && enLinea == anchoLinea) {
      out += "\r\n";
      enLinea = 0;
    }
    out += c;
    ++enLinea;
  };
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
    poner(kAlfabeto[v >> 18]);
    poner(kAlfabeto[(v >> 12) & 63]);
    poner(kAlfabeto[(v >> 6) & 63]);
    poner(kAlfabeto[v & 63]);
  }
  if (i < bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= uint8_t(bytes[i + 1]) << 8;
    poner(kAlfabeto[v >> 18]);
    poner(kAlfabeto[(v >> 12) & 63]);
    poner(i + 1 < bytes.size() ? kAlfabeto[(v >> 6) & 63] : '=');
    poner('=');
  }
  if (anchoLinea && !out.empty()) out += "\r\n";
  return out;
}

std::string QuotedPrintable(const std::string& texto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  size_t enLinea = 0;
  auto trozo = [&](const std::string& t) {
    if (enLinea + t.size() > 75) {  // soft break keeps lines within 76
      out += "=\r\n";
      enLinea = 0;
    }
    out += t;
    enLinea += t.size();
  };
  for (size_t i = 0; i < texto.size(); ++i) {
    unsigned char c = texto[i];
    if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') {
      out += "\r\n";
      enLinea = 0;
      ++i;
      continue;
    }
    bool finDeLinea = i + 1 == texto.size() || texto[i + 1] == '\r';
    bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !finDeLinea);
    // A line starting with "." or "From " is left alone by QP readers but not by every
    // mail relay; encoding the dot keeps it intact.
    if (c == '.' && enLinea == 0) literal = false;
    if (literal)
      trozo(std::string(1, static_cast<char>(c)));
    else
      trozo(std::string{'=', kHex[c >> 4], kHex[c & 15]});
  }
  return out;
}

bool EsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string CodificarEncabezado(const std::string& utf8, size_t usado) {
  bool plano = EsAscii(utf8);
  for (unsigned char c : utf8)
    if (c < 32 || c == 127) plano = false;
  // "=?" in plain text would be read as an encoded word.
  if (plano && utf8.find("=?") == std::string::npos && usado + utf8.size() <= 900) return utf8;

  // Encoded words of at most 75 characters, never splitting a UTF-8 sequence; the
  // words go on folded lines.
  const std::string inicio = "=?UTF-8?B?", fin = "?=";
  const size_t maxDatos = 75 - inicio.size() - fin.size();  // base64 characters per word
  const size_t maxBytes = maxDatos / 4 * 3;
  std::string out;
  size_t i = 0;
  bool primera = true;
  while (i < utf8.size() || primera) {
    size_t j = i;
    while (j < utf8.size()) {
      size_t n = LargoUtf8(utf8, j);
      if (j + n - i > maxBytes) break;
      j += n;
    }
    if (!primera) out += "\r\n ";
    out += inicio + Base64(utf8.substr(i, j - i), 0) + fin;
    primera = false;
    i = j;
  }
  (void)usado;
  return out;
}

}  // namespace tspost
