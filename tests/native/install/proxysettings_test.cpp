#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classes.h"
#include "proxyfile.h"
#include "proxysettings.h"

namespace {

using proxyfile::Scramble;

TEST(DescrambleText, HandComputedBytes) {
  struct Case {
    const char* what;
    std::string scrambled, plain;
  } cases[] = {
      {"empty", "", ""},
      // 0 - 40 wraps to 0xD8, then XOR 'Q' (0x51).
      {"byte 0 wraps", std::string(1, '\0'), "\x89"},
      {"byte 39 wraps", "\x27", "\xAE"},
      {"byte 40 becomes 0, then the key", "(", "Q"},
      // 'Q' + 40 = 'y': after the first pass it equals its key character
      // and stays; the same at position 1 with 'u' + 40.
      {"equal to key at 0", "y", "Q"},
      {"equal to key at 1", "a\x9D", "hu"},  // 0x39 ^ 0x51, then 'u' stays
      {"high byte", "\xFF", "\x86"},  // 0xD7 ^ 0x51
  };
  for (const Case& c : cases) EXPECT_EQ(DescrambleText(c.scrambled), c.plain) << c.what;
}

TEST(DescrambleText, KeyWrapsAtSixteen) {
  // Every byte is 'y' ('Q' + 40): positions 0 and 16 use 'Q' and stay 'Q';
  // positions 1 to 15 use the other key characters.
  const std::string out = DescrambleText(std::string(33, 'y'));
  ASSERT_EQ(out.size(), 33u);
  for (size_t i = 0; i < out.size(); ++i) {
    const char k = ProxyKey[i % 16];
    const char expected = k == 'Q' ? 'Q' : static_cast<char>('Q' ^ k);
    EXPECT_EQ(out[i], expected) << "position " << i;
  }
  EXPECT_EQ(out[16], 'Q');
  EXPECT_EQ(out[17], out[1]);
  EXPECT_EQ(out[32], 'Q');
}

TEST(DescrambleText, EveryByteAtEveryKeyPositionKeepsLengthAndGivesNoZero) {
  for (int pos = 0; pos < 16; ++pos)
    for (int v = 0; v < 256; ++v) {
      std::string in(static_cast<size_t>(pos) + 1, 'A');
      in[static_cast<size_t>(pos)] = static_cast<char>(v);
      const std::string out = DescrambleText(in);
      ASSERT_EQ(out.size(), in.size());
      EXPECT_NE(out[static_cast<size_t>(pos)], '\0') << "byte " << v << " at " << pos;
    }
}

TEST(DescrambleText, UndoesTheScrambler) {
  std::string every;
  for (int v = 1; v < 256; ++v) every += static_cast<char>(v);
  const std::string cases[] = {
      "user", "s3cr3t!", "QuillBrookMeadow", "QuillBrookMeadowQuill",  // bytes equal to their key
      "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2",                      // Windows-1251 text
      "a b\tc$d", every,
  };
  for (const std::string& plain : cases) EXPECT_EQ(DescrambleText(Scramble(plain)), plain) << plain;
}

ProxySettings FromText(const std::string& text) { return ProxySettingsFromLines(SplitTextLines(text)); }

ProxySettings Proxy(std::string host, int32_t port, std::string user = {}, std::string password = {}) {
  return {std::move(host), port, std::move(user), std::move(password)};
}

std::string Lines(std::vector<std::string> lines, const char* eol = "\r\n") {
  std::string t;
  for (const auto& l : lines) t += l + eol;
  return t;
}

TEST(ProxySettingsFromLines, FileRules) {
  const std::string u = "$" + Scramble("alice"), p = "$" + Scramble("pa$$ word");
  const ProxySettings none;
  struct Case {
    const char* what;
    std::string text;
    ProxySettings expected;
  } cases[] = {
      {"no file or empty file", "", none},
      {"line 1 \"0\", six lines", Lines({"0", "1", "proxy", "8080", u, p}), none},
      {"line 1 \"0\" alone", "0", none},
      {"five lines", Lines({"1", "1", "proxy", "8080", u}), none},
      {"five lines, the last without end", "1\r\n1\r\nproxy\r\n8080\r\n" + u, none},
      {"line 1 empty", Lines({"", "0", "proxy", "3128", "", ""}), Proxy("proxy", 3128)},
      {"line 1 \" 0\"", Lines({" 0", "0", "proxy", "3128", "", ""}), Proxy("proxy", 3128)},
      {"line 1 \"0 \"", Lines({"0 ", "0", "proxy", "3128", "", ""}), Proxy("proxy", 3128)},
      {"six lines, the last without end", "1\r\n1\r\nproxy\r\n8080\r\n" + u + "\r\n" + p,
       Proxy("proxy", 8080, "alice", "pa$$ word")},
      {"port abc", Lines({"1", "0", "proxy", "abc", "", ""}), Proxy("proxy", 80)},
      {"port empty", Lines({"1", "0", "proxy", "", "", ""}), Proxy("proxy", 80)},
      {"host kept with its blanks", Lines({"1", "0", " 10.0.0.1 ", "1", "", ""}), Proxy(" 10.0.0.1 ", 1)},
      {"host empty", Lines({"1", "0", "", "8080", "", ""}), Proxy("", 8080)},
      {"credentials", Lines({"1", "1", "proxy", "8080", u, p}), Proxy("proxy", 8080, "alice", "pa$$ word")},
      {"line 5 empty: line 6 not read", Lines({"1", "1", "proxy", "8080", "", p}), Proxy("proxy", 8080)},
      {"line 5 without $, line 6 with $", Lines({"1", "1", "proxy", "8080", Scramble("alice"), p}),
       Proxy("proxy", 8080, "", "pa$$ word")},
      {"line 5 \"$\" alone, line 6 still read", Lines({"1", "1", "proxy", "8080", "$", p}),
       Proxy("proxy", 8080, "", "pa$$ word")},
      {"line 6 empty", Lines({"1", "1", "proxy", "8080", u, ""}), Proxy("proxy", 8080, "alice")},
      {"line 6 without $", Lines({"1", "1", "proxy", "8080", u, Scramble("x")}), Proxy("proxy", 8080, "alice")},
      {"line 2 \"1 \"", Lines({"1", "1 ", "proxy", "8080", u, p}), Proxy("proxy", 8080)},
      {"line 2 \" 1\"", Lines({"1", " 1", "proxy", "8080", u, p}), Proxy("proxy", 8080)},
      {"line 2 \"2\"", Lines({"1", "2", "proxy", "8080", u, p}), Proxy("proxy", 8080)},
      {"line 2 empty", Lines({"1", "", "proxy", "8080", u, p}), Proxy("proxy", 8080)},
      {"lines after the sixth ignored", Lines({"1", "1", "proxy", "8080", u, p, "0", "junk"}),
       Proxy("proxy", 8080, "alice", "pa$$ word")},
      {"lone LF", Lines({"1", "1", "proxy", "8080", u, p}, "\n"), Proxy("proxy", 8080, "alice", "pa$$ word")},
      {"lone CR", Lines({"1", "1", "proxy", "8080", u, p}, "\r"), Proxy("proxy", 8080, "alice", "pa$$ word")},
      {"CR CR LF is an empty line between", "1\r\r\n1\r\nproxy\r\n8080\r\n" + u + "\r\n" + p,
       Proxy("1", 80)},
      {"NUL ends the text", Lines({"1", "1", "proxy"}) + std::string(1, '\0') + Lines({"8080", u, p}), none},
  };
  for (const Case& c : cases) {
    const ProxySettings got = FromText(c.text);
    EXPECT_EQ(got, c.expected) << c.what << ": got host \"" << got.Host << "\" port " << got.Port
                               << " user \"" << got.User << "\" password \"" << got.Password << "\"";
  }
}

TEST(ProxyPortFromLine, DecimalValueOrEighty) {
  struct Case {
    const char* line;
    int32_t port;
  } cases[] = {
      {"8080", 8080}, {"0", 0},          {"65536", 65536},  // no range check
      {"-1", -1},     {"+3128", 3128},   {"$1F90", 8080},   {"0x1F90", 8080},
      {"abc", 80},    {"", 80},          {" 8080", 80},     {"8080 ", 80},
      {"80a", 80},    {"2147483648", 80}, {"99999999999", 80},
  };
  for (const Case& c : cases) EXPECT_EQ(ProxyPortFromLine(c.line), c.port) << '"' << c.line << '"';
}

}  // namespace
