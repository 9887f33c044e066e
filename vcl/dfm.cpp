#include "dfm.h"

#include <cstdlib>

namespace {

class Parser {
 public:
  explicit Parser(std::string_view t) : s(t) {}

  TTemplateObject Object() {
    Skip();
    int line = Line;
    ExpectWord("object");
    TTemplateObject obj;
    obj.Line = line;
    obj.Name = Ident(false);
    Skip();
    if (Peek() == ':') {
      ++p;
      obj.ClassName = Ident(false);
    } else {
      // "object TClass" without a name.
      obj.ClassName = obj.Name;
      obj.Name.clear();
    }
    for (;;) {
      Skip();
      if (AtEnd()) Fail("'end' expected");
      size_t save = p;
      int saveLine = Line;
      std::string word = Ident(true);
      if (SameTextAscii(word, "end")) break;
      if (SameTextAscii(word, "object")) {
        p = save;
        Line = saveLine;
        if (++Depth > 64) Fail("objects nested too deeply");
        obj.Children.push_back(Object());
        --Depth;
        continue;
      }
      Skip();
      if (Peek() != '=') Fail("'=' expected");
      ++p;
      obj.Props.emplace_back(std::move(word), Value());
    }
    return obj;
  }

  std::vector<std::pair<std::string, TValue>> PropList() {
    std::vector<std::pair<std::string, TValue>> out;
    for (;;) {
      Skip();
      if (AtEnd()) break;
      std::string word = Ident(true);
      Skip();
      if (Peek() != '=') Fail("'=' expected");
      ++p;
      out.emplace_back(std::move(word), Value());
    }
    return out;
  }

  void ExpectEnd() {
    Skip();
    if (!AtEnd()) Fail("end of text expected");
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    throw EParserError(Format("%s on line %d", what, Line));
  }
  bool AtEnd() const { return p >= s.size(); }
  char Peek() const { return AtEnd() ? '\0' : s[p]; }

  void Skip() {
    while (!AtEnd()) {
      char c = s[p];
      if (c == '\n') {
        ++Line;
        ++p;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++p;
      } else if (c == '/' && p + 1 < s.size() && s[p + 1] == '/') {
        while (!AtEnd() && s[p] != '\n') ++p;
      } else {
        break;
      }
    }
  }

  static bool IdentChar(char c, bool dots) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           (dots && c == '.');
  }

  std::string Ident(bool dots) {
    Skip();
    size_t b = p;
    while (!AtEnd() && IdentChar(s[p], dots)) ++p;
    if (b == p) Fail("identifier expected");
    return std::string(s.substr(b, p - b));
  }

  void ExpectWord(const char* w) {
    std::string got = Ident(false);
    if (!SameTextAscii(got, w)) Fail("'object' expected");
  }

  TValue Value() {
    if (++Depth > 64) Fail("values nested too deeply");
    TValue v = ValueInner();
    --Depth;
    return v;
  }

  TValue ValueInner() {
    Skip();
    char c = Peek();
    if (c == '\'' || c == '#') return TValue::Str(StringValue());
    if (c == '[') {
      ++p;
      std::vector<std::string> items;
      Skip();
      if (Peek() == ']') {
        ++p;
        return TValue::Set(std::move(items));
      }
      for (;;) {
        items.push_back(Ident(false));
        Skip();
        if (Peek() == ',') {
          ++p;
          continue;
        }
        if (Peek() == ']') {
          ++p;
          break;
        }
        Fail("']' expected");
      }
      return TValue::Set(std::move(items));
    }
    if (c == '(') {
      ++p;
      TValue v;
      v.kind = TValue::vList;
      for (;;) {
        Skip();
        if (AtEnd()) Fail("')' expected");
        if (Peek() == ')') {
          ++p;
          break;
        }
        v.list.push_back(Value());
      }
      return v;
    }
    if (c == '{') {
      ++p;
      TValue v;
      v.kind = TValue::vBinary;
      int nibble = -1;
      for (;;) {
        Skip();
        if (AtEnd()) Fail("'}' expected");
        char h = s[p++];
        if (h == '}') break;
        int d = HexDigit(h);
        if (d < 0) Fail("hex digit expected");
        if (nibble < 0) nibble = d;
        else {
          v.s.push_back(static_cast<char>(nibble * 16 + d));
          nibble = -1;
        }
      }
      return v;
    }
    if (c == '-' || c == '+' || c == '$' || (c >= '0' && c <= '9')) return Number();
    return TValue::Ident(Ident(false));
  }

  static int HexDigit(char h) {
    if (h >= '0' && h <= '9') return h - '0';
    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
    return -1;
  }

