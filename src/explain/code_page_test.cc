// Conversions by iconv and what each refuses; which encodings are 8-bit; names as code
// pages read them; the profile of a file's high bytes, however it is fed; and the guesses
// made from it. Where this machine's iconv lacks a code page's module (as under qemu-user
// without gconv), the tests that need it are skipped; UTF-16 is built into glibc.
#include "explain/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>

#include "pipeline/utf8.h"

namespace tagtree::explain {
namespace {

using namespace std::string_literals;

// Returns the first of `encodings` that iconv cannot open, or "" where it opens all.
std::string missing(std::initializer_list<const char*> encodings) {
  for (const char* encoding : encodings) {
    const iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) return encoding;
    iconv_close(cd);
  }
  return "";
}

#define SKIP_WITHOUT(...)                                                 \
  if (const std::string absent = missing({__VA_ARGS__}); !absent.empty()) \
  GTEST_SKIP() << "this machine's iconv has no module for " << absent

struct ConversionCase {
  const char* what;
  const char* encoding;
  std::string bytes;
  std::string text;  // where converted
  Refusal refusal = Refusal::kNone;
  std::uint64_t offset = 0;
  char32_t character = 0;
};

void expectConversions(std::initializer_list<ConversionCase> cases) {
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Conversion got = convertToUtf8(c.encoding, c.bytes);
    EXPECT_EQ(got.refusal, c.refusal);
    EXPECT_EQ(got.text, c.text);
    EXPECT_EQ(got.offset, c.offset);
    EXPECT_EQ(got.character, c.character);
  }
}

TEST(CodePage, ConvertsBuiltInEncodingsOrRefusesTheName) {
  const std::string cafe = "caf\xC3\xA9";
  expectConversions({
      {"a multi-byte encoding may hold UTF-8", "UTF-8", cafe, cafe},
      {"cut short", "UTF-8", "caf\xC3", "", Refusal::kUndecodable, 3},
      {"unknown", "no-such-encoding", "abc", "", Refusal::kUnknownEncoding},
      {"no name, which iconv takes for the locale's", "", "abc", "", Refusal::kUnknownEncoding},
      {"iconv's options are not part of a name", "UTF-8//IGNORE", "abc", "",
       Refusal::kUnknownEncoding},
  });
  EXPECT_EQ(convertToUtf8("UTF-8\0X"s, "abc").refusal, Refusal::kUnknownEncoding);
}

TEST(CodePage, ConvertsUtf16OrRefuses) {
  SKIP_WITHOUT("UTF-16LE", "UTF-16BE", "UTF-16");
  expectConversions({
      {"empty", "UTF-16LE", "", ""},
      {"č is 0D 01 little-endian", "UTF-16LE", "a\0\x0D\x01"s, "a\xC4\x8D"},
      {"and 01 0D big-endian", "UTF-16BE", "\0a\x01\x0D"s, "a\xC4\x8D"},
      {"a surrogate pair", "UTF-16LE", "\x3C\xD8\xB5\xDF!\0"s, "\xF0\x9F\x8E\xB5!"},
      {"UTF-8 bytes in UTF-16 are its own characters", "UTF-16LE", "\xC3\xA9", "\xEA\xA7\x83"},
      {"a mark stays a character in UTF-16LE", "UTF-16LE", "\xFF\xFEx\0"s, "\xEF\xBB\xBFx"},
      {"UTF-16 takes the mark", "UTF-16", "\xFF\xFEx\0"s, "x"},
      {"odd length", "UTF-16LE", "a\0b"s, "", Refusal::kUndecodable, 2},
      {"a lead surrogate at the end", "UTF-16LE", "a\0b\0\x3C\xD8"s, "", Refusal::kUndecodable, 4},
      {"a lead surrogate before a letter", "UTF-16LE", "a\0\x3C\xD8x\0"s, "", Refusal::kUndecodable,
       2},
      {"a lone trail surrogate", "UTF-16BE", "\0a\xDF\xB5"s, "", Refusal::kUndecodable, 2},
      {"NUL", "UTF-16LE", "a\0b\0\0\0"s, "", Refusal::kNulCharacter, 4},
      {"C1 after a character of three bytes", "UTF-16BE", "\x20\xAC\0\x85"s, "",
       Refusal::kC1Control, 2, 0x85},
  });
}

