#include "ui/app/WindowState.h"

namespace kestrova::ui {

void WindowState::setSection(AppSection section) {
    if (section != section_) {
        section_ = section;
        emit sectionChanged(section);
    }
}

void WindowState::setSelectedPluginID(std::optional<Uuid> id) {
    if (id != selectedPluginID_) {
        selectedPluginID_ = id;
        emit selectedPluginChanged();
    }
}

void WindowState::setQuery(const QString& query) {
    if (query != query_) {
        query_ = query;
        emit queryChanged(query);
    }
}

}  // namespace kestrova::ui
