// Associating views: what the object keeps when the association step fails.
#include <gtest/gtest.h>

#include "automation/view_profile.h"
#include "cspec/profile_site.h"

namespace kelmora::test {
namespace {

TEST_F(CProfileSiteTest, AFailedCompositionLeavesTheObjectWithTheViewsText) {
    MakeProfile("Proj", "element * /main/LATEST\r\n");  // no profile header: corrupt
    const std::string spec = "element * \\main\\LATEST\r\n";
    const std::string tag = MakeView(spec);
    CViewProfile profile;
    profile.SetViewTag(tag);
    Answer(kProj + "\n");
    EXPECT_EQ(profile.Associate(), FALSE);
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Cannot modify this view's Stavemark View Profile association.\n\n"
                              "Corrupt Profile config spec, couldn't find private rules"});
    EXPECT_EQ(StoredSpec(tag), spec);
    EXPECT_EQ(profile.GetConfigSpec(), spec);
    EXPECT_EQ(profile.IsAssociated(), FALSE);
}

}  // namespace
}  // namespace kelmora::test
