#pragma once
// Gives T one process-wide instance: created on first use (safely, even when two threads make
// that first use at once) and destroyed at process exit. A T with a private constructor names
// CSingleton<T> as a friend.
template <typename T>
class CSingleton {
 public:
  static T* GetInstance() {
    static T instance;  // function-local static: construction is serialised by the language
    return &instance;
  }

  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;

 protected:
  CSingleton() = default;
  ~CSingleton() = default;
};
