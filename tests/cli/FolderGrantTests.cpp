// Which requested folders a grant already covers: by whole path components,
// each folder once however it was typed.
#include "store/FolderGrants.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(FolderGrants, AFolderAGrantCoversIsNotGrantedAgain) {
    const std::vector<std::string> authorized{"/r/usr/lib", "/h/.vst3"};
    struct Case {
        std::vector<std::string> requested;
        FolderGrantPlan expected;
    };
    const std::vector<Case> cases{
        {{"/r/usr/lib/lv2", "/h/.vst3"}, {{}, {"/r/usr/lib/lv2", "/h/.vst3"}}},
        // Whole path components: /r/usr/lib does not cover /r/usr/lib64.
        {{"/r/usr/lib64/lv2", "/h/.vst"}, {{"/r/usr/lib64/lv2", "/h/.vst"}, {}}},
        // Asked twice, or with a trailing slash, it is one folder.
        {{"/x/clap/", "/x/clap", "/h/.vst3/"}, {{"/x/clap"}, {"/h/.vst3"}}},
    };
    for (const auto& [requested, expected] : cases) {
        EXPECT_EQ(planFolderGrants(requested, authorized), expected) << requested.front();
    }
    EXPECT_EQ(planFolderGrants({"/anything"}, {"/"}).alreadyAuthorized, std::vector<std::string>{"/anything"});
}

}  // namespace
}  // namespace kestrova
