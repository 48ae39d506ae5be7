// Duplicate groups as they leave the app: their own CSV and a section of the
// diagnostic report that is there only when there is something to say.
#include "store/reports/DiagnosticReport.h"
#include "store/reports/InventoryExports.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

DuplicateGroup proQGroup() {
    const auto id = *Uuid::parse("5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11");
    return {
        id,
        "Pro-Q 3",
        "FabFilter",
        "VST3",
        DuplicateKind::versions,
        {{{id, "a"}, "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", "3.10.0", true, DuplicateDisposition::keep, ""},
         {{id, "b"}, "/Library/Audio/Plug-Ins/VST3/Old/Pro-Q 3.vst3", "3.9.2", true, DuplicateDisposition::retire, ""},
         {{id, "c"},
          "/Users/ana/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
          "3.9.2",
          false,
          DuplicateDisposition::notMovable,
          "Kestrova does not move bundles from this folder, or any other."}}};
}

TEST(DuplicateExports, CsvByteForByte) {
    EXPECT_EQ(duplicatesCSV({}), "Plugin,Manufacturer,Format,Kind,Proposal,Version,Path,Reason\n");
    EXPECT_EQ(duplicatesCSV({proQGroup()}),
              "Plugin,Manufacturer,Format,Kind,Proposal,Version,Path,Reason\n"
              "Pro-Q 3,FabFilter,VST3,versions,keep,3.10.0,/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3,\n"
              "Pro-Q 3,FabFilter,VST3,versions,retire,3.9.2,/Library/Audio/Plug-Ins/VST3/Old/Pro-Q 3.vst3,\n"
              "Pro-Q 3,FabFilter,VST3,versions,notMovable,3.9.2,/Users/ana/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3,"
              "\"Kestrova does not move bundles from this folder, or any other.\"\n");
}

TEST(DuplicateExports, TheReportNamesGroupsOnlyWhenThereAreAny) {
    DiagnosticReportInput input;
    input.formatDate = [](Date) { return std::string("<date>"); };
    const auto without = diagnosticReport(input);
    EXPECT_EQ(without.find("Duplicates"), std::string::npos);

    const std::vector<DuplicateGroup> groups{proQGroup()};
    input.duplicateGroups = groups;
    const auto with = diagnosticReport(input);
    const std::string section =
        "\n\nDuplicates\n- Pro-Q 3 (VST3): 3 copies of different versions, 1 proposed for quarantine";
    const auto at = with.find(section);
    ASSERT_NE(at, std::string::npos) << with;
    // Between the inaccessible locations and the helper's block; the rest is unchanged.
    EXPECT_EQ(with.substr(0, at) + with.substr(at + section.size()), without);
    EXPECT_LT(with.find("Inaccessible locations"), at);
    EXPECT_EQ(with.find("/Users/ana"), std::string::npos) << "paths stay out of the report";
}

}  // namespace
}  // namespace kestrova::testing
