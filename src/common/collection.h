// An ordered collection whose members are also found by a text key, the key
// compared without regard to letter case (as registry names are).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "text.h"

namespace zendrel {

template <typename T>
class Collection {
  public:
    // Adds at the end. A key already present (in any letter case) is refused
    // and false returned; the collection is then unchanged.
    bool Add(T item, std::wstring key) {
        if (Find(key)) return false;
        members_.emplace_back(std::move(key), std::move(item));
        return true;
    }
    std::size_t Count() const { return members_.size(); }
    const T& Item(std::size_t index) const { return members_.at(index).second; }
    const std::wstring& Key(std::size_t index) const { return members_.at(index).first; }
    const T* Find(const std::wstring& key) const {
        for (const auto& m : members_)
            if (EqualsIgnoreCase(m.first, key)) return &m.second;
        return nullptr;
    }

  private:
    std::vector<std::pair<std::wstring, T>> members_;
};

}  // namespace zendrel
