// A set over a small enumeration (values 0..255), with Pascal's set operators.
#pragma once
#include <bitset>
#include <initializer_list>

namespace kv {

template <typename E, int N = 256>
class TSet {
 public:
  constexpr TSet() = default;
  TSet(std::initializer_list<E> Items) {
    for (E e : Items) Include(e);
  }
  void Include(E e) { FBits.set(static_cast<size_t>(e)); }
  void Exclude(E e) { FBits.reset(static_cast<size_t>(e)); }
  bool Contains(E e) const { return FBits.test(static_cast<size_t>(e)); }
  bool Empty() const { return FBits.none(); }
  int Count() const { return static_cast<int>(FBits.count()); }
  TSet operator+(const TSet& o) const { TSet r; r.FBits = FBits | o.FBits; return r; }
  TSet operator*(const TSet& o) const { TSet r; r.FBits = FBits & o.FBits; return r; }
  TSet operator-(const TSet& o) const { TSet r; r.FBits = FBits & ~o.FBits; return r; }
  TSet& operator+=(const TSet& o) { FBits |= o.FBits; return *this; }
  TSet& operator-=(const TSet& o) { FBits &= ~o.FBits; return *this; }
  TSet& operator*=(const TSet& o) { FBits &= o.FBits; return *this; }
  // a <= b: every member of a is in b.
  bool operator<=(const TSet& o) const { return (FBits & ~o.FBits).none(); }
  friend bool operator==(const TSet& a, const TSet& b) { return a.FBits == b.FBits; }
  // Members as a bit mask (member i is bit i), for storing small sets as integers.
  unsigned long long ToMask() const { return (FBits & std::bitset<N>(~0ULL)).to_ullong(); }
  static TSet FromMask(unsigned long long Mask) {
    TSet r;
    for (int i = 0; i < 64 && i < N; ++i)
      if (Mask & (1ULL << i)) r.FBits.set(static_cast<size_t>(i));
    return r;
  }

 private:
  std::bitset<N> FBits;
};

}  // namespace kv
