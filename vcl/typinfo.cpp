#include "typinfo.h"

#include <map>
#include <mutex>

#include "classes.h"

bool TValue::operator==(const TValue& o) const {
  if (kind != o.kind) {
    // An integer and a float of the same value compare equal.
    if (kind == vInt && o.kind == vFloat) return static_cast<double>(i) == o.f;
    if (kind == vFloat && o.kind == vInt) return f == static_cast<double>(o.i);
    return false;
  }
  switch (kind) {
    case vNone: return true;
    case vInt: return i == o.i;
    case vFloat: return f == o.f;
    case vString: return s == o.s;
    case vIdent:
    case vBinary: return kind == vIdent ? SameTextAscii(s, o.s) : s == o.s;
    case vSet: {
      if (set.size() != o.set.size()) return false;
      for (size_t k = 0; k < set.size(); ++k)
        if (!SameTextAscii(set[k], o.set[k])) return false;
      return true;
    }
    case vList: return list == o.list;
  }
  return false;
}

std::string TValue::ToText() const {
  switch (kind) {
    case vNone: return {};
    case vInt: return std::to_string(i);
    case vFloat: return Format("%.17g", f);
    case vString:
    case vIdent:
    case vBinary: return s;
    case vSet: {
      std::string r = "[";
      for (size_t k = 0; k < set.size(); ++k) {
        if (k) r += ',';
        r += set[k];
      }
      return r + "]";
    }
    case vList: {
      std::string r;
      for (size_t k = 0; k < list.size(); ++k) {
        if (k) r += "\r\n";
        r += list[k].ToText();
      }
      return r;
    }
  }
  return {};
}

int TEnumInfo::IndexOf(std::string_view name) const {
  for (size_t k = 0; k < Names.size(); ++k)
    if (SameTextAscii(Names[k], name)) return static_cast<int>(k);
  return -1;
}

const std::vector<TPropInfo>& TClassInfo::OwnProps() const {
  // Tables are built once, on first use, and live for the whole run.
  static std::mutex m;
  static std::map<const TClassInfo*, std::vector<TPropInfo>> tables;
  std::lock_guard<std::mutex> lock(m);
  auto it = tables.find(this);
  if (it == tables.end())
    it = tables.emplace(this, BuildProps ? BuildProps() : std::vector<TPropInfo>{}).first;
  return it->second;
}

const TPropInfo* TClassInfo::FindProp(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TPropInfo& p : c->OwnProps())
      if (SameTextAscii(p.Name, name)) return &p;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->OwnProps()) {
      // A redeclared property keeps its place but takes the newer description.
      bool replaced = false;
      for (auto& q : out)
        if (SameTextAscii(q->Name, p.Name)) {
          q = &p;
          replaced = true;
        }
      if (!replaced) out.push_back(&p);
    }
  return out;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (c == &other) return true;
  return false;
}

namespace vcl {
namespace {
struct Registry {
  std::mutex m;
  std::map<std::string, const TClassInfo*> classes;  // upper-cased names
  std::map<const TClassInfo*, std::string> pages;
};
Registry& Reg() {
  static Registry r;
  return r;
}
}  // namespace

void RegisterClassInfo(const TClassInfo& info) {
  auto& r = Reg();
  std::lock_guard<std::mutex> lock(r.m);
  r.classes[AsciiUpper(info.Name)] = &info;
}

const TClassInfo* FindClass(std::string_view name) {
  auto& r = Reg();
  std::lock_guard<std::mutex> lock(r.m);
  auto it = r.classes.find(AsciiUpper(name));
  return it == r.classes.end() ? nullptr : it->second;
}

void RegisterComponents(const std::string& page, std::initializer_list<const TClassInfo*> classes) {
  for (const TClassInfo* c : classes) {
    RegisterClassInfo(*c);
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.m);
    r.pages[c] = page;
  }
}

std::string ComponentPage(const TClassInfo& info) {
  auto& r = Reg();
  std::lock_guard<std::mutex> lock(r.m);
  auto it = r.pages.find(&info);
  return it == r.pages.end() ? std::string() : it->second;
}
}  // namespace vcl