  TValue Number() {
    size_t b = p;
    bool neg = false;
    if (Peek() == '-' || Peek() == '+') {
      neg = Peek() == '-';
      ++p;
    }
    if (Peek() == '$') {
      ++p;
      uint64_t v = 0;
      size_t digits = 0;
      while (!AtEnd() && HexDigit(s[p]) >= 0) {
        v = (v << 4) | static_cast<uint64_t>(HexDigit(s[p]));
        ++p;
        if (++digits > 16) Fail("number too long");
      }
      if (!digits) Fail("hex digit expected");
      int64_t r = static_cast<int64_t>(v);
      return TValue::Int(neg ? -r : r);
    }
    size_t digits = 0;
    bool isFloat = false;
    while (!AtEnd() && ((s[p] >= '0' && s[p] <= '9') || s[p] == '.' || s[p] == 'e' || s[p] == 'E' ||
                        ((s[p] == '-' || s[p] == '+') && (s[p - 1] == 'e' || s[p - 1] == 'E')))) {
      if (s[p] == '.' || s[p] == 'e' || s[p] == 'E') isFloat = true;
      else if (s[p] >= '0' && s[p] <= '9') ++digits;
      ++p;
    }
    if (!digits) Fail("number expected");
    std::string text(s.substr(b, p - b));
    if (isFloat) {
      char* end = nullptr;
      double d = std::strtod(text.c_str(), &end);
      if (!end || *end) Fail("malformed number");
      return TValue::Float(d);
    }
    if (digits > 18) Fail("number too long");
    return TValue::Int(std::strtoll(text.c_str(), nullptr, 10));
  }

  std::string StringValue() {
    std::string out;
    bool needPiece = true;
    for (;;) {
      char c = Peek();
      if (c == '\'') {
        ++p;
        for (;;) {
          if (AtEnd() || s[p] == '\n') Fail("unterminated string");
          char ch = s[p++];
          if (ch == '\'') {
            if (Peek() == '\'') {
              out.push_back('\'');
              ++p;
              continue;
            }
            break;
          }
          out.push_back(ch);
        }
      } else if (c == '#') {
        ++p;
        size_t b = p;
        unsigned v = 0;
        while (!AtEnd() && s[p] >= '0' && s[p] <= '9' && p - b < 5) v = v * 10 + static_cast<unsigned>(s[p++] - '0');
        if (b == p || v > 255) Fail("character code expected");
        out.push_back(static_cast<char>(v));
      } else if (needPiece) {
        Fail("string expected");
      } else {
        break;
      }
      needPiece = false;
      // Pieces follow directly, or after a '+' that may end the line.
      if (Peek() == '\'' || Peek() == '#') continue;
      size_t save = p;
      int saveLine = Line;
      Skip();
      if (Peek() == '+') {
        ++p;
        Skip();
        needPiece = true;
        continue;
      }
      p = save;
      Line = saveLine;
      break;
    }
    return out;
  }

  std::string_view s;
  size_t p = 0;
  int Line = 1;
  int Depth = 0;
};

void WriteString(std::string& out, const std::string& v) {
  if (v.empty()) {
    out += "''";
    return;
  }
  bool inQuote = false;
  size_t run = 0;
  for (unsigned char c : v) {
    // Keep lines of a reasonable length; break only where more text follows,
    // since a '+' must be followed by a piece.
    if (run >= 64 && inQuote) {
      out += "' +\r\n      ";
      inQuote = false;
      run = 0;
    }
    bool printable = c >= 32 && c < 127;
    if (printable) {
      if (!inQuote) {
        out += '\'';
        inQuote = true;
      }
      if (c == '\'') out += "''";
      else out += static_cast<char>(c);
    } else {
      if (inQuote) {
        out += '\'';
        inQuote = false;
      }
      out += '#';
      out += std::to_string(c);
    }
    ++run;
  }
  if (inQuote) out += '\'';
}

void WriteObject(std::string& out, const TTemplateObject& obj, int indent) {
  std::string pad(static_cast<size_t>(indent) * 2, ' ');
  out += pad + "object ";
  if (!obj.Name.empty()) out += obj.Name + ": ";
  out += obj.ClassName + "\r\n";
  for (const auto& [name, value] : obj.Props)
    out += pad + "  " + name + " = " + ValueToTemplateText(value) + "\r\n";
  for (const auto& child : obj.Children) WriteObject(out, child, indent + 1);
  out += pad + "end\r\n";
}

}  // namespace

TTemplateObject ParseTemplate(std::string_view text) {
  Parser p(text);
  TTemplateObject obj = p.Object();
  p.ExpectEnd();
  return obj;
}

std::vector<std::pair<std::string, TValue>> ParsePropertyList(std::string_view text) {
  Parser p(text);
  return p.PropList();
}

std::string ValueToTemplateText(const TValue& v) {
  std::string out;
  switch (v.kind) {
    case TValue::vNone: return "''";
    case TValue::vInt: return std::to_string(v.i);
    case TValue::vFloat: {
      std::string t = Format("%.17g", v.f);
      if (t.find_first_of(".eEn") == std::string::npos) t += ".0";
      return t;
    }
    case TValue::vString: WriteString(out, v.s); return out;
    case TValue::vIdent: return v.s;
    case TValue::vSet: {
      out = "[";
      for (size_t k = 0; k < v.set.size(); ++k) {
        if (k) out += ", ";
        out += v.set[k];
      }
      return out + "]";
    }
    case TValue::vList: {
      out = "(";
      for (size_t k = 0; k < v.list.size(); ++k) {
        out += k ? " " : "";
        out += ValueToTemplateText(v.list[k]);
      }
      return out + ")";
    }
    case TValue::vBinary: {
      static const char* hex = "0123456789ABCDEF";
      out = "{";
      for (unsigned char c : v.s) {
        out += hex[c >> 4];
        out += hex[c & 15];
      }
      return out + "}";
    }
  }
  return out;
}

std::string WriteTemplate(const TTemplateObject& obj) {
  std::string out;
  WriteObject(out, obj, 0);
  return out;
}
