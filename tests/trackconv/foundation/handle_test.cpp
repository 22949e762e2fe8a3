#include "trackconv/foundation/handle.h"

#include <gtest/gtest.h>

namespace {

struct Counted {
  explicit Counted(int* alive) : alive(alive) { ++*alive; }
  virtual ~Counted() { --*alive; }
  int* alive;
};
struct Derived : Counted {
  using Counted::Counted;
};

TEST(Handle, LastHolderDeletesAndSharesAreCounted) {
  int alive = 0;
  {
    Handle<Counted> a(new Counted(&alive));
    EXPECT_EQ(a.Holders(), 1u);
    {
      Handle<Counted> b = a;
      Handle<Counted> c;
      c = b;
      EXPECT_EQ(a.Holders(), 3u);
      c = c;  // self-assignment keeps the share
      EXPECT_EQ(a.Holders(), 3u);
    }
    EXPECT_EQ(alive, 1);
    a = a.Get();  // assigning the same raw pointer changes nothing
    EXPECT_EQ(a.Holders(), 1u);
    EXPECT_EQ(alive, 1);
  }
  EXPECT_EQ(alive, 0);
}

TEST(Handle, DerivedConvertsToBaseSharingOneCount) {
  int alive = 0;
  Handle<Derived> derived(new Derived(&alive));
  Handle<Counted> base = derived;
  EXPECT_EQ(derived.Holders(), 2u);
  derived = nullptr;
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(base.Holders(), 1u);
  base = new Counted(&alive);  // releasing the last share deletes the old object
  EXPECT_EQ(alive, 1);
  Handle<Counted> empty(nullptr);
  EXPECT_EQ(empty.Get(), nullptr);
  EXPECT_EQ(empty.Holders(), 0u);
}

}  // namespace
