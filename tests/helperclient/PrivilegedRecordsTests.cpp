#include "helperclient/HelperProtocol.h"
#include "helperclient/PrivilegedRecords.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

template <typename Record>
void expectRoundTrip(const Record& record) {
    const auto text = encodePrivilegedRecord(record);
    const auto decoded = decodePrivilegedRecord<Record>(text);
    ASSERT_TRUE(decoded.ok()) << decoded.error().message << "\n" << text;
    EXPECT_EQ(*decoded, record);
}

// The wire keys are the field names; the richest request and a refusal
// with quoted text survive the trip.
TEST(PrivilegedRecords, KeysAreTheFieldNamesAndRecordsRoundTrip) {
    const auto json = Json::parse(encodePrivilegedRecord(PrivilegedTrashResult{"T", true, false, {"/p"}, "m"}));
    EXPECT_EQ(json, Json::parse(R"({"transactionID":"T","succeeded":true,"rollbackComplete":false,
                                   "trashedDestinationPaths":["/p"],"message":"m"})"));
    expectRoundTrip(PrivilegedTrashRestoreRequest{"T4",
                                                  {{"/Users/a/.Trash/A 2.vst3", "/Library/Audio/Plug-Ins/VST3/A.vst3",
                                                    "0F8D5F6E-7E0B-4B47-9D1C-2B0C6C1D2E3F", "A.vst3", "VST3"}}});
    expectRoundTrip(PrivilegedRestoreResult{"T2", false, true, {}, "Refused — “quoted”"});
}

TEST(PrivilegedRecords, DecodingIsStrictButIgnoresUnknownKeys) {
    // Another kind's result, wrong types, missing keys and junk are errors, not exceptions.
    const auto restoreText = encodePrivilegedRecord(PrivilegedRestoreResult{"T", true, false, {"/p"}, ""});
    EXPECT_FALSE(decodePrivilegedRecord<PrivilegedQuarantineResult>(restoreText).ok());
    EXPECT_TRUE(decodePrivilegedRecord<PrivilegedRestoreResult>(restoreText).ok());
    EXPECT_TRUE(decodePrivilegedRecord<PrivilegedTrashRestoreResult>(restoreText).ok());
    const std::string_view bad[] = {
        "",
        "not json",
        "[]",
        "null",
        R"({"transactionID":"T","succeeded":"yes","rollbackComplete":true,"movedDestinationPaths":[],"message":""})",
        R"({"transactionID":7,"succeeded":true,"rollbackComplete":true,"movedDestinationPaths":[],"message":""})",
        R"({"transactionID":"T","succeeded":true,"rollbackComplete":true,"movedDestinationPaths":[1],"message":""})",
        R"({"transactionID":"T","succeeded":true,"rollbackComplete":true,"movedDestinationPaths":"/a","message":""})",
        R"({"transactionID":"T","succeeded":true,"movedDestinationPaths":[],"message":""})",
        R"({"transactionID":"T","succeeded":true,"rollbackComplete":true,"movedDestinationPaths":[]})",
        R"({"transactionID":"T","succeeded":true,"rollbackComplete":true,"movedDestinationPaths":null,"message":""})",
        "{\"transactionID\":\"T\"",
    };
    for (const auto text : bad) {
        const auto decoded = decodePrivilegedRecord<PrivilegedQuarantineResult>(text);
        EXPECT_FALSE(decoded.ok()) << text;
        if (!decoded.ok()) {
            EXPECT_FALSE(decoded.error().message.empty());
        }
    }
    const auto lenient = decodePrivilegedRecord<PrivilegedQuarantineResult>(
        R"({"transactionID":"T","succeeded":true,"rollbackComplete":false,"movedDestinationPaths":["/a"],
            "message":"ok","extra":{"x":1}})");
    ASSERT_TRUE(lenient.ok());
    EXPECT_EQ(lenient->movedDestinationPaths, std::vector<std::string>{"/a"});

    EXPECT_FALSE(decodePrivilegedRecord<PrivilegedTrashRestoreRequest>(
                     R"({"transactionID":"T","items":[{"sourcePath":"/a","destinationPath":"/b","operationID":"O"}]})")
                     .ok());
}

TEST(PrivilegedRecords, ClientVersionNamesTheAppBuild) {
    EXPECT_EQ(clientVersionString("2.0", "41"), "Kestrova 2.0 (Build 41)");
}

}  // namespace
}  // namespace kestrova
