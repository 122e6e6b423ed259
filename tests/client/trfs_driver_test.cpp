#include "client/trfs_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "client/client_test_util.h"
#include "client/poolmap.h"
#include "client/prefix_map.h"
#include "client/trfs_refs.h"
#include "client/vob_utl.h"
#include "platform/env.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

// A VOB mount block over texts of its own, as the mount client builds one.
struct CMountRequest {
    CMountRequest(const std::string& tag, const std::string& storage)
        : tag_(tag), storage_(storage), data_(&block) {
        block.header = TRFS_MOUNT_ARGS_HEADER;
        block.flags = TRFS_MOUNT_VOB | TRFS_MOUNT_NOINTR;
        for (auto [field, text] :
             {std::pair{&block.mount_dir, &tag_}, std::pair{&block.host, &host_},
              std::pair{&block.storage_path, &storage_},
              std::pair{&block.storage_object_path, &storage_},
              std::pair{&block.registry_path, &storage_}}) {
            references_.push_back(std::make_unique<client::CReference>(text->c_str()));
            *field = {references_.back()->get(), static_cast<uint32_t>(text->size()),
                      static_cast<uint32_t>(text->size() + 1)};
        }
        control.command = TRFS_MFS_MOUNT;
        control.data_length = sizeof block;
        control.data = data_.get();
    }

    std::string tag_, storage_, host_ = "here";
    trfs_mount_args_t block = {};
    client::CReference data_;
    std::vector<std::unique_ptr<client::CReference>> references_;
    trfs_mfs_control_t control = {};
};

tbs_status_t Unmount(const std::string& tag, const tbs_uuid_t& identifier) {
    client::CReference text(tag.c_str());
    trfs_unmount_data_t data = {
        {text.get(), static_cast<uint32_t>(tag.size()), static_cast<uint32_t>(tag.size() + 1)}, {}};
    std::memcpy(data.vob_uuid, identifier.bytes, 16);
    client::CReference reference(&data);
    trfs_mfs_control_t control = {TRFS_MFS_UNMOUNT, {}, sizeof data, reference.get(), 0};
    return view_mfs_ioctl(&control);
}

struct CBlockFault {
    const char* name;
    std::function<void(CMountRequest*)> spoil;
    tbs_status_t status = TBS_ST_INVALID;
};

TEST(TrfsDriverTest, ABlockThatIsNotSoundIsRefusedAndNothingIsMounted) {
    CTempDir dir;
    std::filesystem::create_directory(dir / "stg");
    static client::CReference missing("/nonexistent/storage");
    const CBlockFault kFaults[] = {
        {"Header", [](CMountRequest* r) { r->block.header = 0xF8000B; }},
        {"Length", [](CMountRequest* r) { r->control.data_length = 244; }},
        {"ViewRoot", [](CMountRequest* r) { r->block.flags = TRFS_MOUNT_VIEWROOT; }},
        {"UnknownFlag", [](CMountRequest* r) { r->block.flags |= 0x100; }},
        {"StaleReference", [](CMountRequest* r) { r->block.host.text += 1u << 20; }},
        {"WrongLength", [](CMountRequest* r) { r->block.mount_dir.length += 1; }},
        {"PoolsMissing", [](CMountRequest* r) { r->block.pool_count = 1; }},
        {"NoStorage",
         [](CMountRequest* r) {
             r->block.storage_object_path = {missing.get(), 20, 21};
         },
         TBS_ST_NOT_FOUND}};
    for (const CBlockFault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        const std::string tag = "\\" + UniqueName("t");
        CMountRequest request(tag, dir / "stg");
        fault.spoil(&request);
        EXPECT_EQ(view_mfs_ioctl(&request.control), fault.status);
        EXPECT_EQ(request.control.status, fault.status);
        EXPECT_EQ(vob_utl_is_mounted_vob_pname(tag.c_str()), 0);
    }
}

