#include "thread/ref_counted.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

class Node : public CRefThreadSafeBase<Node> {
 public:
  explicit Node(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  virtual ~Node() { ++*destroyed_; }

  CRefPtr<Node> child;

 private:
  std::atomic<int>* destroyed_;
};

class DerivedNode : public Node {
 public:
  DerivedNode(std::atomic<int>* destroyed, std::atomic<int>* derivedDestroyed)
      : Node(destroyed), derivedDestroyed_(derivedDestroyed) {}
  ~DerivedNode() override { ++*derivedDestroyed_; }

 private:
  std::atomic<int>* derivedDestroyed_;
};

TEST(RefCounted, NewObjectHasNoReferences) {
  std::atomic<int> destroyed{0};
  Node* node = new Node(&destroyed);
  node->AddRef();
  EXPECT_EQ(node->Release(), 0);
  EXPECT_EQ(destroyed, 1);
}

TEST(RefPtr, LastOwnerDeletesThroughTheVirtualDestructor) {
  std::atomic<int> destroyed{0};
  std::atomic<int> derivedDestroyed{0};
  {
    CRefPtr<DerivedNode> derived(new DerivedNode(&destroyed, &derivedDestroyed));
    CRefPtr<Node> copy = derived;  // derived to base
    CRefPtr<Node> assigned;
    assigned = copy;
    derived.Reset();
    copy.Reset();
    EXPECT_EQ(destroyed, 0);
    CRefPtr<Node> moved(std::move(assigned));
    EXPECT_EQ(assigned.Get(), nullptr);
    const CRefPtr<Node>& same = moved;
    moved = same;  // self-assignment keeps the object
    EXPECT_EQ(destroyed, 0);
    EXPECT_NE(moved.Get(), nullptr);
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(derivedDestroyed, 1);
}

// The old object is the only owner of the new one: dropping the old reference first would free
// the new object before it is taken.
TEST(RefPtr, AssignmentTakesTheNewReferenceBeforeDroppingTheOld) {
  std::atomic<int> destroyed{0};
  CRefPtr<Node> head(new Node(&destroyed));
  head->child = new Node(&destroyed);
  head->child->child = new Node(&destroyed);
  Node* const second = head->child;
  Node* const third = second->child;

  head = head->child;  // from a CRefPtr that lives inside the object being released
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(head.Get(), second);

  head = head->child.Get();  // from a raw pointer
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(head.Get(), third);

  head = nullptr;
  EXPECT_EQ(destroyed, 3);
}

TEST(RefPtr, CountsStayExactUnderConcurrentCopies) {
  constexpr int kThreads = 4;
  constexpr int kCopies = 20000;
  std::atomic<int> destroyed{0};
  CRefPtr<Node> shared(new Node(&destroyed));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([own = shared]() mutable {
      for (int i = 0; i < kCopies; ++i) {
        CRefPtr<Node> copy = own;
        CRefPtr<Node> other;
        other = copy;
      }
      own.Reset();  // one of these may be the last reference
    });
  }
  shared.Reset();
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