TEST(CodePage, ConvertsCodePagesOrRefuses) {
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-1", "WINDOWS-1258");
  expectConversions({
      {"curly quotes and the euro sign", "windows-1252", "\x93q\x94 \x80",
       "\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC"},
      {"é in Latin-1", "latin1", "caf\xE9", "caf\xC3\xA9"},
      // Windows-1258 holds a letter back, for the accent that may follow, until the end.
      {"a letter and its accent made one", "windows-1258", "ca\xEC", "c\xC3\xA1"},
      {"the last letter", "windows-1258", "ca", "ca"},
      {"a byte Windows-1252 leaves unassigned", "windows-1252", "music; rock\x8D", "",
       Refusal::kUndecodable, 11},
      {"a C1 control", "latin1", "0123456789\x93x", "", Refusal::kC1Control, 10, 0x93},
      {"after characters of three bytes", "windows-1252", "\x80\x80\x80\x9Dx", "",
       Refusal::kUndecodable, 3},
      {"NUL after characters of three bytes", "windows-1252", "\x80\x80\x80\0x"s, "",
       Refusal::kNulCharacter, 3},
      {"the earlier of NUL and C1", "latin1", "a\0\x85"s, "", Refusal::kNulCharacter, 1},
      {"and of C1 and NUL", "latin1", "a\x85\0"s, "", Refusal::kC1Control, 1, 0x85},
      {"the last C1 control", "latin1", "ab\x9F", "", Refusal::kC1Control, 2, 0x9F},
      {"UTF-8 beside Latin-1", "windows-1252", "caf\xC3\xA9 na\xEFve", "", Refusal::kHoldsUtf8, 3},
      {"UTF-8 weighs more than an undecodable byte", "windows-1252", "\x81 caf\xC3\xA9", "",
       Refusal::kHoldsUtf8, 5},
      {"four bytes of UTF-8 after eight of ASCII", "windows-1252", "abcdefgh\xF0\x9F\x8E\xB5", "",
       Refusal::kHoldsUtf8, 8},
      {"a lead without its continuation is not UTF-8", "windows-1252", "\xC3(\xE9",
       "\xC3\x83(\xC3\xA9"},
      {"nor an overlong form", "windows-1252", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"nor a surrogate", "latin1", "\xED\xA0\x80", "", Refusal::kC1Control, 2, 0x80},
  });
}

TEST(CodePage, ConvertsLongInputsWhole) {
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-1");
  std::string euros, expected;
  for (int i = 0; i < 10000; ++i) {
    euros += '\x80';
    expected += "\xE2\x82\xAC";
  }
  EXPECT_EQ(convertToUtf8("windows-1252", euros).text, expected);
  const Conversion c1 = convertToUtf8("latin1", std::string(5000, '\xE9') + "\x85");
  EXPECT_EQ(c1.refusal, Refusal::kC1Control);
  EXPECT_EQ(c1.offset, 5000U);
}

// Returns the offset of the first well-formed UTF-8 sequence beyond ASCII in `bytes`, or
// npos.
std::size_t firstUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80 && validUtf8Prefix(bytes.substr(i, 4)) > 0)
      return i;
  }
  return std::string_view::npos;
}

// Returns the offset of the first NUL or C1 control in UTF-8 `text`, or npos.
std::size_t firstNulOrC1(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0' || (text.substr(i, 2) >= "\xC2\x80" && text.substr(i, 2) <= "\xC2\x9F"))
      return i;
  }
  return std::string_view::npos;
}

