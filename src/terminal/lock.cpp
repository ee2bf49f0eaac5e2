// The terminal layer's one lock: see lock.h.
#include "terminal/lock.h"

#include <pthread.h>

namespace {

pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
bool forks_noted = false;

void take() { pthread_mutex_lock(&mutex); }
void give() { pthread_mutex_unlock(&mutex); }

}  // namespace

TerminalLock::TerminalLock() {
  take();
  if (!forks_noted) {
    forks_noted = true;
    pthread_atfork(take, give, give);
  }
}

TerminalLock::~TerminalLock() { give(); }

void TerminalLock::unlock() { give(); }

void TerminalLock::relock() { take(); }
