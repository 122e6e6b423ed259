// Branch and label types of VOBs through the calls the module makes: the
// command records word by word, resolving, locks, and the type commands.
#include "client/vob_types.h"

#include <gtest/gtest.h>

#include <cstdint>
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

using Words = std::vector<uint64_t>;

uint64_t Word(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

// Each record's fields in declaration order, as the original's 32-bit words.
Words WordsOf(const cmd_mkbrtype_args_t& r) {
    return {r.record,          Word(r.area), Word(r.selectors), r.selector_count,
            r.one_per_element, r.reserved5,  r.global,          r.reserved7,
            Word(r.comment),   r.reserved9,  r.comment_mode,    r.reserved11};
}
Words WordsOf(const cmd_unlock_args_t& r) {
    return {r.record,    Word(r.area), Word(r.selectors), r.selector_count, r.reserved4,
            r.reserved5, r.reserved6,  r.reserved7,       r.comment_mode,   r.reserved9};
}
Words WordsOf(const cmd_rmtype_args_t& r) {
    return {r.record,    Word(r.area),   Word(r.selectors), r.selector_count,
            r.reserved4, r.reserved5,    r.reserved6,       r.reserved7,
            r.reserved8, r.comment_mode, r.reserved10};
}

TEST(TypeCommandRecordTest, EveryWordIsWhereTheCommandReadsIt) {
    client::CStorageArea area(stg_create_area(2048));
    const char* selectors[] = {"brtype:priv@\\vob"};
    const uint64_t a = Word(area.get()), s = Word(selectors);
    const char* comment = "my work";
    EXPECT_EQ(WordsOf(client::BranchTypeCreationRecord(area.get(), selectors, false, "")),
              (Words{2, a, s, 1, 1, 0, 0, 0, 0, 0, 2, 0}));
    EXPECT_EQ(WordsOf(client::BranchTypeCreationRecord(area.get(), selectors, true, comment)),
              (Words{2, a, s, 1, 1, 0, 1, 0, Word(comment), 0, 5, 0}));
    EXPECT_EQ(WordsOf(client::TypeUnlockRecord(area.get(), selectors)),
              (Words{2, a, s, 1, 0, 0, 0, 0, 2, 0}));
    EXPECT_EQ(WordsOf(client::TypeRemovalRecord(area.get(), selectors)),
              (Words{1, a, s, 1, 0, 0, 0, 0, 0, 2, 0}));
}

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
