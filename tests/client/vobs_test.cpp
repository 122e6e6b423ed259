#include "client/vobs.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "client/checkout_admin.h"
#include "client/client_test_util.h"
#include "client/view_store.h"
#include "client/vob_admin.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

TEST(VobAdminTest, AVobIsFoundByItsTagAndNeitherTagNorStorageMayBeTakenAgain) {
    CTempDir dir;
    const std::string tag = "/vobs/" + UniqueName("src");
    ASSERT_EQ(client::CreateVob(tag, dir / "stg/../stg", {}), TBS_ST_OK);
    client::CVobRecord by_tag;
    ASSERT_EQ(client::FindVob(tag, &by_tag), TBS_ST_OK);
    EXPECT_EQ(by_tag.storage_path, dir / "stg");

    EXPECT_EQ(client::CreateVob(tag, dir / "other", {}), TBS_ST_EXISTS);
    EXPECT_EQ(client::CreateVob(tag + "x", dir / "stg", {}), TBS_ST_EXISTS);
    EXPECT_EQ(client::FindVob(tag + "x", &by_tag), TBS_ST_NOT_FOUND);
}

TEST(VobTagTest, OnlyAbsoluteNamesWithoutSeparatorsOfVobListsAreTags) {
    for (const auto& [tag, valid] :
         {std::pair{"/vobs/src", true}, std::pair{"\\src", true}, std::pair{"/", false},
          std::pair{"src", false}, std::pair{"/a b", false}, std::pair{"/a,b", false},
          std::pair{"/a\"b", false}, std::pair{"/a\tb", false}, std::pair{"", false}})
        EXPECT_EQ(client::IsValidVobTag(tag), valid) << tag;
}

// A view that sees a number of VOBs; VOB handles are closed when it goes.
struct CVobSite {
    explicit CVobSite(int vob_count) : view(UniqueName("v")) {
        EXPECT_EQ(client::CreateView(view), TBS_ST_OK);
        for (int i = 0; i < vob_count; ++i) vobs.push_back("/" + UniqueName("vob"));
        EXPECT_EQ(client::RunInTransaction([&](client::CClientDatabase* db) -> tbs_status_t {
                      for (const std::string& vob : vobs) {
                          if (tbs_status_t status = client::CreateVob(db, vob, dir / vob, {}))
                              return status;
                          if (tbs_status_t status = client::AddVobToView(db, view, vob))
                              return status;
                      }
                      return TBS_ST_OK;
                  }),
                  TBS_ST_OK);
        EXPECT_EQ(view_get_handle_by_tag(view.c_str(), 0, handle.out()), TBS_ST_OK);
        EXPECT_EQ(view_get_uuid(handle.get(), &view_uuid), TBS_ST_OK);
    }
    ~CVobSite() { vob_ob_close_all(); }

    tbs_status_t Register(int i, vob_handle_t* vob) {
        client::CVobRecord record;
        EXPECT_EQ(client::FindVob(vobs[i], &record), TBS_ST_OK);
        tbs_uuid_t uuid{};
        EXPECT_TRUE(client::UuidFromText(record.uuid, &uuid));
        return vob_ob_register_replica(&uuid, &TBS_OID_NULL, nullptr, nullptr, 0, vob);
    }
    // Checks out elements e0.. of the first VOB in a view, in one transaction.
    void CheckOut(const std::string& in_view, int count) {
        EXPECT_EQ(
            client::RunInTransaction([&](client::CClientDatabase* db) -> tbs_status_t {
                for (int i = 0; i < count; ++i) {
                    const std::string element = "e" + std::to_string(i);
                    if (tbs_status_t status = client::CheckOut(db, in_view, vobs[0], element, ""))
                        return status;
                }
                return TBS_ST_OK;
            }),
            TBS_ST_OK);
    }

    CTempDir dir;
    std::string view;
    std::vector<std::string> vobs;
    CViewHandle handle;
    tbs_uuid_t view_uuid{};
};

struct CBatchCase {
    int vobs, checkouts;
    std::vector<int> inventory, checkout_batches;  // sizes, in order
};

class BatchTest : public ::testing::TestWithParam<CBatchCase> {};

