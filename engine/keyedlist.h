#pragma once
// The keyed collections of the engine state: the open-file list, the link table and the
// logical-file cache.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/errors.h"
#include "engine/text.h"

namespace zel::engine {

// Keyed collection whose keys compare without regard to case (members without a key are only
// reachable by index and iteration).
template <class T>
class KeyedList {
public:
    struct Member {
        std::string key;
        std::shared_ptr<T> item;
    };

    std::int32_t Count() const { return static_cast<std::int32_t>(members_.size()); }
    // By 1-based index; error 9 out of range.
    std::shared_ptr<T> Item(std::int32_t index) const;
    // By key; error 5 for an unknown key.
    std::shared_ptr<T> Item(const std::string& key) const;
    // By key; none for an unknown key.
    std::shared_ptr<T> Find(const std::string& key) const;
    void Remove(std::int32_t index);
    void Remove(const std::string& key);
    auto begin() const { return members_.begin(); }
    auto end() const { return members_.end(); }

protected:
    // Adds under `key` (none when empty); false when the key is present already.
    bool Insert(const std::string& key, std::shared_ptr<T> item);

private:
    std::size_t IndexOf(const std::string& key) const;
    void Reindex();
    std::vector<Member> members_;
    std::unordered_map<std::string, std::size_t> byKey_;  // upper-cased key -> position
};

template <class T>
std::size_t KeyedList<T>::IndexOf(const std::string& key) const {
    const auto it = byKey_.find(UpperCase(key));
    return it == byKey_.end() ? members_.size() : it->second;
}

template <class T>
void KeyedList<T>::Reindex() {
    byKey_.clear();
    for (std::size_t i = 0; i < members_.size(); ++i)
        if (!members_[i].key.empty()) byKey_.emplace(UpperCase(members_[i].key), i);
}

template <class T>
bool KeyedList<T>::Insert(const std::string& key, std::shared_ptr<T> item) {
    if (!key.empty() && !byKey_.emplace(UpperCase(key), members_.size()).second) return false;
    members_.push_back({key, std::move(item)});
    return true;
}

template <class T>
std::shared_ptr<T> KeyedList<T>::Item(std::int32_t index) const {
    if (index < 1 || index > Count()) RaiseClassic(err::kSubscript, "Item");
    return members_[static_cast<std::size_t>(index - 1)].item;
}

template <class T>
std::shared_ptr<T> KeyedList<T>::Item(const std::string& key) const {
    const std::size_t i = IndexOf(key);
    if (i == members_.size()) RaiseClassic(err::kInvalidCall, "Item");
    return members_[i].item;
}

template <class T>
std::shared_ptr<T> KeyedList<T>::Find(const std::string& key) const {
    const std::size_t i = IndexOf(key);
    return i == members_.size() ? nullptr : members_[i].item;
}

template <class T>
void KeyedList<T>::Remove(std::int32_t index) {
    if (index < 1 || index > Count()) RaiseClassic(err::kSubscript, "Remove");
    members_.erase(members_.begin() + (index - 1));
    Reindex();
}

template <class T>
void KeyedList<T>::Remove(const std::string& key) {
    const std::size_t i = IndexOf(key);
    if (i == members_.size()) RaiseClassic(err::kInvalidCall, "Remove");
    members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(i));
    Reindex();
}

}  // namespace zel::engine
