// One object that start-up installs and code anywhere reaches through a
// getter, without passing it down every call chain: the conversation's
// front end, the dialog's seam. Installing it publishes it to every thread.
#pragma once

#include <atomic>
#include <cstdlib>

template <typename T> class Installed {
  public:
    T& get() const {
        T* object = object_.load(std::memory_order_acquire);
        if (object == nullptr) {
            std::abort(); // used before start-up installed it: a programming error
        }
        return *object;
    }
    void install(T* object) { object_.store(object, std::memory_order_release); }

  private:
    std::atomic<T*> object_{nullptr};
};
