// The object registry: owns every loaded or computed object under an id that is never reused.
#include "core/zelRegistry.h"

#include <vector>

#include "core/zelUiState.h"

TObjCallback CallbackOnAdd2ObjList;
TObjCallback CallbackBeforeDeleteObject;
TObjCallback CallbackAfterDeleteObject;

namespace {

struct TObjListRec {
  TObjType ObjType = oABIF;
  std::unique_ptr<TZelObject> ObjPtr;
};

struct TRegistry {
  std::vector<TObjListRec> ObjList;  // its size is nObjects
  int32_t ActiveObj = -1;
};

TRegistry& Reg() {
  static TRegistry reg;
  return reg;
}

bool InRange(int32_t oid) { return oid >= 0 && static_cast<size_t>(oid) < Reg().ObjList.size(); }

}  // namespace

uint32_t AddObj2ObjList(std::unique_ptr<TZelObject> obj, TObjType objectType) {
  auto& list = Reg().ObjList;
  if (list.size() == list.capacity()) list.reserve(list.size() + 10);
  const uint32_t oid = static_cast<uint32_t>(list.size());
  list.push_back(TObjListRec{objectType, std::move(obj)});
  if (CallbackOnAdd2ObjList) CallbackOnAdd2ObjList(oid);
  return oid;
}

TZelObject* GetLastObjOfType(TObjType objectType) {
  const auto& list = Reg().ObjList;
  for (size_t i = list.size(); i-- > 0;)
    if (list[i].ObjPtr && list[i].ObjType == objectType) return list[i].ObjPtr.get();
  return nullptr;
}

int32_t GetLastObjIdOfType(std::initializer_list<TObjType> types) {
  const auto& list = Reg().ObjList;
  for (size_t i = list.size(); i-- > 0;) {
    if (!list[i].ObjPtr) continue;
    for (TObjType t : types)
      if (list[i].ObjType == t) return static_cast<int32_t>(i);
  }
  return -1;
}

TZelObject* GetObjById(int32_t oid) {
  return InRange(oid) ? Reg().ObjList[static_cast<size_t>(oid)].ObjPtr.get() : nullptr;
}

TObjType GetObjTypeById(int32_t oid) {
  return InRange(oid) ? Reg().ObjList[static_cast<size_t>(oid)].ObjType : TObjType{};
}

bool DeleteObject(int32_t oid) {
  if (!InRange(oid) || !Reg().ObjList[static_cast<size_t>(oid)].ObjPtr) return false;
  if (CallbackBeforeDeleteObject) CallbackBeforeDeleteObject(static_cast<uint64_t>(oid));
  // Every kind is destroyed here: the registry owns what it holds, whatever its type.
  // Taken out of the entry first, so a destructor that looks the registry up sees it gone.
  std::unique_ptr<TZelObject> obj = std::move(Reg().ObjList[static_cast<size_t>(oid)].ObjPtr);
  obj.reset();
  if (CallbackAfterDeleteObject) CallbackAfterDeleteObject(static_cast<uint64_t>(oid));
  return true;
}

bool DeleteAllObjects() {
  for (size_t i = 0; i < Reg().ObjList.size(); ++i) DeleteObject(static_cast<int32_t>(i));
  return true;
}

int32_t ZelObjCount() { return static_cast<int32_t>(Reg().ObjList.size()); }

int32_t GetActiveObj() { return Reg().ActiveObj; }

void SetActiveObj(int32_t oid) { Reg().ActiveObj = InRange(oid) ? oid : -1; }

void OnNewObjHandler(uint64_t oid) { scUiSetObject(static_cast<int32_t>(oid)); }

void ZelRegistryReset() {
  DeleteAllObjects();
  Reg().ObjList.clear();
  Reg().ActiveObj = -1;
}

void scCloseActiveFile() {
  if (Reg().ActiveObj >= 0) DeleteObject(Reg().ActiveObj);
  Reg().ActiveObj = -1;
  scUiSetFileName("--");
}
