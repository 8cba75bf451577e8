#ifndef PTHREADLOCK_H
#define PTHREADLOCK_H

#include <pthread.h>

// Holds a pthread mutex for one scope.
class PthreadLock {
public:
    explicit PthreadLock(pthread_mutex_t &mutex) : m_mutex(mutex) { pthread_mutex_lock(&m_mutex); }
    ~PthreadLock() { pthread_mutex_unlock(&m_mutex); }
    PthreadLock(const PthreadLock &) = delete;
    PthreadLock &operator=(const PthreadLock &) = delete;

private:
    pthread_mutex_t &m_mutex;
};

#endif
