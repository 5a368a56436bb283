// A hash map keyed by the identity of framework objects. Each node holds a counted reference
// to its key object and a value; the map keeps its key objects alive until they are removed or
// the map is destroyed. Insert, find and erase are O(1) on average.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"

namespace Kiv {

// Bucket arrays of every map are counted here.
extern MemAllocationTracker hashMap2018BucketTracker;

// The framework's node layout: chain link, key reference, value. `Derived` adds the class's
// allocation (KIV_SMALL_OBJECT) and nothing else.
template <class Derived, class K, class V>
struct HashMap2018Node {
  using Key = K;
  using Value = V;

  HashMap2018Node(Derived* nextNode, const Ptr<K>& keyObject, const V& nodeValue)
      : next(nextNode), key(keyObject), value(nodeValue) {}

  Derived* next;
  Ptr<K> key;
  V value;
};

template <class Node>
class HashMap2018 {
 public:
  using Key = typename Node::Key;
  using Value = typename Node::Value;

  // Visits the nodes in the map's own order; valid until the map changes.
  class Iterator {
   public:
    Node& operator*() const noexcept { return *node_; }
    Node* operator->() const noexcept { return node_; }
    Iterator& operator++() noexcept {
      node_ = node_->next;
      if (!node_) settle(bucket_ + 1);
      return *this;
    }
    bool operator==(const Iterator& other) const noexcept { return node_ == other.node_; }
    bool atEnd() const noexcept { return node_ == nullptr; }

   private:
    friend class HashMap2018;
    Iterator(const HashMap2018* map, std::size_t bucket, Node* node) noexcept
        : map_(map), bucket_(bucket), node_(node) {}
    void settle(std::size_t bucket) noexcept {
      for (; bucket < map_->bucketCount_; ++bucket) {
        if (map_->buckets_[bucket]) {
          bucket_ = bucket;
          node_ = map_->buckets_[bucket];
          return;
        }
      }
      node_ = nullptr;
    }

    const HashMap2018* map_;
    std::size_t bucket_;
    Node* node_;
  };

  HashMap2018() noexcept = default;
  HashMap2018(const HashMap2018&) = delete;
  HashMap2018& operator=(const HashMap2018&) = delete;
  ~HashMap2018() { clear(); }

  U32 size() const noexcept { return size_; }

  Node* find(const Key* key) const noexcept {
    if (!size_) return nullptr;
    Node* node = buckets_[bucketOf(key)];
    while (node && node->key.ptr() != key)
      node = node->next;
    return node;
  }

  // Stores `value` under `key`: replaces the value of a node that has the key, else adds a
  // node that references the key object.
  void insertOrAssign(const Ptr<Key>& key, const Value& value) {
    if (Node* node = find(key.ptr())) {
      node->value = value;
      return;
    }
    if (size_ >= bucketCount_) rehash(bucketCount_ ? bucketCount_ * 2 : minimumBuckets);
    Node*& head = buckets_[bucketOf(key.ptr())];
    head = new Node(head, key, value);
    ++size_;
  }

  // Removes the node of `key`, releasing its key reference. Gives whether there was one and,
  // if there was, its value in `removed`.
  bool erase(const Key* key, Value* removed) noexcept {
    if (!size_) return false;
    for (Node** link = &buckets_[bucketOf(key)]; *link; link = &(*link)->next) {
      Node* node = *link;
      if (node->key.ptr() != key) continue;
      *link = node->next;
      *removed = node->value;
      delete node;
      --size_;
      if (size_ * 3 < bucketCount_ && bucketCount_ > minimumBuckets) shrink();
      return true;
    }
    return false;
  }

  void clear() noexcept {
    for (std::size_t bucket = 0; bucket < bucketCount_; ++bucket) {
      for (Node* node = buckets_[bucket]; node;)
        delete std::exchange(node, node->next);
    }
    releaseBuckets();
    size_ = 0;
  }

  Iterator begin() const noexcept {
    Iterator it(this, 0, nullptr);
    it.settle(0);
    return it;
  }
  // Starts at the node of `key` and goes on in the map's order; the end if `key` is absent.
  Iterator at(const Key* key) const noexcept {
    Node* node = find(key);
    return node ? Iterator(this, bucketOf(key), node) : end();
  }
  Iterator end() const noexcept { return Iterator(this, bucketCount_, nullptr); }

 private:
  static constexpr std::size_t minimumBuckets = 8;

  std::size_t bucketOf(const Key* key) const noexcept {
    // Fibonacci hashing of the address spreads aligned object addresses over the buckets.
    return (reinterpret_cast<std::uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> shift_;
  }

  void rehash(std::size_t count) {
    Node** buckets =
        static_cast<Node**>(trackedAllocate(hashMap2018BucketTracker, count * sizeof(Node*)));
    std::memset(buckets, 0, count * sizeof(Node*));
    Node** old = buckets_;
    std::size_t oldCount = bucketCount_;
    buckets_ = buckets;
    bucketCount_ = count;
    shift_ = 64 - std::countr_zero(count);
    for (std::size_t bucket = 0; bucket < oldCount; ++bucket) {
      for (Node* node = old[bucket]; node;) {
        Node* next = node->next;
        Node*& head = buckets_[bucketOf(node->key.ptr())];
        node->next = head;
        head = node;
        node = next;
      }
    }
    if (old) trackedRelease(hashMap2018BucketTracker, old, oldCount * sizeof(Node*));
  }

  // Halves the bucket array when fewer than a third of the buckets would be used, so that a map
  // never keeps more than three bucket pointers per key; keeps the larger array if memory is short.
  void shrink() noexcept {
    try {
      rehash(bucketCount_ / 2);
    } catch (const std::bad_alloc&) {
    }
  }

  void releaseBuckets() noexcept {
    if (buckets_) trackedRelease(hashMap2018BucketTracker, buckets_, bucketCount_ * sizeof(Node*));
    buckets_ = nullptr;
    bucketCount_ = 0;
  }

  Node** buckets_ = nullptr;
  std::size_t bucketCount_ = 0;
  unsigned shift_ = 64;
  U32 size_ = 0;
};

}  // namespace Kiv