TEST(CodePage, RefusesWhatTheReadingShowsAndNothingElse) {
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-1", "UTF-16LE");
  // Pieces that make NULs, C1 controls, UTF-8 and bytes Windows-1252 leaves unassigned,
  // and in UTF-16 unpaired surrogates.
  const char* const pieces[] = {"ab",   "cdefghij", "\xE9", "\xC3",         "\xA9", "\x93",
                                "\x81", "\xD8",     "\xDC", "\xE2\x82\xAC", "\0"};
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int count = std::uniform_int_distribution(0, 12)(random);
    for (int i = 0; i < count; ++i) {
      const char* piece =
          pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
      bytes.append(piece, std::max<std::size_t>(std::strlen(piece), 1));
    }
    for (const char* encoding : {"latin1", "windows-1252", "UTF-16LE"}) {
      SCOPED_TRACE(std::string(encoding) + " of " + testing::PrintToString(bytes));
      const bool single = encoding[0] != 'U';
      const std::size_t unit = single ? 1 : 2;
      const Conversion got = convertToUtf8(encoding, bytes);
      const std::optional<std::string> read = readAs(encoding, bytes);
      const std::size_t utf8 = single ? firstUtf8(bytes) : std::string_view::npos;
      const std::size_t bad = read ? firstNulOrC1(*read) : std::string_view::npos;
      // Where refused, what was read up to the offset is clean, and what the next unit
      // adds shows the refusal.
      const std::optional<std::string> before = readAs(encoding, bytes.substr(0, got.offset));
      const std::optional<std::string> through =
          readAs(encoding, bytes.substr(0, got.offset + unit));
      if (utf8 != std::string_view::npos) {
        EXPECT_EQ(got.refusal, Refusal::kHoldsUtf8);
        EXPECT_EQ(got.offset, utf8);
      } else if (!read) {
        EXPECT_EQ(got.refusal, Refusal::kUndecodable);
        EXPECT_TRUE(before.has_value());
        EXPECT_FALSE(through.has_value());
      } else if (bad != std::string_view::npos) {
        EXPECT_EQ(got.refusal, (*read)[bad] == '\0' ? Refusal::kNulCharacter : Refusal::kC1Control);
        ASSERT_TRUE(before && through);
        EXPECT_EQ(firstNulOrC1(*before), std::string_view::npos);
        EXPECT_EQ(firstNulOrC1(*through), before->size());
        EXPECT_EQ(got.character,
                  (*read)[bad] == '\0' ? 0 : static_cast<unsigned char>((*read)[bad + 1]));
      } else {
        EXPECT_EQ(got.refusal, Refusal::kNone);
        EXPECT_EQ(got.text, *read);
      }
      if (got.refusal != Refusal::kNone) {
        EXPECT_EQ(got.text, "");
      }
    }
  }
}

TEST(CodePage, TellsEightBitEncodings) {
  for (const char* multi : {"UTF-8", "UTF-16LE", "UTF-16", "UCS-4", "no-such-encoding", ""})
    EXPECT_FALSE(isSingleByte(multi)) << multi;
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-1", "CP437", "ASCII", "SHIFT_JIS", "UTF-7", "ISO-2022-JP",
               "IBM037");
  // ASCII decodes half its bytes, EBCDIC all; UTF-7's "+" only starts a shift.
  for (const char* single : {"windows-1252", "latin1", "cp437", "ASCII", "IBM037"})
    EXPECT_TRUE(isSingleByte(single)) << single;
  for (const char* multi : {"SHIFT_JIS", "UTF-7", "ISO-2022-JP"})
    EXPECT_FALSE(isSingleByte(multi)) << multi;
}

