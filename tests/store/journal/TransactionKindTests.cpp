// The road every kind of transaction takes through the store, with the helper
// played by the test: refusals before anything is written, a result trusted
// only when it matches the journal and the disk, a commit that cannot be
// saved, and start-up recovery from the daemon's word or the disk. Texts are
// the kind's own (describe(kind).texts); this checks which one is shown.
#include "KindAdapters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace fs = std::filesystem;

template <typename Kind>
class TransactionKindTest : public ::testing::Test {
protected:
    using Request = typename Kind::Request;
    using Result = typename Kind::Result;

    const TransactionTexts& kindTexts = describe(Kind::kind).texts;
    StoreSandbox box;
    std::unique_ptr<PluginInventoryStore> opened;

    void SetUp() override {
        Kind::arrange(box, twoInstalledBundles(box));
        opened = box.open();
    }

    // Prepares a move of every arranged bundle.
    Request prepared() {
        const auto request = Kind::prepare(*opened, Kind::target(*opened));
        EXPECT_TRUE(request) << opened->lastOperationError().value_or("");
        return request.value_or(Request{});
    }
    std::optional<Request> savedJournal() {
        auto saved = box.savedState();
        return Kind::journalIn(saved);
    }
    bool shows(std::string_view title) const { return opened->notice() && opened->notice()->title == title; }
};
TYPED_TEST_SUITE(TransactionKindTest, TransactionKindAdapters, KindName);

TYPED_TEST(TransactionKindTest, EveryRefusalComesBeforeAJournalIsSavedOrSent) {
    auto& store = *this->opened;
    auto& sandbox = this->box;
    const auto target = TypeParam::target(store);
    ASSERT_THAT(target, SizeIs(2));
    const auto writesBefore = sandbox.disk.attemptedWrites().size();
    const auto refused = [&](const std::optional<typename TypeParam::Request>& request) {
        return !request && this->shows(this->kindTexts.blockedTitle) && store.notice()->style == NoticeStyle::warning &&
               !store.hasPendingPrivilegedTransaction();
    };

    EXPECT_TRUE(refused(TypeParam::prepare(store, {})));
    EXPECT_EQ(TypeParam::blockingReason(store, {}), store.notice()->message);
    EXPECT_TRUE(refused(TypeParam::prepare(store, TypeParam::unknownTarget())));
    EXPECT_TRUE(TypeParam::blockingReason(store, TypeParam::unknownTarget()));
    if constexpr (TypeParam::checksRevision) {
        EXPECT_TRUE(refused(TypeParam::prepare(store, target, InventoryRevisionToken::random())));
    }
    EXPECT_EQ(sandbox.disk.attemptedWrites().size(), writesBefore) << "nothing was saved";

    sandbox.disk.failWritesUnder(sandbox.stateFolder());
    EXPECT_TRUE(refused(TypeParam::prepare(store, target)));
    EXPECT_EQ(store.notice()->message, this->kindTexts.saveFailure);
    EXPECT_TRUE(store.lastStorageError());
    sandbox.disk.clearFaults();

    EXPECT_EQ(TypeParam::blockingReason(store, target), std::nullopt);
    const auto request = this->prepared();
    EXPECT_EQ(request.transactionID, Uuid::parse(request.transactionID)->string()) << "upper-case UUID text";
    ASSERT_THAT(request.items, SizeIs(2));
    EXPECT_FALSE(store.lastStorageError());
    EXPECT_EQ(TypeParam::pending(store), request);
    EXPECT_EQ(this->savedJournal(), request);
    for (const auto& item : request.items) {
        EXPECT_TRUE(existsAt(item.sourcePath)) << "preparing moves nothing";
    }
    // While the journal is pending no other transaction is prepared.
    EXPECT_TRUE(TypeParam::blockingReason(store, target));

    // Under Linux one bundle in the system's folders and one in the user's:
    // two helpers would move them, so no one transaction may. (A Trash
    // record of the system side needs verification first.)
    if constexpr (TypeParam::checksRevision) {
        StoreSandbox linux;
        linux.layout.profile = PlatformProfile::gnuLinux;
        TypeParam::arrange(
            linux, {{"CLAP", linux.system("/usr/lib/clap/Echo.clap")}, {"VST2", linux.layout.user(".vst/Echo.so")}});
        auto mixed = linux.open();
        const auto writes = linux.disk.attemptedWrites().size();
        EXPECT_FALSE(TypeParam::prepare(*mixed, TypeParam::target(*mixed)));
        EXPECT_EQ(mixed->notice()->title, this->kindTexts.blockedTitle);
        EXPECT_THAT(mixed->notice()->message, HasSubstr("both the system and the home plug-in folders"));
        EXPECT_EQ(linux.disk.attemptedWrites().size(), writes);
    }
}

