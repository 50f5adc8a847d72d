// String-keyed hash table of the toolkit: named controls, default attribute lists, styles, fonts and
// images all live in one of these. 83 chained buckets; a hit moves to the front of its bucket, because
// the same few names (the hovered button, the progress label) are looked up over and over.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <utility>

namespace Veneer {

// h = h * 33 + c over the characters from the last to the first, 32-bit wrap-around.
inline uint32_t HashName(std::wstring_view key) {
  uint32_t h = 0;
  for (size_t i = key.size(); i-- > 0;) h = h * 33u + static_cast<uint16_t>(key[i]);
  return h;
}

template <typename Value>
class CNameTable {
 public:
  static constexpr size_t kBuckets = 83;
  using Entry = std::pair<std::wstring, Value>;

  static size_t BucketOf(std::wstring_view key) { return HashName(key) % kBuckets; }

  // The value stored under key, or null. Keys compare exactly.
  Value* Find(std::wstring_view key) {
    auto& bucket = buckets_[BucketOf(key)];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
      if (it->first == key) {
        if (it != bucket.begin()) bucket.splice(bucket.begin(), bucket, it);
        return &bucket.front().second;
      }
    }
    return nullptr;
  }
  // Adds a new entry; refuses a key that is already present.
  bool Insert(std::wstring_view key, Value value) {
    if (Find(key) != nullptr) return false;
    buckets_[BucketOf(key)].emplace_front(std::wstring(key), std::move(value));
    ++count_;
    return true;
  }
  // Adds the entry or replaces the value of an existing one.
  void Set(std::wstring_view key, Value value) {
    if (Value* existing = Find(key)) {
      *existing = std::move(value);
      return;
    }
    buckets_[BucketOf(key)].emplace_front(std::wstring(key), std::move(value));
    ++count_;
  }
  bool Remove(std::wstring_view key) {
    auto& bucket = buckets_[BucketOf(key)];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
      if (it->first == key) {
        bucket.erase(it);
        --count_;
        return true;
      }
    }
    return false;
  }
  // Removes every entry whose value satisfies the predicate.
  template <typename Predicate>
  void RemoveIf(Predicate predicate) {
    for (auto& bucket : buckets_) {
      for (auto it = bucket.begin(); it != bucket.end();) {
        if (predicate(it->second)) {
          it = bucket.erase(it);
          --count_;
        } else {
          ++it;
        }
      }
    }
  }
  void Clear() {
    for (auto& bucket : buckets_) bucket.clear();
    count_ = 0;
  }
  [[nodiscard]] size_t Count() const { return count_; }
  // Visits the entries bucket by bucket (not in insertion order).
  template <typename Visitor>
  void ForEach(Visitor visit) {
    for (auto& bucket : buckets_)
      for (auto& entry : bucket) visit(entry.first, entry.second);
  }
  // The keys of one bucket, front first; lets tests observe the move-to-front rule.
  [[nodiscard]] const std::list<Entry>& Bucket(size_t index) const { return buckets_[index]; }

 private:
  std::array<std::list<Entry>, kBuckets> buckets_;
  size_t count_ = 0;
};

}  // namespace Veneer
