#include "classes.h"

#include <algorithm>
#include <cstring>

#include "fileio.h"

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo info{"TObject", nullptr, nullptr, nullptr};
  return info;
}

// ---- TPersistent ------------------------------------------------------

VCL_DEFINE_CLASS(TPersistent, TObject, nullptr, nullptr)

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  std::string from = source ? source->ClassName() : std::string("nil");
  throw EConvertAssignError(Format(vcl::res::AssignError, from.c_str(), ClassName().c_str()));
}

// ---- TComponent -------------------------------------------------------

static std::vector<TPropInfo> ComponentProps() {
  return TPropBuilder<TComponent>()
      .Prop("Name", &TComponent::Name, &TComponent::SetName)
      .NotStored()
      .Prop("Tag", &TComponent::Tag, &TComponent::SetTag, intptr_t{0})
      .Done();
}
VCL_DEFINE_CLASS(TComponent, TPersistent, nullptr, &ComponentProps)

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  SetState(TComponentStateItem::csDestroying, true);
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EListError(Format(vcl::res::ListIndexError, index));
  return FComponents[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameTextAscii(c->FName, name)) return c;
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (name == FName) return;
  if (!name.empty() && FOwner) {
    TComponent* other = FOwner->FindComponent(name);
    if (other && other != this)
      throw EInvalidOperation(Format("A component named %s already exists", name.c_str()));
  }
  FName = name;
}

void TComponent::Loaded() { SetState(TComponentStateItem::csLoading, false); }

void TComponent::InsertComponent(TComponent* c) {
  if (c->FOwner) c->FOwner->RemoveComponent(c);
  c->FOwner = this;
  FComponents.push_back(c);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(FComponents.begin(), FComponents.end(), c);
  if (it == FComponents.end()) return;
  FComponents.erase(it);
  c->FOwner = nullptr;
  if (!FState.Contains(TComponentStateItem::csDestroying)) Notification(c, true);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    FComponents.pop_back();
    c->FOwner = nullptr;
    delete c;
  }
}

const std::any* TComponent::FindMethod(std::string_view) const { return nullptr; }
bool TComponent::BindField(const std::string&, TComponent*) { return false; }
void TComponent::Notification(TComponent*, bool) {}

void TComponent::SetState(TComponentStateItem item, bool on) {
  if (on) FState << item;
  else FState >> item;
}

// ---- TStrings ---------------------------------------------------------

std::vector<std::string> SplitTextLines(std::string_view text) {
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  std::vector<std::string> lines;
  size_t start = 0;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < n) lines.emplace_back(text.substr(start));
  return lines;
}

static std::vector<TPropInfo> StringsProps() {
  TPropInfo p;
  p.Name = "Strings";
  p.Kind = TPropKind::Strings;
  p.Get = [](const TObject& o) {
    TValue v;
    v.kind = TValue::vList;
    for (const auto& s : static_cast<const TStrings&>(o).Items()) v.list.push_back(TValue::Str(s));
    return v;
  };
  p.Set = [](TObject& o, const TValue& v) {
    if (v.kind != TValue::vList) throw EPropertyError("Invalid property value");
    // Through Assign, so that a list that acts on its lines sees them all at once.
    TStringList lines;
    for (const auto& item : v.list) lines.Add(item.s);
    static_cast<TStrings&>(o).Assign(&lines);
  };
  return {p};
}
VCL_DEFINE_CLASS(TStrings, TPersistent, nullptr, &StringsProps)
VCL_DEFINE_CLASS(TStringList, TStrings, nullptr, nullptr)

void TStrings::IndexError(int index) const {
  throw EStringListError(Format(vcl::res::ListIndexError, index));
}

const std::string& TStrings::Strings(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return FItems[static_cast<size_t>(index)];
}

void TStrings::Put(int index, const std::string& s) {
  if (index < 0 || index >= Count()) IndexError(index);
  FItems[static_cast<size_t>(index)] = s;
}

int TStrings::Add(const std::string& s) {
  FItems.push_back(s);
  return Count() - 1;
}

void TStrings::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) IndexError(index);
  FItems.insert(FItems.begin() + index, s);
}

void TStrings::Delete(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  FItems.erase(FItems.begin() + index);
}

void TStrings::Clear() { FItems.clear(); }

int TStrings::IndexOf(std::string_view s) const {
  for (size_t k = 0; k < FItems.size(); ++k)
    if (SameTextAscii(FItems[k], s)) return static_cast<int>(k);
  return -1;
}