// VOBs come ten at a time in the order the view came to see them; the view's
// checkouts (not another view's) fifty at a time until the cursor is null.
TEST_P(BatchTest, VobsAndCheckoutsComeInBatchesOfTheCursor) {
    const CBatchCase& c = GetParam();
    CVobSite site(c.vobs);
    std::vector<std::string> seen;
    std::vector<int> batches;
    view_inv_cursor_t inventory = 0;
    for (int end = 0; !end && batches.size() < 5;) {
        tbs_uuid_t vobs[10];
        int count = -1;
        ASSERT_EQ(view_inventory_vobs(site.handle.get(), inventory, 0, 10, vobs, &count, &inventory,
                                      &end),
                  TBS_ST_OK);
        batches.push_back(count);
        for (int i = 0; i < count; ++i) seen.push_back(client::UuidToText(vobs[i]));
    }
    EXPECT_EQ(batches, c.inventory);
    ASSERT_EQ(seen.size(), static_cast<size_t>(c.vobs));
    for (int i = 0; i < c.vobs; ++i) {
        client::CVobRecord record;
        ASSERT_EQ(client::FindVob(site.vobs[i], &record), TBS_ST_OK);
        EXPECT_EQ(seen[i], record.uuid) << i;
    }
    if (c.vobs == 0) return;

    const std::string other = UniqueName("other");
    ASSERT_EQ(client::CreateView(other), TBS_ST_OK);
    site.CheckOut(site.view, c.checkouts);
    site.CheckOut(other, c.checkouts);
    vob_handle_t vob = nullptr;
    ASSERT_EQ(site.Register(0, &vob), TBS_ST_OK);
    std::set<std::string> objects;
    batches.clear();
    vob_ckout_cursor_t cursor = nullptr;
    do {
        vob_ckout_rec_t records[50];
        int count = -1;
        ASSERT_EQ(vob_ob_next_ckouts(vob, &site.view_uuid, &cursor, 50, records, &count),
                  TBS_ST_OK);
        EXPECT_EQ(cursor != nullptr, count > 0);
        batches.push_back(count);
        for (int i = 0; i < count; ++i) {
            objects.insert(client::UuidToText(records[i].object));
            EXPECT_EQ(records[i].view, site.view_uuid);
        }
    } while (cursor && batches.size() < 5);
    EXPECT_EQ(batches, c.checkout_batches);
    EXPECT_EQ(objects.size(), static_cast<size_t>(c.checkouts));
}

// The last batch of each is the call that finds nothing more.
INSTANTIATE_TEST_SUITE_P(Sizes, BatchTest,
                         ::testing::Values(CBatchCase{0, 0, {0}, {}}, CBatchCase{1, 1, {1}, {1, 0}},
                                           CBatchCase{10, 50, {10}, {50, 0}},
                                           CBatchCase{23, 120, {10, 10, 3}, {50, 50, 20, 0}}),
                         [](const auto& info) { return "Of" + std::to_string(info.param.vobs); });

TEST(VobHandleTest, AnUnknownVobOrObjectIsNotFoundAndAFaultLastsUntilCleared) {
    tbs_uuid_t unknown{};
    unknown.bytes[0] = 0x5a;
    vob_handle_t vob = nullptr;
    EXPECT_EQ(vob_ob_register_replica(&unknown, &TBS_OID_NULL, nullptr, nullptr, 0, &vob),
              TBS_ST_NOT_FOUND);
    EXPECT_EQ(vob, nullptr);

    CVobSite site(1);
    EXPECT_EQ(client::SetVobFault(site.vobs[0], 1234, "opened"), TBS_ST_INVALID);
    ASSERT_EQ(client::SetVobFault(site.vobs[0], 1234, client::kVobFaultOpen), TBS_ST_OK);
    EXPECT_EQ(site.Register(0, &vob), 1234u);
    ASSERT_EQ(client::SetVobFault(site.vobs[0], TBS_ST_OK, client::kVobFaultOpen), TBS_ST_OK);
    ASSERT_EQ(site.Register(0, &vob), TBS_ST_OK);
    tbs_oid_t own{}, master{};
    EXPECT_EQ(vob_ob_get_wk_obj(vob, VOB_WK_OBJ_OWN_REPLICA, nullptr), TBS_ST_INVALID);
    EXPECT_EQ(vob_ob_get_wk_obj(vob, 7, &own), TBS_ST_INVALID);
    ASSERT_EQ(vob_ob_get_wk_obj(vob, VOB_WK_OBJ_OWN_REPLICA, &own), TBS_ST_OK);
    ASSERT_EQ(vob_obj_get_master(vob, &own, 0, &master), TBS_ST_OK);
    EXPECT_EQ(master, own);  // a replica masters itself
    EXPECT_EQ(vob_obj_get_master(vob, &unknown, 0, &master), TBS_ST_NOT_FOUND);
}

}  // namespace
}  // namespace kelmora::test