TEST(TrfsDriverTest, ATagMountsOnceUnmountsByItsVobAndUnmountAllLeavesItsStatus) {
    CTempDir dir;
    std::filesystem::create_directory(dir / "stg");
    const std::string tags[] = {"/vobs/" + UniqueName("a"), "\\" + UniqueName("b")};
    for (const auto& tag : tags) {
        CMountRequest request(tag, dir / "stg");
        ASSERT_EQ(view_mfs_ioctl(&request.control), TBS_ST_OK);
        EXPECT_EQ(view_mfs_ioctl(&request.control), TBS_ST_MOUNTED);
    }
    tbs_uuid_t other = {{1}};
    EXPECT_EQ(Unmount(tags[0], other), TBS_ST_INVALID);
    ASSERT_EQ(Unmount(tags[0], TBS_UUID_NULL), TBS_ST_OK);
    EXPECT_FALSE(std::filesystem::exists(KelmoraHome() + "/vobs/vobs"));  // made for it, removed
    EXPECT_EQ(Unmount(tags[0], TBS_UUID_NULL), TBS_ST_NOT_FOUND);
    // Folders of a mount point that someone took away do not stop its unmount.
    const std::string gone = "/gone/" + UniqueName("c");
    CMountRequest lost(gone, dir / "stg");
    ASSERT_EQ(view_mfs_ioctl(&lost.control), TBS_ST_OK);
    std::filesystem::remove_all(KelmoraHome() + "/vobs/gone");
    EXPECT_EQ(Unmount(gone, TBS_UUID_NULL), TBS_ST_OK);
    // A mount point that is no longer the driver's link cannot be taken away.
    const std::string occupied = KelmoraHome() + "/vobs/" + tags[1].substr(1);
    std::filesystem::remove(occupied);
    std::filesystem::create_directory(occupied);
    trfs_mfs_control_t control = {TRFS_MFS_UNMOUNT_ALL, {}, 0, 0, 12345};
    EXPECT_EQ(view_mfs_ioctl(&control), TBS_ST_OK);
    EXPECT_EQ(control.status, TBS_ST_IO);
    client::CStorageArea area(stg_create_area(0));
    char** names = nullptr;
    int count = -1;
    EXPECT_EQ(vob_utl_get_mounted_vob_pnames(area.get(), 0, &names, &count), TBS_ST_OK);
    EXPECT_EQ(count, 0);
    std::filesystem::remove(occupied);
}

TEST(TrfsDriverTest, MountPointsStayBelowTheMountRoot) {
    std::string path;
    EXPECT_TRUE(client::TrfsMountPoint("\\a\\b", &path));
    EXPECT_EQ(path, KelmoraHome() + "/vobs/a/b");
    for (const char* tag : {"\\", "/a/../../x", "/a//b", "/a/", "/./a"})
        EXPECT_FALSE(client::TrfsMountPoint(tag, &path)) << tag;
}

TEST(PathPrefixMapTest, OnlyAbsolutePathsAreRegisteredAndConvertedToLocalOnes) {
    const std::string path = "\\\\host\\" + UniqueName("share");
    ASSERT_EQ(ntpfxmap_register(path.c_str()), TBS_ST_OK);
    EXPECT_EQ(ntpfxmap_unregister(path.c_str()), TBS_ST_OK);
    EXPECT_EQ(ntpfxmap_unregister(path.c_str()), TBS_ST_NOT_FOUND);

    char text[16] = "\\vobs\\src";
    EXPECT_EQ(ntpfxmap_convert(text, sizeof text), TBS_ST_OK);
    EXPECT_STREQ(text, "/vobs/src");
    EXPECT_EQ(ntpfxmap_convert(text, 9), TBS_ST_PFXMAP);  // no room for the terminator
}

// The pools as "name=dir " each, or "invalid".
TEST(PoolMapTest, OptionsSplitIntoNamedFolders) {
    for (const auto& [options, expected] :
         {std::pair{"rw,poolmap=s:/p/s;c:C:\\pools\\c,ro", "s=/p/s c=C:\\pools\\c "},
          std::pair{"poolmap=", ""}, std::pair{"poolmapx=a:/b", ""},
          std::pair{"poolmap=:/x", "invalid"}, std::pair{"poolmap=a:", "invalid"},
          std::pair{"poolmap=a", "invalid"}}) {
        client::CStorageArea area(stg_create_area(1024));
        int count = 0;
        poolmap_cstring_t *names = nullptr, *dirs = nullptr;
        std::string pools;
        if (poolmap_crack_mntopts(options, area.get(), &count, &names, &dirs) != TBS_ST_OK)
            pools = "invalid";
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(dirs[i].size, dirs[i].length + 1);
            pools += std::string(names[i].text) + "=" + dirs[i].text + " ";
        }
        EXPECT_EQ(pools, expected) << options;
    }
}

}  // namespace
}  // namespace kelmora::test