TEST(CodePage, ReadsNamesAsEachCodePageDoes) {
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-1", "WINDOWS-1251", "KOI8-R", "CP437", "MACINTOSH");
  const struct {
    const char* encoding;
    std::string name;
    std::optional<std::string> read;
  } cases[] = {
      {"windows-1252", "\x93pie\x94", "\xE2\x80\x9Cpie\xE2\x80\x9D"},
      {"windows-1251", "\xCC\xEE\xF1\xEA\xE2\xE0", "Москва"},
      {"koi8-r", "\xED\xCF\xD3\xCB\xD7\xC1", "Москва"},
      {"cp437",
       "Gr\x81\xE1"
       "e",
       "Grüße"},
      {"macintosh", "caf\x8E", "café"},
      // What it would become, though converting would be refused.
      {"windows-1252", "caf\xC3\xA9", "cafÃ©"},
      {"latin1", "\x93", "\xC2\x93"},
      {"windows-1252", "\x81", std::nullopt},
      {"no-such-encoding", "a", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(readAs(c.encoding, c.name), c.read) << c.encoding;
}

// Returns the profile of `bytes`, fed whole.
CodePageProfile profileOf(std::string_view bytes) {
  CodePageProfile profile;
  profile.feed(bytes);
  return profile;
}

TEST(CodePage, ProfileIsTheSameHoweverTheBytesAreSplit) {
  const char* const pieces[] = {"abcdefgh", "12345678", "x", "1", " ", "\xE9",
                                "\x93",     "\xFF",     "Z", "@", "{", "[`"};
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const int count = std::uniform_int_distribution(0, 40)(random);
    for (int i = 0; i < count; ++i)
      bytes += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
    SCOPED_TRACE(bytes);
    const CodePageProfile whole = profileOf(bytes);
    // Split anywhere, a piece of ASCII alone fed as such.
    CodePageProfile split;
    for (std::string_view rest = bytes; !rest.empty();) {
      const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 17)(random);
      const std::string_view piece = rest.substr(0, size);
      if (std::all_of(piece.begin(), piece.end(), [](char c) { return (c & 0x80) == 0; })) {
        split.feedAscii(piece);
      } else {
        split.feed(piece);
      }
      rest.remove_prefix(piece.size());
    }
    EXPECT_EQ(split, whole);
    // And both count as a plain look at each byte and its neighbours does.
    const auto letter = [&](std::size_t i) {
      return i < bytes.size() &&
             ((bytes[i] >= 'A' && bytes[i] <= 'Z') || (bytes[i] >= 'a' && bytes[i] <= 'z'));
    };
    // A neighbour inside a word: a letter or a high byte.
    const auto wordy = [&](std::size_t i) {
      return i < bytes.size() && (letter(i) || (bytes[i] & 0x80) != 0);
    };
    for (int byte = 0x80; byte < 0x100; ++byte) {
      std::uint64_t n = 0, a = 0, w = 0;
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) != byte) continue;
        ++n;
        a += (i > 0 && letter(i - 1)) || letter(i + 1);
        w += i > 0 && wordy(i - 1) && wordy(i + 1);
      }
      EXPECT_EQ(whole.occurrences(static_cast<unsigned char>(byte)), n);
      EXPECT_EQ(whole.besideLetter(static_cast<unsigned char>(byte)), a);
      EXPECT_EQ(whole.inWord(static_cast<unsigned char>(byte)), w);
    }
  }
}

// Returns the guesses as "label score" in order, the score in halves.
std::string guessed(std::string_view bytes, std::span<const CodePage> candidates = kCodePages) {
  std::string shown;
  for (const CodePageGuess& guess : guessCodePages(profileOf(bytes), candidates)) {
    if (!shown.empty()) shown += ", ";
    shown += std::string(guess.codePage.label) + " " + std::to_string(guess.halfPoints);
  }
  return shown;
}

