// Change notification for published fields: a view subscribes once and is
// told the name of each field as it is assigned, instead of polling.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova {

class Observable {
public:
    using Observer = std::function<void(std::string_view field)>;
    using Token = std::size_t;

    Token observe(Observer observer) {
        observers_.emplace_back(nextToken_, std::move(observer));
        return nextToken_++;
    }
    void removeObserver(Token token) {
        std::erase_if(observers_, [token](const auto& entry) { return entry.first == token; });
    }

protected:
    ~Observable() = default;
    void publish(std::string_view field) const {
        // A copy, so an observer may subscribe or unsubscribe while notified.
        const auto observers = observers_;
        for (const auto& entry : observers) {
            entry.second(field);
        }
    }

private:
    std::vector<std::pair<Token, Observer>> observers_;
    Token nextToken_ = 1;
};

}  // namespace kestrova
