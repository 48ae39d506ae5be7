// The state-file decoders on arbitrary bytes. Besides not crashing:
// - the direct reader gives only what the record-by-record decoder gives,
//   the same records down to the bytes they are written back as, and the
//   public decoder answers exactly what the record-by-record one answers;
// - the record-by-record decoder agrees with decoding the whole tree;
// - whatever decodes survives the round trip through this build's writer,
//   whose text is the tree's dump(2), and the direct reader takes every
//   text that writer writes.
#include "store/state/InventoryStateMigration.h"
#include "store/state/LoadedInventoryState.h"
#include "store/state/PersistedInventory.h"
#include "store/state/PersistedInventoryReader.h"

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
    const auto direct = decodeWellFormedInventory(text);
    const auto decoded = decodePersistedInventoryRecordByRecord(text);
    const auto tree = treeDecoded(text);
    require(decoded.ok() == tree.has_value());
    if (direct) {
        require(decoded.ok());
        require(*direct == *decoded);
        require(encodePersistedInventory(*direct) == encodePersistedInventory(*decoded));
    }
    const auto answered = decodePersistedInventory(text);
    require(answered.ok() == decoded.ok());
    if (!decoded) {
        require(answered.error() == decoded.error());
        return 0;
    }
    require(*answered == *decoded);
    require(*decoded == *tree);

    const auto written = encodePersistedInventory(*decoded);
    require(written ==
            JsonCoder<PersistedInventory>::encode(*decoded).dump(2, ' ', false, Json::error_handler_t::replace));
    const auto reread = decodeWellFormedInventory(written);
    require(reread.has_value());
    require(*reread == *decoded);

    if (auto migrated = InventoryStateMigration::migrate(*decoded)) {
        const auto loaded = applyLoadedState(std::move(migrated->state));
        require(loaded.history.size() == decoded->history.size());
    }
    return 0;
}
