// The base classes: objects with run-time class information, persistent
// objects, components with ownership, string lists, lists and streams.
// Pure code: no Windows header (file access goes through fileio.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sysutils.h"
#include "typinfo.h"

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType().Name; }
  bool InheritsFrom(const TClassInfo& info) const { return ClassType().InheritsFrom(info); }
};

// An object that can be copied with Assign and whose published properties can
// be stored.
class TPersistent : public TObject {
  VCL_CLASS(TPersistent)
 public:
  // Copies source into this object. The default asks the source to assign
  // itself to this (AssignTo), which by default raises the assignment error.
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
  // Raises "Cannot assign a <source class> to a <this class>".
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

enum class TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning };
using TComponentState = TSet<TComponentStateItem>;

// A component owns the components created with it as owner and destroys them
// with itself, last created first.
class TComponent : public TPersistent {
  VCL_CLASS(TComponent)
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  // Owned component by name (ASCII case-insensitive), or null.
  TComponent* FindComponent(std::string_view name) const;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name);
  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t tag) { FTag = tag; }
  TComponentState ComponentState() const { return FState; }

  // Called once the component's properties have been read from a template.
  virtual void Loaded();
  // The template places a component inside another one (a control on its
  // window); non-visual components ignore it.
  virtual void SetParentComponent(TComponent* parent) {}

  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  // Frees every owned component, the last inserted first.
  void DestroyComponents();

  // Handlers and fields a template may name, looked up on the template's root.
  virtual const std::any* FindMethod(std::string_view name) const;
  virtual bool BindField(const std::string& name, TComponent* component);

  void SetState(TComponentStateItem item, bool on);
  bool Loading() const { return FState.Contains(TComponentStateItem::csLoading); }

 protected:
  // Informs this component that another one is going away.
  virtual void Notification(TComponent* component, bool removing);

 private:
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::string FName;
  intptr_t FTag = 0;
  TComponentState FState;
};

// ---- String lists ------------------------------------------------------

// Splits text into lines: a line ends at CR LF, a lone CR or a lone LF; the
// last line needs no end; a NUL byte ends the text.
std::vector<std::string> SplitTextLines(std::string_view text);

class TStream;

class TStrings : public TPersistent {
  VCL_CLASS(TStrings)
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  // Raises EStringListError "List index out of bounds (%d)" outside 0..Count-1.
  const std::string& Strings(int index) const;
  const std::string& operator[](int index) const { return Strings(index); }
  void Put(int index, const std::string& s);
  int Add(const std::string& s);
  void Insert(int index, const std::string& s);
  void Delete(int index);
  void Clear();
  int IndexOf(std::string_view s) const;  // ASCII case-insensitive, -1 when absent
  // Lines, each followed by CR LF.
  std::string Text() const;
  void SetText(std::string_view text);
  void LoadFromStream(TStream& stream);
  // Raises the stream's error ("Cannot open file %s") when the file cannot be opened.
  void LoadFromFile(const std::string& fileName);
  void SaveToStream(TStream& stream) const;
  void SaveToFile(const std::string& fileName) const;
  const std::vector<std::string>& Items() const { return FItems; }

  void Assign(const TPersistent* source) override;

 protected:
  [[noreturn]] void IndexError(int index) const;
  std::vector<std::string> FItems;
};

class TStringList : public TStrings {
  VCL_CLASS(TStringList)
};

// ---- Lists ------------------------------------------------------------

// A list of untyped pointers. Index errors raise EListError.
class TList : public TObject {
  VCL_CLASS(TList)
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  void* Items(int index) const;
  void* operator[](int index) const { return Items(index); }
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int Remove(void* item);
  int IndexOf(void* item) const;
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void Clear() { FItems.clear(); }

 private:
  std::vector<void*> FItems;
};

// ---- Streams ----------------------------------------------------------

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
  VCL_CLASS(TStream)
 public:
  // Read and Write return the number of bytes moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  virtual int64_t Size();
  // Raise EReadError / EWriteError when fewer bytes move.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source (all of it from its start when count is 0).
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
  VCL_CLASS(TMemoryStream)
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void Clear() { FData.clear(); FData.shrink_to_fit(); FPos = 0; }
  const char* Memory() const { return FData.data(); }
  std::string DataString() const { return FData; }
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

 private:
  std::string FData;
  int64_t FPos = 0;
};

// A stream over a text held in memory.
class TStringStream : public TStream {
  VCL_CLASS(TStringStream)
 public:
  explicit TStringStream(std::string data = {}) : FData(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  const std::string& DataString() const { return FData; }

 private:
  std::string FData;
  int64_t FPos = 0;
};

// File open modes and sharing, combined with |.
enum : uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,  // create or replace, open for reading and writing
};

class TFileStream : public TStream {
  VCL_CLASS(TFileStream)
 public:
  // Raises EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
  TFileStream(const std::string& fileName, uint32_t mode);
  ~TFileStream() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
  intptr_t FHandle;
};
