// Branch and label types of VOBs through the calls the module makes:
// selectors, resolving, locks, and the type commands on the records built for them.
#include "client/vob_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/checkout_admin.h"
#include "client/client_test_util.h"
#include "client/type_admin.h"
#include "client/type_commands.h"
#include "client/vob_admin.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

TEST(TypeSelectorTest, TheVobBeginsAtTheFirstAtSignBeforeASeparator) {
    client::ETypeKind kind;
    std::string name, vob;
    ASSERT_TRUE(client::ParseTypeSelector("lbtype:REL@1@/vobs/src", &kind, &name, &vob));
    EXPECT_EQ(kind, client::ETypeKind::kLabel);
    EXPECT_EQ(name + " " + vob, "REL@1 /vobs/src");
    for (const char* text : {"brtype:priv@vob", "brtype:@\\vob", "eltype:priv@\\vob"})
        EXPECT_FALSE(client::ParseTypeSelector(text, &kind, &name, &vob)) << text;
}

class VobTypeTest : public ::testing::Test {
protected:
    void SetUp() override {
        vob_ = "\\" + UniqueName("vob");
        ASSERT_EQ(client::CreateVob(vob_, dir_ / "vob", {}), TBS_ST_OK);
    }
    std::string Selector(const char* kind, const std::string& name) const {
        return std::string(kind) + ":" + name + "@" + vob_;
    }
    tbs_status_t Make(const std::string& name, bool global = false, const char* comment = "") {
        const std::string selector = Selector("brtype", name);
        const char* selectors[] = {selector.c_str()};
        cmd_mkbrtype_args_t record =
            client::BranchTypeCreationRecord(area_.get(), selectors, global, comment);
        return cmd_mkbrtype(&record);
    }
    template <typename Record, typename Command>
    tbs_status_t Run(Record (*build)(stg_area_t*, const char* const*), Command command,
                     const std::string& selector) {
        const char* selectors[] = {selector.c_str()};
        Record record = build(area_.get(), selectors);
        return command(&record);
    }
    // TBS_ST_OK with the type locked; the handle is closed again.
    tbs_status_t Lock(const std::string& selector, std::string* locked_selector) {
        vob_handle_t vob = nullptr;
        tbs_oid_t object{};
        uint32_t kind = 0;
        char name[256];
        tbs_status_t status =
            vob_resolve_general(selector.c_str(), 0, 0, 0, &vob, &object, 0, &kind, 0, 256, name);
        if (status) return status;
        vob_lock_info_t* info = nullptr;
        status = vob_obj_get_lock(vob, &object, 0, 1, &info);
        if (info) *locked_selector = info->selector;
        vob_ob_free_lock_info(info);
        vob_ob_close_resources(vob);
        return status;
    }

    CTempDir dir_;
    std::string vob_;
    client::CStorageArea area_{stg_create_area(2048)};
};

TEST_F(VobTypeTest, BranchTypeIsMadeFoundLockedUnlockedAndRemoved) {
    // A creation fault fails the next creation only.
    ASSERT_EQ(client::SetVobFault(vob_, TBS_ST_ERR, client::kVobFaultCreate), TBS_ST_OK);
    EXPECT_EQ(Make("priv"), TBS_ST_ERR);
    ASSERT_EQ(Make("priv", true, "my work"), TBS_ST_OK);
    EXPECT_EQ(Make("priv"), TBS_ST_EXISTS);
    client::CTypeRecord type;
    ASSERT_EQ(client::FindType(client::ETypeKind::kBranch, "priv", vob_, &type), TBS_ST_OK);
    EXPECT_TRUE(type.admin);
    EXPECT_EQ(type.comment, "my work");

    const std::string selector = Selector("brtype", "priv");
    std::string locked;
    EXPECT_EQ(Lock(selector, &locked), TBS_ST_NOT_FOUND);
    ASSERT_EQ(client::SetTypeLock(client::ETypeKind::kBranch, "priv", vob_, true), TBS_ST_OK);
    EXPECT_EQ(Lock(selector, &locked), TBS_ST_OK);
    EXPECT_EQ(locked, selector);
    EXPECT_EQ(Run(client::TypeRemovalRecord, cmd_rmtype, selector), TBS_ST_LOCKED);
    EXPECT_EQ(Run(client::TypeUnlockRecord, cmd_unlock, selector), TBS_ST_OK);
    // Nothing to unlock: the type is not locked, or not there.
    EXPECT_EQ(Run(client::TypeUnlockRecord, cmd_unlock, selector), TBS_ST_ERR);
    EXPECT_EQ(Run(client::TypeUnlockRecord, cmd_unlock, Selector("brtype", "none")), TBS_ST_ERR);
    EXPECT_EQ(Run(client::TypeRemovalRecord, cmd_rmtype, selector), TBS_ST_OK);
    EXPECT_EQ(Lock(selector, &locked), TBS_ST_NOT_FOUND);
}

}  // namespace
}  // namespace kelmora::test