TYPED_TEST(TransactionKindTest, AResultIsCommittedOnlyWhenItMatchesTheJournalAndTheDisk) {
    auto& store = *this->opened;
    const auto& texts = this->kindTexts;
    const auto before = store.persistedSnapshot();
    auto request = this->prepared();
    auto result = movedResult<TypeParam>(request);
    auto failed = result;
    failed.succeeded = false;
    failed.message = "The helper stopped.";

    // Another transaction's result, or a failure that does not claim a
    // complete rollback: kept.
    auto other = result;
    other.transactionID = Uuid::random().string();
    EXPECT_FALSE(TypeParam::complete(store, other, request));
    EXPECT_TRUE(this->shows(texts.attentionTitle));
    EXPECT_EQ(store.notice()->message, texts.mismatch);
    EXPECT_FALSE(TypeParam::complete(store, failed, request));
    EXPECT_EQ(store.notice()->message, failed.message + std::string(texts.keptJournalSuffix));
    EXPECT_EQ(TypeParam::pending(store), request);

    // A rolled-back failure that the disk confirms drops the journal.
    failed.rollbackComplete = true;
    EXPECT_FALSE(TypeParam::complete(store, failed, request));
    EXPECT_TRUE(this->shows(texts.safeFailureTitle));
    EXPECT_EQ(store.notice()->message, failed.message);
    EXPECT_FALSE(TypeParam::pending(store));
    EXPECT_FALSE(this->savedJournal());

    request = this->prepared();
    result = movedResult<TypeParam>(request);
    failed.transactionID = request.transactionID;
    // Success claimed, but the disk shows nothing moved, then only the first.
    EXPECT_FALSE(TypeParam::complete(store, result, request));
    EXPECT_TRUE(this->shows(texts.attentionTitle));
    EXPECT_EQ(store.notice()->message, texts.verifyFailure);
    moveBundle(request.items[0].sourcePath, request.items[0].destinationPath);
    EXPECT_FALSE(TypeParam::complete(store, result, request));
    EXPECT_EQ(store.notice()->message, texts.verifyFailure);
    // A rollback the disk does not show keeps the journal.
    EXPECT_FALSE(TypeParam::complete(store, failed, request));
    EXPECT_EQ(store.notice()->message, failed.message + std::string(texts.keptJournalSuffix));

    // Both moved, but the path list misses one, or names one too many.
    moveBundle(request.items[1].sourcePath, request.items[1].destinationPath);
    auto missing = result;
    destinationPaths(missing).pop_back();
    EXPECT_FALSE(TypeParam::complete(store, missing, request));
    EXPECT_EQ(store.notice()->message, texts.verifyFailure);
    auto extra = result;
    destinationPaths(extra).push_back(request.items[0].destinationPath + "x");
    EXPECT_FALSE(TypeParam::complete(store, extra, request));
    EXPECT_EQ(store.notice()->message, texts.verifyFailure);
    EXPECT_EQ(store.plugins(), before.plugins);
    EXPECT_THAT(store.history(), IsEmpty());
    EXPECT_EQ(TypeParam::pending(store), request);

    // The same paths in another order are accepted.
    const auto revision = store.inventoryRevision();
    std::reverse(destinationPaths(result).begin(), destinationPaths(result).end());
    EXPECT_TRUE(TypeParam::complete(store, result, request));
    EXPECT_TRUE(this->shows(texts.successTitle));
    EXPECT_EQ(store.notice()->style, NoticeStyle::success);
    EXPECT_NE(store.inventoryRevision(), revision);
    EXPECT_TRUE(TypeParam::showsMoved(store));
    ASSERT_THAT(store.history(), SizeIs(2));
    EXPECT_EQ(store.history()[0].transactionID, request.transactionID);
    EXPECT_FALSE(this->savedJournal());
    EXPECT_EQ(this->box.savedState(), store.persistedSnapshot());

    // A second completion of the same transaction finds no journal.
    const auto committed = store.persistedSnapshot();
    EXPECT_FALSE(TypeParam::complete(store, result, request));
    EXPECT_TRUE(this->shows(texts.attentionTitle));
    EXPECT_EQ(store.persistedSnapshot(), committed);
}

