// The object registry: everything loaded or computed, by never-reused id, and the active object.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#include "base/zelObject.h"

enum TObjType : uint8_t {
  oABIF = 3,
  oAbifSeq = 4,
  oAbifFsa = 5,
  oFASTA = 6,
  oFASTQ = 7,
  oVCF = 12,
  oBCF = 13,
  oGFF3 = 17,
  oALGMT = 18,
  oQSEQ = 19,
  oStrArray = 20,
  oANNO = 22,
  oHPUX = 23,
  oDist = 24,
  oObjList = 25,
  oBioDS = 26,
  oPopParams = 27,
};

// Takes ownership; does not change the active object. Returns the new id.
uint32_t AddObj2ObjList(std::unique_ptr<TZelObject> obj, TObjType objectType);
TZelObject* GetLastObjOfType(TObjType objectType);
int32_t GetLastObjIdOfType(std::initializer_list<TObjType> types);
TZelObject* GetObjById(int32_t oid);  // null when out of range or deleted
TObjType GetObjTypeById(int32_t oid);
bool DeleteObject(int32_t oid);
bool DeleteAllObjects();
int32_t ZelObjCount();  // nObjects: also the next id

int32_t GetActiveObj();
void SetActiveObj(int32_t oid);

template <class T>
T* GetLastObjOfTypeAs(TObjType objectType) {
  return dynamic_cast<T*>(GetLastObjOfType(objectType));
}

using TObjCallback = std::function<void(uint64_t oid)>;
extern TObjCallback CallbackOnAdd2ObjList;
extern TObjCallback CallbackBeforeDeleteObject;
extern TObjCallback CallbackAfterDeleteObject;

// Shows a newly registered object's id in status panel 1; installed at start-up.
void OnNewObjHandler(uint64_t oid);
// Deletes every object and starts ids from 0 again: only for a fresh start (tests).
void ZelRegistryReset();

void scCloseActiveFile();
