#include "helper/TransactionLedger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kestrova {
namespace {

constexpr std::string_view newLedgerFileName = "transactions.ledger.new";

std::string_view stepName(int step) {
    static constexpr std::string_view names[] = {"received", "started", "finished", "fenced", "interrupted"};
    return names[step];
}

std::optional<int> stepFromName(std::string_view name) {
    for (int step = 0; step < 5; ++step) {
        if (stepName(step) == name) {
            return step;
        }
    }
    return std::nullopt;
}

std::string errnoText(std::string_view what) { return fmt::format("{}: {}", what, std::strerror(errno)); }

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

TransactionLedger::TransactionLedger(std::optional<std::string> folder, HelperLog& log, TransactionLedgerLimits limits)
    : log_(log), limits_(limits) {
    if (!folder) {
        problem_ = "it has no state folder";
        return;
    }
    // Its parents (/var/lib/kestrova under a fresh root) may be missing too.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(*folder).parent_path(), ignored);
    if (::mkdir(folder->c_str(), 0700) != 0 && errno != EEXIST) {
        problem_ = errnoText(fmt::format("its state folder “{}” cannot be made", *folder));
        return;
    }
    folder_.reset(::open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!folder_.valid() || ::fstat(folder_.get(), &info) != 0) {
        problem_ = errnoText(fmt::format("its state folder “{}” cannot be opened", *folder));
        folder_.reset();
        return;
    }
    if (info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        problem_ = fmt::format("its state folder “{}” can be changed by other users", *folder);
        folder_.reset();
        return;
    }
    load();
}

bool TransactionLedger::isAvailable() const {
    std::lock_guard lock(mutex_);
    return file_.valid();
}

std::string TransactionLedger::unavailableReason() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

std::size_t TransactionLedger::entryCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

Json TransactionLedger::recordOf(const std::string& transactionID, const Entry& entry) {
    Json record{{"id", transactionID}, {"step", stepName(static_cast<int>(entry.step))}};
    if (entry.call) {
        record["call"] = callName(*entry.call);
    }
    if (entry.result) {
        record["result"] = *entry.result;
    }
    if (!entry.moves.empty()) {
        auto& moves = record["moves"] = Json::array();
        for (const auto& [source, destination] : entry.moves) {
            moves.push_back(Json::array({source, destination}));
        }
    }
    return record;
}

bool TransactionLedger::apply(const std::string& line) {
    const Json record = Json::parse(line, nullptr, false);
    if (record.is_discarded() || !record.is_object()) {
        return false;
    }
    const auto id = record.find("id");
    const auto step = record.find("step");
    if (id == record.end() || !id->is_string() || step == record.end() || !step->is_string()) {
        return false;
    }
    const auto known = stepFromName(step->get_ref<const std::string&>());
    if (!known) {
        return false;
    }
    auto& entry = entries_[id->get<std::string>()];
    entry.step = static_cast<Step>(*known);
    entry.order = nextOrder_++;
    if (const auto call = record.find("call"); call != record.end() && call->is_string()) {
        entry.call = helperCallFromName(call->get_ref<const std::string&>());
    }
    if (const auto result = record.find("result"); result != record.end() && result->is_object()) {
        entry.result = *result;
    }
    entry.moves.clear();
    if (const auto moves = record.find("moves"); moves != record.end() && moves->is_array()) {
        for (const auto& move : *moves) {
            if (!move.is_array() || move.size() != 2 || !move[0].is_string() || !move[1].is_string()) {
                return false;
            }
            entry.moves.emplace_back(move[0].get<std::string>(), move[1].get<std::string>());
        }
    }
    return true;
}

void TransactionLedger::load() {
    std::string text;
    bool damaged = false;
    FileDescriptor existing(
        ::openat(folder_.get(), std::string(transactionLedgerFileName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (existing.valid()) {
        struct stat info {};
        if (::fstat(existing.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            damaged = true;
        } else {
            char buffer[65536];
            while (true) {
                const auto got = ::read(existing.get(), buffer, sizeof buffer);
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                if (got < 0) {
                    damaged = true;
                    break;
                }
                if (got == 0) {
                    break;
                }
                text.append(buffer, static_cast<std::size_t>(got));
            }
        }
    } else if (errno != ENOENT) {
        damaged = true;  // a link or something unreadable where the ledger belongs
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            log_.write("dropped a torn last line of the transaction ledger");
            break;  // torn by a crash in the middle of an append
        }
        const auto line = text.substr(start, end - start);
        if (!line.empty() && !apply(line)) {
            damaged = true;
        }
        start = end + 1;
    }
    if (damaged) {
        log_.write(
            fmt::format("the transaction ledger is damaged; it is kept as “{}” and its readable lines carried "
                        "over",
                        damagedLedgerFileName));
        if (::renameat(folder_.get(), std::string(transactionLedgerFileName).c_str(), folder_.get(),
                       std::string(damagedLedgerFileName).c_str()) != 0 &&
            errno != ENOENT) {
            problem_ = errnoText("its damaged transaction ledger cannot be set aside");
            return;
        }
    }
    // What was in hand when the last daemon stopped got no reply and will
    // never go on.
    std::vector<std::string> stopped;
    for (auto& [id, entry] : entries_) {
        if (entry.step == Step::received || entry.step == Step::started) {
            entry.step = Step::interrupted;
            entry.order = nextOrder_++;  // settled just now: the last to be dropped
            stopped.push_back(id);
        }
    }
    for (const auto& id : stopped) {
        log_.write(fmt::format("transaction {} was interrupted by a daemon stop", id));
    }
    prune();
    if (!compact()) {
        return;
    }
}

bool TransactionLedger::compact() {
    const auto newName = std::string(newLedgerFileName);
    FileDescriptor fresh(
        ::openat(folder_.get(), newName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fresh.valid()) {
        problem_ = errnoText("its transaction ledger cannot be written");
        file_.reset();
        return false;
    }
    std::vector<std::pair<std::uint64_t, const std::string*>> order;
    for (const auto& [id, entry] : entries_) {
        order.emplace_back(entry.order, &id);
    }
    std::sort(order.begin(), order.end());
    std::string text;
    for (const auto& [position, id] : order) {
        text += recordOf(*id, entries_.at(*id)).dump(-1, ' ', false, Json::error_handler_t::replace);
        text += '\n';
    }
    if (!writeAll(fresh.get(), text) || ::fsync(fresh.get()) != 0 ||
        ::renameat(folder_.get(), newName.c_str(), folder_.get(), std::string(transactionLedgerFileName).c_str()) !=
            0 ||
        ::fsync(folder_.get()) != 0) {
        problem_ = errnoText("its transaction ledger cannot be written");
        file_.reset();
        return false;
    }
    file_.reset(::openat(folder_.get(), std::string(transactionLedgerFileName).c_str(),
                         O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    if (!file_.valid()) {
        problem_ = errnoText("its transaction ledger cannot be opened");
        return false;
    }
    linesInFile_ = order.size();
    problem_.clear();
    return true;
}

void TransactionLedger::prune() {
    std::vector<std::pair<std::uint64_t, std::string>> settled;
    for (const auto& [id, entry] : entries_) {
        if (entry.step != Step::received && entry.step != Step::started) {
            settled.emplace_back(entry.order, id);
        }
    }
    if (settled.size() <= limits_.keptEntries) {
        return;
    }
    std::sort(settled.begin(), settled.end());
    const auto dropped = settled.size() - limits_.keptEntries;
    for (std::size_t index = 0; index < dropped; ++index) {
        entries_.erase(settled[index].second);
    }
}

bool TransactionLedger::append(const std::string& transactionID, const Entry& entry) {
    if (!file_.valid()) {
        return false;
    }
    const auto line = recordOf(transactionID, entry).dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    if (!writeAll(file_.get(), line) || ::fdatasync(file_.get()) != 0) {
        problem_ = errnoText("its transaction ledger cannot be written");
        log_.write("the transaction ledger cannot be written: " + problem_);
        file_.reset();
        return false;
    }
    // The file grows by a line per step; now and then it is rewritten with
    // one line per kept entry, the oldest settled ones dropped.
    if (++linesInFile_ > 3 * limits_.keptEntries) {
        prune();
        (void)compact();
    }
    return true;
}

TransactionLedger::Arrival TransactionLedger::receive(const std::string& transactionID, HelperCall call) {
    std::lock_guard lock(mutex_);
    if (const auto found = entries_.find(transactionID); found != entries_.end()) {
        switch (found->second.step) {
            case Step::fenced:
                return {Admission::fenced, found->second.call, std::nullopt};
            case Step::finished:
                return {Admission::finished, found->second.call, found->second.result};
            case Step::received:
            case Step::started:
            case Step::interrupted:
                return {Admission::duplicate, found->second.call, std::nullopt};
        }
    }
    Entry entry;
    entry.step = Step::received;
    entry.call = call;
    entry.order = nextOrder_++;
    if (!append(transactionID, entry)) {
        return {Admission::unrecorded, std::nullopt, std::nullopt};
    }
    entries_[transactionID] = std::move(entry);
    return {Admission::accepted, std::nullopt, std::nullopt};
}

TransactionLedger::Start TransactionLedger::start(const std::string& transactionID,
                                                  const std::function<bool()>& clientConnected,
                                                  const std::vector<LedgerMove>& moves) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(transactionID);
    if (found == entries_.end() || found->second.step == Step::fenced) {
        return Start::fenced;
    }
    auto next = found->second;
    next.order = nextOrder_++;
    const bool connected = clientConnected();
    next.step = connected ? Step::started : Step::fenced;
    if (connected) {
        next.moves = moves;
    }
    if (!append(transactionID, next)) {
        return Start::unrecorded;
    }
    found->second = std::move(next);
    return connected ? Start::started : Start::clientGone;
}

void TransactionLedger::finish(const std::string& transactionID, HelperCall call, const Json& result) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(transactionID);
    if (found == entries_.end()) {
        return;
    }
    auto next = found->second;
    next.step = Step::finished;
    next.call = call;
    next.result = result;
    next.moves.clear();
    next.order = nextOrder_++;
    // Kept in memory even when it cannot be written, so this daemon still
    // answers with it.
    (void)append(transactionID, next);
    found->second = std::move(next);
}

std::vector<std::pair<std::string, std::vector<LedgerMove>>> TransactionLedger::interruptedWithMoves() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, std::vector<LedgerMove>>> interrupted;
    for (const auto& [id, entry] : entries_) {
        if (entry.step == Step::interrupted && !entry.moves.empty()) {
            interrupted.emplace_back(id, entry.moves);
        }
    }
    return interrupted;
}

void TransactionLedger::markRolledBack(const std::string& transactionID) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(transactionID);
    if (found == entries_.end()) {
        return;
    }
    auto next = found->second;
    next.moves.clear();
    next.order = nextOrder_++;
    (void)append(transactionID, next);
    found->second = std::move(next);
}

TransactionStatusReply TransactionLedger::status(const std::string& transactionID) {
    std::lock_guard lock(mutex_);
    TransactionStatusReply reply;
    reply.transactionID = transactionID;
    const auto found = entries_.find(transactionID);
    if (found == entries_.end()) {
        Entry fence;
        fence.step = Step::fenced;
        fence.order = nextOrder_++;
        // A fence that cannot be written still holds for this daemon, which
        // is the only one that could receive the ID from a live client.
        (void)append(transactionID, fence);
        entries_[transactionID] = std::move(fence);
        reply.state = HelperTransactionState::unknown;
        return reply;
    }
    const auto& entry = found->second;
    reply.call = entry.call;
    switch (entry.step) {
        case Step::received:
        case Step::started:
            reply.state = HelperTransactionState::running;
            break;
        case Step::finished:
            reply.state = HelperTransactionState::finished;
            reply.result = entry.result;
            break;
        case Step::fenced:
            reply.state = HelperTransactionState::fenced;
            break;
        case Step::interrupted:
            reply.state = HelperTransactionState::interrupted;
            break;
    }
    return reply;
}

}  // namespace kestrova
