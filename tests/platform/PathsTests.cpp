#include "platform/Paths.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(Paths, StandardizationIsLexical) {
    EXPECT_EQ(standardizedPath("/Library//Audio/./Plug-Ins/"), "/Library/Audio/Plug-Ins");
    EXPECT_EQ(standardizedPath("/Library/Audio/../Application Support"), "/Library/Application Support");
    EXPECT_EQ(standardizedPath("/../x"), "/x");
    EXPECT_EQ(standardizedPath("/"), "/");
    EXPECT_EQ(standardizedPath("//"), "/");
    EXPECT_EQ(standardizedPath("a/../../b"), "../b");
    EXPECT_EQ(standardizedPath("/does/not/exist/.."), "/does/not");
}

TEST(Paths, ComponentsAndExtensions) {
    EXPECT_EQ(lastPathComponent("/a/Pro-Q 3.vst3/"), "Pro-Q 3.vst3");
    EXPECT_EQ(deletingLastPathComponent("/a/b"), "/a");
    EXPECT_EQ(deletingLastPathComponent("/a"), "/");
    EXPECT_EQ(appendingPathComponent("/a/", "/b"), "/a/b");
    EXPECT_EQ(pathExtension("/x/Pro-Q 3.VST3"), "VST3");
    EXPECT_EQ(pathExtension("/x/.hidden"), "");
    EXPECT_EQ(pathExtension("/x/v1.2/plain"), "");
    EXPECT_EQ(deletingPathExtension("/x/Decapitator.component"), "/x/Decapitator");
    EXPECT_EQ(deletingPathExtension("/x/a.b.clap"), "/x/a.b");
}

TEST(Paths, InsideComparesWholeComponents) {
    EXPECT_TRUE(isPathInside("/Library/Audio/Plug-Ins/VST/x.vst", "/Library/Audio/Plug-Ins/VST"));
    EXPECT_FALSE(isPathInside("/Library/Audio/Plug-Ins/VST3/x.vst3", "/Library/Audio/Plug-Ins/VST"));
    EXPECT_TRUE(isPathInside("/Library/Audio/Plug-Ins/VST/", "/Library/Audio/Plug-Ins/VST"));
    EXPECT_TRUE(isPathInside("/anything", "/"));
}

}  // namespace
}  // namespace kestrova
