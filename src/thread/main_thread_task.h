#pragma once
// A function call with stored arguments, run later on the UI thread by the dispatcher. The stored
// copies live as long as the task, and the last reference may be dropped on any thread, so the
// argument types must be safe to destroy on a worker.
#include <type_traits>
#include <utility>

#include "thread/main_thread_dispatcher.h"
#include "thread/ref_counted.h"

class MainThreadTaskBase : public CRefThreadSafeBase<MainThreadTaskBase> {
 public:
  // The task's work, on the UI thread. Tasks catch what they throw.
  virtual void Run() = 0;
  virtual ~MainThreadTaskBase() = default;
};

// T1..Tn are the stored types, P1..Pn the function's parameter types (a `const X&` parameter gets
// a reference to the stored copy).
template <typename T1, typename P1, typename T2, typename P2>
class MainThreadTask2 : public MainThreadTaskBase {
 public:
  using Function = void (*)(P1, P2);
  MainThreadTask2(Function fn, T1 a1, T2 a2) : fn_(fn), a1_(std::move(a1)), a2_(std::move(a2)) {}
  void Run() override { fn_(a1_, a2_); }

 private:
  Function fn_;
  T1 a1_;
  T2 a2_;
};

template <typename T1, typename P1, typename T2, typename P2, typename T3, typename P3>
class MainThreadTask3 : public MainThreadTaskBase {
 public:
  using Function = void (*)(P1, P2, P3);
  MainThreadTask3(Function fn, T1 a1, T2 a2, T3 a3)
      : fn_(fn), a1_(std::move(a1)), a2_(std::move(a2)), a3_(std::move(a3)) {}
  void Run() override { fn_(a1_, a2_, a3_); }

 private:
  Function fn_;
  T1 a1_;
  T2 a2_;
  T3 a3_;
};

template <typename T1, typename P1, typename T2, typename P2, typename T3, typename P3, typename T4, typename P4>
class MainThreadTask4 : public MainThreadTaskBase {
 public:
  using Function = void (*)(P1, P2, P3, P4);
  MainThreadTask4(Function fn, T1 a1, T2 a2, T3 a3, T4 a4)
      : fn_(fn), a1_(std::move(a1)), a2_(std::move(a2)), a3_(std::move(a3)), a4_(std::move(a4)) {}
  void Run() override { fn_(a1_, a2_, a3_, a4_); }

 private:
  Function fn_;
  T1 a1_;
  T2 a2_;
  T3 a3_;
  T4 a4_;
};

// The type a task stores for a parameter of type P: the value it refers to.
template <typename P>
using MainThreadTaskStored = std::remove_cvref_t<P>;

// Queues fn(a1, ..., an) for the UI thread. The task stores each argument as the value type of the
// matching parameter, so a `const CRefPtr<X>&` parameter keeps its object alive until the task is
// gone, and a `const std::string&` one refers to the task's own copy.
template <typename P1, typename P2, typename A1, typename A2>
void PostToMainThread(void (*fn)(P1, P2), A1&& a1, A2&& a2) {
  using Task = MainThreadTask2<MainThreadTaskStored<P1>, P1, MainThreadTaskStored<P2>, P2>;
  // The local reference is dropped on return, leaving the queue's as the only one.
  CRefPtr<MainThreadTaskBase> task(new Task(fn, std::forward<A1>(a1), std::forward<A2>(a2)));
  PostMainThreadTask(task);
}

template <typename P1, typename P2, typename P3, typename A1, typename A2, typename A3>
void PostToMainThread(void (*fn)(P1, P2, P3), A1&& a1, A2&& a2, A3&& a3) {
  using Task = MainThreadTask3<MainThreadTaskStored<P1>, P1, MainThreadTaskStored<P2>, P2, MainThreadTaskStored<P3>, P3>;
  CRefPtr<MainThreadTaskBase> task(new Task(fn, std::forward<A1>(a1), std::forward<A2>(a2), std::forward<A3>(a3)));
  PostMainThreadTask(task);
}

template <typename P1, typename P2, typename P3, typename P4, typename A1, typename A2, typename A3, typename A4>
void PostToMainThread(void (*fn)(P1, P2, P3, P4), A1&& a1, A2&& a2, A3&& a3, A4&& a4) {
  using Task = MainThreadTask4<MainThreadTaskStored<P1>, P1, MainThreadTaskStored<P2>, P2, MainThreadTaskStored<P3>, P3,
                               MainThreadTaskStored<P4>, P4>;
  CRefPtr<MainThreadTaskBase> task(
      new Task(fn, std::forward<A1>(a1), std::forward<A2>(a2), std::forward<A3>(a3), std::forward<A4>(a4)));
  PostMainThreadTask(task);
}