std::string TStrings::Text() const {
  size_t len = 0;
  for (const auto& s : FItems) len += s.size() + 2;
  std::string r;
  r.reserve(len);
  for (const auto& s : FItems) {
    r += s;
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(std::string_view text) { FItems = SplitTextLines(text); }

void TStrings::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  std::string data;
  if (size > 0) {
    data.resize(static_cast<size_t>(size));
    data.resize(static_cast<size_t>(stream.Read(data.data(), size)));
  }
  SetText(data);
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string t = Text();
  stream.WriteBuffer(t.data(), static_cast<int64_t>(t.size()));
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
}

void TStrings::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TStrings*>(source)) {
    if (s != this) FItems = s->FItems;
    return;
  }
  TPersistent::Assign(source);
}

// ---- TList ------------------------------------------------------------

VCL_DEFINE_CLASS(TList, TObject, nullptr, nullptr)

void* TList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(vcl::res::ListIndexError, index));
  return FItems[static_cast<size_t>(index)];
}

int TList::Add(void* item) {
  FItems.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) throw EListError(Format(vcl::res::ListIndexError, index));
  FItems.insert(FItems.begin() + index, item);
}

void TList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(Format(vcl::res::ListIndexError, index));
  FItems.erase(FItems.begin() + index);
}

int TList::Remove(void* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

// ---- Streams ----------------------------------------------------------

VCL_DEFINE_CLASS(TStream, TObject, nullptr, nullptr)
VCL_DEFINE_CLASS(TMemoryStream, TStream, nullptr, nullptr)
VCL_DEFINE_CLASS(TStringStream, TStream, nullptr, nullptr)
VCL_DEFINE_CLASS(TFileStream, TStream, nullptr, nullptr)

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(vcl::res::ReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(vcl::res::WriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t total = count;
  std::vector<char> buf(static_cast<size_t>(std::min<int64_t>(count, 1 << 16)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return total;
}

template <class Data>
static int64_t MemRead(const Data& d, int64_t& pos, void* buffer, int64_t count) {
  int64_t size = static_cast<int64_t>(d.size());
  if (count <= 0 || pos >= size) return 0;
  int64_t n = std::min(count, size - pos);
  std::memcpy(buffer, d.data() + pos, static_cast<size_t>(n));
  pos += n;
  return n;
}

template <class Data>
static int64_t MemWrite(Data& d, int64_t& pos, const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = pos + count;
  if (end > static_cast<int64_t>(d.size())) {
    // Grow geometrically so that many small writes stay linear.
    if (static_cast<size_t>(end) > d.capacity()) d.reserve(std::max<size_t>(static_cast<size_t>(end), d.capacity() * 2));
    d.resize(static_cast<size_t>(end));
  }
  std::memcpy(d.data() + pos, buffer, static_cast<size_t>(count));
  pos = end;
  return count;
}

static int64_t MemSeek(int64_t size, int64_t& pos, int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos : size;
  int64_t np = base + offset;
  if (np < 0) np = 0;
  pos = np;
  return pos;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) { return MemRead(FData, FPos, buffer, count); }
int64_t TMemoryStream::Write(const void* buffer, int64_t count) { return MemWrite(FData, FPos, buffer, count); }
int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  return MemSeek(static_cast<int64_t>(FData.size()), FPos, offset, origin);
}
void TMemoryStream::SetSize(int64_t size) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (FPos > size) FPos = size;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  int64_t n = f.Size();
  FData.assign(static_cast<size_t>(n), '\0');
  f.ReadBuffer(FData.data(), n);
  FPos = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream f(fileName, fmCreate);
  f.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

int64_t TStringStream::Read(void* buffer, int64_t count) { return MemRead(FData, FPos, buffer, count); }
int64_t TStringStream::Write(const void* buffer, int64_t count) { return MemWrite(FData, FPos, buffer, count); }
int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  return MemSeek(static_cast<int64_t>(FData.size()), FPos, offset, origin);
}
void TStringStream::SetSize(int64_t size) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (FPos > size) FPos = size;
}

TFileStream::TFileStream(const std::string& fileName, uint32_t mode) : FFileName(fileName) {
  FHandle = vcl::fileio::Open(fileName, mode);
  if (FHandle == -1) {
    if ((mode & 0xFF00) == fmCreate) throw EFCreateError(Format(vcl::res::FCreateError, fileName.c_str()));
    throw EFOpenError(Format(vcl::res::FOpenError, fileName.c_str()));
  }
}

TFileStream::~TFileStream() { vcl::fileio::Close(FHandle); }

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t n = vcl::fileio::Read(FHandle, buffer, count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  return vcl::fileio::Write(FHandle, buffer, count);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  return vcl::fileio::Seek(FHandle, offset, origin);
}

void TFileStream::SetSize(int64_t size) {
  if (!vcl::fileio::Truncate(FHandle, size)) throw EWriteError(vcl::res::WriteError);
}
