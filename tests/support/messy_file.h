// Tag files with the flaws real exports have, made from a seed: Latin-1 or UTF-16 text,
// Latin-1 names in a UTF-8 file, a byte-order mark, a stray NUL, CR-only or CR LF line
// ends, blank lines, tags alike but for case. Each file knows the tags it was made of,
// so that a test can tell whether a fix kept them.
#ifndef TAGTREE_TESTS_SUPPORT_MESSY_FILE_H_
#define TAGTREE_TESTS_SUPPORT_MESSY_FILE_H_

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tagtree::messy {

enum class Encoding { kUtf8, kLatin1, kMixed, kUtf16Le, kUtf16Be };

struct MessyFile {
  std::string bytes;
  Encoding encoding;
  bool utf16Mark = false;         // it starts with a UTF-16 byte-order mark
  std::vector<std::string> tags;  // the tags it was made of, as UTF-8, but for those
                                  // written in Latin-1 into a UTF-8 file
  std::string what;               // its flaws, for a test's trace
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

// Returns UTF-8 `text`, whose characters are all below U+0100, in Latin-1.
inline std::string latin1(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      bytes += text[i];
    } else {
      bytes += static_cast<char>((lead & 0x03) << 6 | (text[i + 1] & 0x3F));
      ++i;
    }
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
                    : encoding < 6 ? Encoding::kLatin1
                    : encoding < 7 ? Encoding::kMixed
                    : encoding < 8 ? Encoding::kUtf16Le
                                   : Encoding::kUtf16Be;
    const bool utf16 = encoding >= 7;
    const bool latin1Only = file.encoding == Encoding::kLatin1;
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
          std::string tag = word(latin1Only);
          if (file.encoding == Encoding::kMixed && pick(0, 4) == 0) {
            tag = latin1(word(true));
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
    }
    if (latin1Only) text = latin1(text);
    if (utf16) {
      file.utf16Mark = pick(0, 1) == 0;
      text = messy::utf16(text, file.encoding == Encoding::kUtf16Be, file.utf16Mark);
    } else if (pick(0, 6) == 0) {
      text = "\xEF\xBB\xBF" + text;
      file.what += ", a byte-order mark";
    }
    file.bytes = std::move(text);
    return file;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // A tag: ASCII, with letters beyond it that Latin-1 has, or, unless `latin1Only`, with
  // characters beyond Latin-1 too; some alike but for letter case.
  std::string word(bool latin1Only) {
    static const char* const kLatin1[] = {"news",  "café",  "Café",  "crème", "München", "naïve",
                                          "sport", "Sport", "photo", "été",   "niño",    "travel"};
    static const char* const kBeyond[] = {"上海", "音楽", "Ωmega", "€uro", "日本語", "🎵music"};
    if (latin1Only || pick(0, 3) != 0) return kLatin1[pick(0, 11)] + std::to_string(pick(0, 6));
    return kBeyond[pick(0, 5)];
  }

  std::mt19937 random_;
};

}  // namespace tagtree::messy

#endif  // TAGTREE_TESTS_SUPPORT_MESSY_FILE_H_
