// The registry: never-reused ids, lookup by type, the active object and the callbacks.
#include "coreFixture.h"

namespace {

class TCounted : public TZelObject {
 public:
  explicit TCounted(int* deaths) : FDeaths(deaths) {}
  ~TCounted() override { ++*FDeaths; }

 private:
  int* FDeaths;
};

class RegistryTest : public CoreTest {
 protected:
  int Deaths = 0;
  std::unique_ptr<TZelObject> Make() { return std::make_unique<TCounted>(&Deaths); }
};

TEST_F(RegistryTest, IdsAreNeverReused) {
  EXPECT_EQ(AddObj2ObjList(Make(), oVCF), 0u);
  EXPECT_EQ(AddObj2ObjList(Make(), oDist), 1u);
  EXPECT_TRUE(DeleteObject(0));
  EXPECT_EQ(Deaths, 1);
  EXPECT_EQ(AddObj2ObjList(Make(), oVCF), 2u);
  EXPECT_EQ(ZelObjCount(), 3);
  EXPECT_EQ(GetObjById(0), nullptr);
  EXPECT_EQ(GetObjTypeById(0), oVCF) << "the entry keeps its type";
}

TEST_F(RegistryTest, DeleteOfInvalidOrDeletedIdChangesNothing) {
  AddObj2ObjList(Make(), oVCF);
  EXPECT_FALSE(DeleteObject(-1));
  EXPECT_FALSE(DeleteObject(1));
  EXPECT_TRUE(DeleteObject(0));
  EXPECT_FALSE(DeleteObject(0));
  EXPECT_EQ(Deaths, 1);
}

TEST_F(RegistryTest, LookupByTypeTakesTheNewestLiveEntry) {
  EXPECT_EQ(GetLastObjOfType(oVCF), nullptr);
  EXPECT_EQ(GetLastObjIdOfType({oVCF}), -1);
  AddObj2ObjList(Make(), oVCF);                      // 0
  AddObj2ObjList(Make(), oDist);                     // 1
  const uint32_t v2 = AddObj2ObjList(Make(), oVCF);  // 2
  AddObj2ObjList(Make(), oBioDS);                    // 3
  EXPECT_EQ(GetLastObjIdOfType({oVCF}), 2);
  EXPECT_EQ(GetLastObjIdOfType({oDist, oBioDS}), 3);
  EXPECT_EQ(GetLastObjOfType(oVCF), GetObjById(static_cast<int32_t>(v2)));
  DeleteObject(2);
  EXPECT_EQ(GetLastObjIdOfType({oVCF}), 0);
  EXPECT_EQ(GetLastObjOfType(oVCF), GetObjById(0));
  EXPECT_EQ(GetLastObjOfTypeAs<TCounted>(oDist), GetObjById(1));
  EXPECT_EQ(GetLastObjIdOfType({oPopParams}), -1);
}

TEST_F(RegistryTest, AddingDoesNotChangeTheActiveObject) {
  EXPECT_EQ(GetActiveObj(), -1);
  const auto vcf = static_cast<int32_t>(AddObj2ObjList(Make(), oVCF));
  SetActiveObj(vcf);
  AddObj2ObjList(Make(), oBioDS);
  EXPECT_EQ(GetActiveObj(), vcf);
  SetActiveObj(99);
  EXPECT_EQ(GetActiveObj(), -1) << "an id that was never given is no active object";
}

TEST_F(RegistryTest, CallbacksSeeAddAndDeleteInOrder) {
  std::vector<std::string> seen;
  CallbackOnAdd2ObjList = [&](uint64_t id) { seen.push_back("add" + std::to_string(id)); };
  CallbackBeforeDeleteObject = [&](uint64_t id) {
    seen.push_back("before" + std::to_string(id) + (GetObjById(0) ? "live" : "gone"));
  };
  CallbackAfterDeleteObject = [&](uint64_t id) {
    seen.push_back("after" + std::to_string(id) + (GetObjById(0) ? "live" : "gone"));
  };
  AddObj2ObjList(Make(), oVCF);
  DeleteObject(0);
  DeleteObject(0);
  EXPECT_EQ(seen, (std::vector<std::string>{"add0", "before0live", "after0gone"}));
}

TEST_F(RegistryTest, NewObjectHandlerShowsTheIdInPanelOne) {
  CallbackOnAdd2ObjList = OnNewObjHandler;
  AddObj2ObjList(Make(), oVCF);
  AddObj2ObjList(Make(), oDist);
  EXPECT_EQ(ZelUiState().Panels[1], "1");
}

TEST_F(RegistryTest, CloseActiveFileTwiceDeletesOnceAndShowsDashesBothTimes) {
  CallbackOnAdd2ObjList = OnNewObjHandler;
  const auto vcf = static_cast<int32_t>(AddObj2ObjList(Make(), oVCF));
  SetActiveObj(vcf);
  scUiSetFileName("a.vcf");
  scUiSetDataSize("3 x 10");
  scCloseActiveFile();
  EXPECT_EQ(Deaths, 1);
  EXPECT_EQ(GetActiveObj(), -1);
  EXPECT_EQ(ZelUiState().Panels[0], "--");
  EXPECT_EQ(ZelUiState().Panels[1], "0");
  EXPECT_EQ(ZelUiState().Panels[2], "3 x 10");
  scUiSetFileName("b.vcf");
  scCloseActiveFile();
  EXPECT_EQ(Deaths, 1);
  EXPECT_EQ(ZelUiState().Panels[0], "--");
}

TEST_F(RegistryTest, DeleteAllDestroysEveryKindButKeepsTheIds) {
  for (TObjType t : {oVCF, oDist, oBioDS, oPopParams, oBCF, oObjList, oStrArray})
    AddObj2ObjList(Make(), t);
  EXPECT_TRUE(DeleteAllObjects());
  EXPECT_EQ(Deaths, 7);
  EXPECT_EQ(ZelObjCount(), 7);
  EXPECT_EQ(AddObj2ObjList(Make(), oVCF), 7u);
}

}  // namespace
