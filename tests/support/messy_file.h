// Tag files with the flaws real exports have, made from a seed: Latin-1, Windows-1252 (its
// curly quotes, its euro sign, now and then a byte it leaves unassigned) or UTF-16 text
// (with characters whose code units hold a CR or LF byte, or no ASCII at all), Latin-1
// names in a UTF-8 file, a byte-order mark, a stray NUL, CR-only or CR LF line ends, blank
// lines, tags alike but for case. Each file knows the tags it was made of and the code
// page it is in, so that a test can tell whether a fix kept them.
#ifndef TAGTREE_TESTS_SUPPORT_MESSY_FILE_H_
#define TAGTREE_TESTS_SUPPORT_MESSY_FILE_H_

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagtree::messy {

enum class Encoding { kUtf8, kCodePage, kMixed, kUtf16Le, kUtf16Be };

struct MessyFile {
  std::string bytes;
  Encoding encoding;
  bool utf16Mark = false;         // it starts with a UTF-16 byte-order mark
  std::vector<std::string> tags;  // the tags it was made of, as UTF-8, but for those
                                  // written in Latin-1 into a UTF-8 file
  // The code page its names beyond ASCII are in, as iconv names it: "latin1" or
  // "windows-1252" (also for a file that holds none), and whether every byte of the file
  // decodes in it.
  std::string codePage = "latin1";
  bool decodes = true;
  std::string what;  // its flaws, for a test's trace
};

// Returns `text` (UTF-8) in UTF-16 of the byte order asked, with a byte-order mark first
// where asked.
inline std::string utf16(std::string_view text, bool bigEndian, bool mark) {
  std::u32string codes;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) code = code << 6 | (text[i + k] & 0x3F);
    codes += code;
    i += static_cast<std::size_t>(length);
  }
  std::string bytes;
  const auto unit = [&](std::uint32_t u) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  };
  if (mark) unit(0xFEFF);
  for (const char32_t code : codes) {
    if (code < 0x10000) {
      unit(code);
    } else {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

// Returns UTF-8 `text` in Latin-1, or Windows-1252 where `windows`: its characters are all
// below U+0100, or, for Windows-1252, the curly quotes, the euro sign and the en dash.
inline std::string latin1(std::string_view text, bool windows = false) {
  static const std::pair<char32_t, char> kWindows[] = {
      {U'\u201C', '\x93'}, {U'\u201D', '\x94'}, {U'\u20AC', '\x80'}, {U'\u2013', '\x96'}};
  std::string bytes;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) code = code << 6 | (text[i + k] & 0x3F);
    i += static_cast<std::size_t>(length);
    char byte = static_cast<char>(code);
    for (const auto& [character, in1252] : kWindows) {
      if (windows && code == character) byte = in1252;
    }
    bytes += byte;
  }
  return bytes;
}

class MessyFileGenerator {
 public:
  explicit MessyFileGenerator(std::uint32_t seed) : random_(seed) {}

  MessyFile make() {
    MessyFile file;
    const int encoding = pick(0, 9);
    file.encoding = encoding < 4   ? Encoding::kUtf8
                    : encoding < 6 ? Encoding::kCodePage
                    : encoding < 7 ? Encoding::kMixed
                    : encoding < 8 ? Encoding::kUtf16Le
                                   : Encoding::kUtf16Be;
    const bool utf16 = encoding >= 7;
    const bool codePage = file.encoding == Encoding::kCodePage;
    const bool windows = pick(0, 1) == 0;
    if (windows) file.codePage = "windows-1252";
    if (utf16 && pick(0, 5) == 0) {
      // UTF-16 with its mark, one tag without a single ASCII character: "旅行", say.
      static const char* const kNoAscii[] = {"旅行海滩", "上海", "音楽ญ", "ਊčć"};
      const std::string tag = kNoAscii[pick(0, 3)];
      file.tags.push_back(tag);
      file.utf16Mark = true;
      file.what = "UTF-16 of no ASCII";
      file.bytes = messy::utf16(tag, file.encoding == Encoding::kUtf16Be, true);
      return file;
    }
    const std::string lineEnd = pick(0, 3) == 0 ? "\r" : pick(0, 2) == 0 ? "\r\n" : "\n";
    file.what = "line end " + std::string(lineEnd == "\n"   ? "LF"
                                          : lineEnd == "\r" ? "CR"
                                                            : "CR LF");
    std::string text;
    const int lines = pick(1, 70);
    for (int line = 0; line < lines; ++line) {
      if (pick(0, 5) == 0) {  // a blank line
        static const char* const kBlank[] = {"", " ", "; ", " ;  ; "};
        text += kBlank[pick(0, 3)];
      } else {
        const int tags = pick(1, 4);
        for (int k = 0; k < tags; ++k) {
          if (k > 0) text += "; ";
          std::string tag = word(codePage, windows);
          if (file.encoding == Encoding::kMixed && pick(0, 4) == 0) {
            tag = latin1(word(true, false));
          } else {
            file.tags.push_back(tag);
          }
          text += tag;
        }
      }
      if (line + 1 < lines || pick(0, 1) == 0) text += lineEnd;
    }
    if (!utf16 && pick(0, 6) == 0) {  // a stray NUL in a tag
      const std::size_t at = text.find_first_not_of("; \r\n");
      if (at != std::string::npos) text.insert(at + 1, 1, '\0');
      file.what += ", a stray NUL";
      file.decodes = false;
    }
    if (codePage) text = latin1(text, windows);
    if (codePage && windows && pick(0, 5) == 0) {  // a byte Windows-1252 leaves unassigned
      text.insert(text.size() / 2, 1, '\x81');
      file.what += ", an unassigned byte";
      file.decodes = false;
    }
    if (utf16) {
      file.utf16Mark = pick(0, 1) == 0;
      text = messy::utf16(text, file.encoding == Encoding::kUtf16Be, file.utf16Mark);
    } else if (pick(0, 6) == 0) {
      text = "\xEF\xBB\xBF" + text;
      file.what += ", a byte-order mark";
    }
    file.what += ", in " + file.codePage;
    file.bytes = std::move(text);
    return file;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // A tag: ASCII, with letters beyond it that Latin-1 has, or, for Windows-1252, signs
  // it has beyond Latin-1; unless `codePage`, with characters beyond both too, some
  // whose UTF-16 code units hold a CR or LF byte (č is 0D 01, ญ 0D 0E, 上 0A 4E, ਊ
  // 0A 0A); some alike but for letter case.
  std::string word(bool codePage, bool windows) {
    static const char* const kLatin1[] = {"news",  "café",  "Café",  "crème", "München", "naïve",
                                          "sport", "Sport", "photo", "été",   "niño",    "travel"};
    static const char* const kWindows[] = {"“pie”", "€uro", "a–z"};
    static const char* const kBeyond[] = {"上海",   "音楽", "Ωmega", "€uro", "日本語",
                                          "🎵music", "č",    "ญ",     "ਊ"};
    if (windows && pick(0, 5) == 0) return kWindows[pick(0, 2)];
    if (codePage || pick(0, 3) != 0) return kLatin1[pick(0, 11)] + std::to_string(pick(0, 6));
    return kBeyond[pick(0, 8)];
  }

  std::mt19937 random_;
};

}  // namespace tagtree::messy

#endif  // TAGTREE_TESTS_SUPPORT_MESSY_FILE_H_