TEST(CodePage, GuessesTheLikeliestCodePagesFirst) {
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-15", "WINDOWS-1250", "ISO-8859-2", "WINDOWS-1251",
               "KOI8-R", "WINDOWS-1253", "WINDOWS-1254", "WINDOWS-1257", "CP437", "CP850",
               "MACINTOSH");
  const struct {
    std::string bytes;
    std::string guesses;
  } cases[] = {
      // Accented Latin letters sit in words of ASCII letters; é is a Greek or Cyrillic
      // letter in some, and Θ in CP437.
      {"caf\xE9",
       "Windows-1252 2, ISO-8859-15 2, Windows-1250 2, ISO-8859-2 2, Windows-1254 2, "
       "Windows-1257 2, CP850 2, Mac OS Roman 2, Windows-1251 0, KOI8-R 0, Windows-1253 0, "
       "CP437 0"},
      // Москва in Windows-1251: Cyrillic, but Greek in Windows-1253, and box drawing,
      // symbols and Greek in CP437.
      {"\xCC\xEE\xF1\xEA\xE2\xE0",
       "Windows-1251 15, Windows-1253 15, KOI8-R 11, Windows-1252 10, ISO-8859-15 10, "
       "Windows-1250 10, ISO-8859-2 10, Windows-1254 10, Windows-1257 10, CP437 9, "
       "Mac OS Roman 8, CP850 5"},
      // Curly quotes, C1 controls in ISO-8859, are accented letters beside the word in
      // CP437, CP850 and Mac OS Roman: as likely, and Windows-1252 comes first.
      {"\x93pie\x94",
       "Windows-1252 4, Windows-1250 4, Windows-1251 4, Windows-1253 4, Windows-1254 4, "
       "Windows-1257 4, CP437 4, CP850 4, Mac OS Roman 4, KOI8-R 0"},
      // Grüße in CP437: 0x81 is unassigned in most Windows code pages and a C1 control in
      // ISO-8859; KOI8-R draws a line with it.
      {"Gr\x81\xE1"
       "e",
       "CP437 6, CP850 6, Mac OS Roman 3, Windows-1251 2, KOI8-R 1"},
      // À is the first of the Latin letters.
      {"\xC0la",
       "Windows-1252 2, ISO-8859-15 2, Windows-1250 2, ISO-8859-2 2, Windows-1254 2, "
       "Windows-1257 2, Mac OS Roman 2, Windows-1251 0, KOI8-R 0, Windows-1253 0, "
       "CP437 0, CP850 0"},
      // × is a symbol, though in the block of Latin letters.
      {"a\xD7"
       "b",
       "CP850 3, Windows-1251 1, KOI8-R 1, Windows-1253 1, Windows-1252 0, "
       "ISO-8859-15 0, Windows-1250 0, ISO-8859-2 0, Windows-1254 0, Windows-1257 0, "
       "CP437 0, Mac OS Roman 0"},
      // A soft hyphen is a format character.
      {"co\xAD"
       "op",
       "KOI8-R 0, CP437 0, CP850 0, Mac OS Roman 0"},
      // A byte of each tells the readings with no control, format character, private-use
      // character or unassigned byte: KOI8-R's and CP437's.
      {[] {
         std::string all;
         for (int byte = 0x80; byte < 0x100; ++byte) all += static_cast<char>(byte);
         return all;
       }(),
       "KOI8-R 164, CP437 112"},
      {"no high byte",
       "Windows-1252 0, ISO-8859-15 0, Windows-1250 0, ISO-8859-2 0, Windows-1251 0, KOI8-R 0, "
       "Windows-1253 0, Windows-1254 0, Windows-1257 0, CP437 0, CP850 0, Mac OS Roman 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(guessed(c.bytes), c.guesses) << c.bytes;
  // Text of a few languages in the code page it was written in: the likeliest is that, or
  // one that reads its letters alike.
  const std::pair<std::string, std::string> texts[] = {
      {"Za\xBF\xF3\xB3\xE6; g\xEA\xB6l\xB1\nkraj; \xA3\xF3"
       "d\xBC",
       "ISO-8859-2"},
      {"\xF0\xD2\xC9\xD7\xC5\xD4; \xCD\xC9\xD2", "KOI8-R"},  // Привет; мир
      {"Desserts; \x93pie\x94 \x96 caf\xE9", "Windows-1252"},
  };
  for (const auto& [text, likeliest] : texts) {
    const std::vector<CodePageGuess> guesses = guessCodePages(profileOf(text));
    ASSERT_FALSE(guesses.empty());
    EXPECT_EQ(guesses.front().codePage.label, likeliest) << guessed(text);
  }
}

TEST(CodePage, GuessesOnlyAmongCandidatesThatReadTheFile) {
  SKIP_WITHOUT("WINDOWS-1252", "ISO-8859-15", "WINDOWS-1250", "ISO-8859-2");
  const CodePage western[] = {kCodePages[0], kCodePages[1], kCodePages[2], kCodePages[3]};
  EXPECT_EQ(guessed("Gr\x81\xE1"
                    "e",
                    western),
            "");
  const CodePage unknown[] = {{"no-such-code-page", "None"}, kCodePages[0]};
  EXPECT_EQ(guessed("caf\xE9", unknown), "Windows-1252 2");
}

}  // namespace
}  // namespace tagtree::explain
