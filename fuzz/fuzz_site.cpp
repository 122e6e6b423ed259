#include "fuzz_site.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "client/admin.h"
#include "client/database.h"
#include "client/messages.h"
#include "client/registry.h"
#include "client/tag_admin.h"
#include "client/vob_admin.h"
#include "cspec/info_block.h"
#include "platform/sleep.h"
#include "resources/string_table.h"

namespace kelmora::fuzz {

namespace {

void Die(const std::string& what) {
    std::fprintf(stderr, "fuzz site: %s\n", what.c_str());
    std::abort();
}

void Quiet(const char*) {}
void NoSleep(unsigned) {}

std::string MakeScratchFolder() {
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string templ = base + "/kelmora-fuzz-XXXXXX";
    if (!mkdtemp(templ.data())) Die("cannot make a folder in " + base);
    return templ;
}

}  // namespace

std::string RulesText(const std::string& private_rules, const std::string& profile_rules) {
    return LoadString(IDS_RULES_CHECKEDOUT_BLOCK) + private_rules +
           LoadString(IDS_RULES_PROFILE_HEADER) + profile_rules + LoadString(IDS_RULES_END_MARKER);
}

std::string Part(const uint8_t* data, size_t size, size_t index) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (size_t i = 0; i < index; ++i) {
        const size_t cut = rest.find('\0');
        if (cut == std::string_view::npos) return {};
        rest.remove_prefix(cut + 1);
    }
    return std::string(rest.substr(0, rest.find('\0')));
}

CFuzzSite& CFuzzSite::Get() {
    static CFuzzSite site;
    return site;
}

CFuzzSite::CFuzzSite() : folder_(MakeScratchFolder()) {
    setenv("KELMORA_HOME", (folder_ + "/home").c_str(), 1);
    setenv("TMPDIR", folder_.c_str(), 1);
    imsg_redirect_output(&Quiet, &Quiet);
    SetSleepFunction(&NoSleep);

    tree_root_ = folder_ + "/tree";
    profile_name_ = "\\Stavemark View Profiles\\Proj";
    profile_guid_ = "5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13";
    rules_ = RulesText("", "element * REL_1 -mkbranch rel1_fix\r\nelement * \\main\\LATEST\r\n");
    std::filesystem::create_directories(tree_root_ + "/Stavemark View Profiles/Proj");
    WriteFile(ProfileFile("Rules"), rules_);
    WriteFile(ProfileFile("GUID"), profile_guid_ + " 2.5");
    if (ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(), "ProjectRoot",
                         tree_root_.c_str()) != TBS_ST_OK)
        Die("cannot set ProjectRoot");

    vob_tag_ = "\\fuzz";
    vob_storage_ = folder_ + "/vob.vbs";
    client::CVobRecord vob;
    if (client::CreateVob(vob_tag_, vob_storage_, {}) != TBS_ST_OK ||
        client::FindVob(vob_tag_, &vob) != TBS_ST_OK)
        Die("cannot make the VOB");
    vob_replica_uuid_ = vob.replica_uuid;
    long long entry = 0;
    if (client::AddRegistryEntry(RGY_KIND_VOB_TAG, "",
                                 {{RGY_KEY_GLOBAL_PATH, vob_storage_},
                                  {RGY_KEY_ACCESS, RGY_ACCESS_PUBLIC},
                                  {RGY_KEY_OPTIONS, ""},
                                  {RGY_KEY_TAG, vob_tag_},
                                  {RGY_KEY_UUID, vob_replica_uuid_}},
                                 &entry) != TBS_ST_OK)
        Die("cannot register the VOB's tag");
    WriteFile(ProfileFile("VOB List"), vob_tag_ + "\r\n");

    view_tag_ = "fuzz_view";
    if (client::CreateView(view_tag_) != TBS_ST_OK) Die("cannot make the view");
}

CFuzzSite::~CFuzzSite() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string CFuzzSite::ProfileFile(const std::string& name) const {
    return tree_root_ + "/Stavemark View Profiles/Proj/" + name;
}

void CFuzzSite::WriteFile(const std::string& path, std::string_view text) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) Die("cannot write " + path);
}

std::string CFuzzSite::AssociatedConfigSpec() const {
    return FormatProfileInfoBlock({profile_name_, profile_guid_, 2, 5}) + "\r\n\r\n" +
           LoadString(IDS_SECTION_HEADER) + "element * REL_1\r\nelement * \\main\\LATEST\r\n" +
           LoadString(IDS_SECTION_END_MARKER);
}

void CFuzzSite::SetViewConfigSpec(std::string_view text) const {
    client::CClientDatabase db;
    client::CStatement update;
    if (db.Open() || db.Prepare("UPDATE view SET config_spec = ?1 WHERE tag = ?2", &update))
        Die("cannot open the client database");
    update.BindBlob(1, text);
    update.BindText(2, view_tag_);
    if (db.StepDone(&update, "cannot store the config spec") || db.Changes() != 1)
        Die("cannot store the view's config spec");
}

}  // namespace kelmora::fuzz
