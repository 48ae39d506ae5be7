#include "ui/models/PluginTableModel.h"

#include "model/ProductSearch.h"
#include "planning/ByteCountParsing.h"
#include "platform/ByteCount.h"
#include "platform/LocaleText.h"
#include "platform/Text.h"
#include "ui/app/QtText.h"

#include <algorithm>

namespace kestrova::ui {
namespace {

QString joinedFormats(const std::vector<std::string>& formats) {
    QString joined;
    for (const auto& format : formats) {
        if (!joined.isEmpty()) {
            joined += QStringLiteral(", ");
        }
        joined += toQString(format);
    }
    return joined;
}

}  // namespace

void PluginTableModel::showQuarantinedPart(MoveDateLookup movedAt) { quarantined_ = std::move(movedAt); }

PluginTableModel::Row PluginTableModel::makeRow(Plugin product) const {
    Row row;
    row.cells = {toQString(product.name),
                 toQString(product.manufacturer),
                 joinedFormats(product.formats),
                 toQString(product.architecture),
                 toQString(product.size),
                 toQString(rawValue(product.status)),
                 QString()};
    row.bytes = parseDisplaySize(product.size).value_or(0);
    if (quarantined_) {
        const auto part = quarantinedPart(product, *quarantined_);
        row.cells[format] = joinedFormats(part.formats);
        row.bytes = part.bytes;
        row.cells[size] =
            toQString(formatFileByteCount(static_cast<std::uint64_t>(std::max<std::int64_t>(part.bytes, 0))));
        if (part.movedAt) {
            row.cells[moved] = toQString(abbreviatedDateShortTimeText(*part.movedAt));
            row.movedAt = part.movedAt->secondsSinceReferenceDate;
        }
    }
    row.product = std::move(product);
    return row;
}

void PluginTableModel::setProducts(std::vector<Plugin> products) {
    beginResetModel();
    rows_.clear();
    searchText_.clear();
    searchStarts_.assign(1, 0);
    rows_.reserve(products.size());
    searchStarts_.reserve(products.size() + 1);
    for (auto& product : products) {
        searchText_ += productSearchText(product);
        searchStarts_.push_back(searchText_.size());
        rows_.push_back(makeRow(std::move(product)));
    }
    endResetModel();
}

std::optional<int> PluginTableModel::rowOf(const Uuid& id) const {
    for (std::size_t index = 0; index < rows_.size(); ++index) {
        if (rows_[index].product.id == id) {
            return static_cast<int>(index);
        }
    }
    return std::nullopt;
}

int PluginTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PluginTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : numberOfColumns; }

QVariant PluginTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= numberOfColumns) {
        return {};
    }
    const auto& entry = row(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return entry.cells[static_cast<std::size_t>(index.column())];
        case sortRole:
            switch (index.column()) {
                case size:
                    return QVariant::fromValue<qint64>(entry.bytes);
                case moved:
                    return entry.movedAt;
                case plugin:
                case manufacturer:
                    return entry.cells[static_cast<std::size_t>(index.column())].toCaseFolded();
                default:
                    return entry.cells[static_cast<std::size_t>(index.column())];
            }
        case statusRole:
            return static_cast<int>(entry.product.status);
        case Qt::TextAlignmentRole:
            return index.column() == size ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                          : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant PluginTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const std::array<QString, numberOfColumns> titles{QStringLiteral("Plugin"), QStringLiteral("Manufacturer"),
                                                             QStringLiteral("Format"), QStringLiteral("Architecture"),
                                                             QStringLiteral("Size"),   QStringLiteral("Status"),
                                                             QStringLiteral("Moved")};
    return section >= 0 && section < numberOfColumns ? titles[static_cast<std::size_t>(section)] : QVariant();
}

}  // namespace kestrova::ui