TYPED_TEST(TransactionKindTest, ACommitThatCannotBeSavedKeepsTheJournalForTheNextLaunch) {
    auto& store = *this->opened;
    const auto before = store.persistedSnapshot();
    const auto request = this->prepared();
    moveAll(request.items);
    this->box.disk.failWritesUnder(this->box.stateFolder());
    EXPECT_FALSE(TypeParam::complete(store, movedResult<TypeParam>(request), request));
    EXPECT_TRUE(this->shows(this->kindTexts.attentionTitle));
    EXPECT_EQ(store.notice()->message, this->kindTexts.commitFailure);
    EXPECT_TRUE(store.lastStorageError());
    EXPECT_EQ(TypeParam::pending(store), request);
    // A quarantine can be committed again, so it stays; the others are put
    // back so memory keeps the state the journal belongs to.
    if (describe(TypeParam::kind).commitUndoneWhenUnsaved) {
        EXPECT_EQ(store.plugins(), before.plugins);
        EXPECT_EQ(store.trashedBundles(), before.trashedBundles);
        EXPECT_THAT(store.history(), IsEmpty());
    } else {
        EXPECT_TRUE(TypeParam::showsMoved(store));
    }
    // The next start commits it: the start-up test's last step.
}

TYPED_TEST(TransactionKindTest, StartUpResolvesAJournalByWhatTheDiskShows) {
    const auto request = this->prepared();
    const auto& items = request.items;
    const auto target = TypeParam::target(*this->opened);
    auto reopen = [&] {
        this->opened.reset();
        this->opened = this->box.open();
        return this->opened.get();
    };

    // One moved, one not; then a copy at both ends of one: kept, and every
    // action of this kind is blocked.
    moveBundle(items[0].sourcePath, items[0].destinationPath);
    auto* store = reopen();
    EXPECT_EQ(TypeParam::pending(*store), request);
    EXPECT_EQ(store->lastOperationError(), this->kindTexts.recoveryMixed);
    EXPECT_TRUE(TypeParam::blockingReason(*store, target));
    EXPECT_FALSE(TypeParam::showsMoved(*store));
    fs::create_directories(deletingLastPathComponent(items[0].sourcePath));  // pruned when emptied
    fs::copy(items[0].destinationPath, items[0].sourcePath, fs::copy_options::recursive);
    moveBundle(items[1].sourcePath, items[1].destinationPath);
    store = reopen();
    EXPECT_EQ(store->lastOperationError(), this->kindTexts.recoveryMixed);
    EXPECT_EQ(this->savedJournal(), request);

    // Every bundle back at its source: dropped without a word.
    fs::remove_all(items[0].destinationPath);
    moveBundle(items[1].destinationPath, items[1].sourcePath);
    const auto atSource = this->box.savedState();
    store = reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastOperationError());
    EXPECT_FALSE(TypeParam::showsMoved(*store));
    EXPECT_THAT(store->history(), IsEmpty());
    EXPECT_FALSE(this->savedJournal());

    // Every bundle moved, but no record of it left: kept, and said so.
    auto forgotten = atSource;
    TypeParam::forgetRecords(forgotten);
    this->box.writeState(forgotten);
    moveAll(items);
    store = reopen();
    EXPECT_EQ(TypeParam::pending(*store), request);
    EXPECT_EQ(store->lastOperationError(), this->kindTexts.recoveryCompleted);
    EXPECT_EQ(store->lastStorageError(), "A plugin bundle no longer has a matching inventory record.");

    // Every bundle moved, and the commit cannot be saved: kept in the file.
    this->box.writeState(atSource);
    this->box.disk.failWritesUnder(this->box.stateFolder());
    store = reopen();
    EXPECT_EQ(store->lastOperationError(), this->kindTexts.recoveryCompleted);
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_EQ(this->savedJournal(), request);
    this->box.disk.clearFaults();

    // Saved at last: committed as the completion would have.
    store = reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastOperationError());
    EXPECT_FALSE(store->notice());
    EXPECT_TRUE(TypeParam::showsMoved(*store));
    ASSERT_THAT(store->history(), SizeIs(2));
    EXPECT_EQ(store->history().front().transactionID, request.transactionID);
    EXPECT_EQ(this->box.savedState(), store->persistedSnapshot());
}

