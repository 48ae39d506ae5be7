// The state-file decoder on arbitrary bytes. Besides not crashing, whatever
// decodes must survive the round trip through this build's own writer (a
// state it saves must load again, unchanged), and reading record by record
// must agree with decoding the whole tree.
#include "store/InventoryStateMigration.h"
#include "store/LoadedInventoryState.h"
#include "store/PersistedInventory.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace kestrova;

std::optional<PersistedInventory> treeDecoded(std::string_view text) {
    try {
        return JsonCoder<PersistedInventory>::decode(Json::parse(text), "");
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto decoded = decodePersistedInventory(text);
    const auto tree = treeDecoded(text);
    require(decoded.ok() == tree.has_value());
    if (!decoded) {
        return 0;
    }
    require(*decoded == *tree);

    const auto written = encodePersistedInventory(*decoded);
    require(written ==
            JsonCoder<PersistedInventory>::encode(*decoded).dump(2, ' ', false, Json::error_handler_t::replace));
    const auto reread = decodePersistedInventory(written);
    require(reread.ok());
    require(*reread == *decoded);

    if (auto migrated = InventoryStateMigration::migrate(*decoded)) {
        const auto loaded = applyLoadedState(std::move(migrated->state));
        require(loaded.history.size() == decoded->history.size());
    }
    return 0;
}