// The daemon's own verdicts (still running, unanswered, fenced) come from
// the real daemon in the recovery daemon tests; here what each kind makes of
// a recorded result.
TYPED_TEST(TransactionKindTest, StartUpAsksTheDaemonBeforeTheDisk) {
    const auto request = this->prepared();
    const auto journaled = this->box.savedState();
    const auto& kind = describe(TypeParam::kind);
    const auto otherCall = describe(TypeParam::kind == TransactionKind::quarantine ? TransactionKind::restore
                                                                                   : TransactionKind::quarantine)
                               .call;
    moveAll(request.items);
    // Its recorded result and no daemon at all (the disk decides) commit; a
    // record of another kind keeps the journal.
    const std::vector<TransactionLookupAnswer> answers{
        {JournalVerdict::finished, kind.call,
         JsonCoder<typename TypeParam::Result>::encode(movedResult<TypeParam>(request)), "finished"},
        {JournalVerdict::noDaemon, std::nullopt, std::nullopt, ""},
        {JournalVerdict::finished, otherCall, Json::object(), "finished"},
    };
    for (const auto& answer : answers) {
        this->box.writeState(journaled);
        this->opened = std::make_unique<PluginInventoryStore>(
            this->box.layout, this->box.disk, this->box.executor, [](auto&&...) { return ScanSummary{}; },
            [answer](const std::string&) { return answer; });
        const auto& store = *this->opened;
        if (answer.call != otherCall) {
            EXPECT_TRUE(TypeParam::showsMoved(store)) << store.lastOperationError().value_or("");
            EXPECT_EQ(store.history().front().transactionID, request.transactionID);
        } else {
            EXPECT_EQ(TypeParam::pending(store), request);
            EXPECT_THAT(store.lastOperationError().value_or(""), HasSubstr("another kind of transaction"));
            EXPECT_THAT(store.lastOperationError().value_or(""), HasSubstr(kind.texts.recoveryName));
        }
    }
}

TEST(TrashRestoreSelection, IsCheckedRecordByRecord) {
    StoreSandbox sandbox;
    const auto vst3 = sandbox.layout.system("/Library/Audio/Plug-Ins/VST3");
    const auto record = [&](std::string name, std::string folder) {
        return trashRecord(sandbox.layout, name, "VST3", folder + "/" + name + ".vst3");
    };
    const auto ready = record("Ready", vst3);
    const auto gone = record("Gone", vst3);
    const auto occupied = record("Taken", vst3);
    const auto back = record("Back", vst3);
    const auto personal = record("Mine", sandbox.layout.user("Library/Audio/Plug-Ins/VST3"));
    for (const auto& inTrash : {ready, occupied, personal}) {
        makeBundleOnDisk(inTrash.trashPath);
    }
    makeBundleOnDisk(occupied.originalPath);
    makeBundleOnDisk(back.originalPath);
    auto state = minimalState();
    state.trashedBundles = std::vector{ready, gone, occupied, back, personal};
    sandbox.writeState(state);
    const auto store = sandbox.open();
    const auto reason = [&](const std::vector<Uuid>& ids) { return TrashRestoreKind::blockingReason(*store, ids); };

    std::vector<Uuid> unknown(256);
    for (auto& id : unknown) {
        id = Uuid::random();
    }
    EXPECT_EQ(reason(unknown), "A selected Trash recovery record no longer exists.") << "256 is allowed";
    unknown.push_back(Uuid::random());
    EXPECT_EQ(reason(unknown), "A Trash recovery transaction can contain no more than 256 bundles.");
    EXPECT_EQ(reason({ready.id, ready.id}), "The Trash recovery selection contains a duplicate record.");
    EXPECT_EQ(reason({gone.id}), "Gone — VST3: Missing from Trash.");
    EXPECT_EQ(reason({occupied.id}), "Taken — VST3: Destination Occupied.");
    EXPECT_EQ(reason({back.id}), "Back — VST3: Already Restored.");
    EXPECT_EQ(reason({personal.id}), "Mine — VST3: Needs Verification.");
    EXPECT_EQ(reason({ready.id}), std::nullopt);
    EXPECT_FALSE(TrashRestoreKind::prepare(*store, {ready.id, gone.id}));
    EXPECT_EQ(store->notice()->message, "Gone — VST3: Missing from Trash.");

    const auto request = TrashRestoreKind::prepare(*store, {ready.id});
    ASSERT_TRUE(request);
    EXPECT_EQ(request->items, (std::vector<PrivilegedTrashRestoreItem>{
                                  {ready.trashPath, ready.originalPath, ready.id.string(), "Ready.vst3", "VST3"}}));
}

}  // namespace
}  // namespace kestrova::testing
