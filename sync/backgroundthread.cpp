#include "backgroundthread.h"

#include <sys/resource.h>
#include <unistd.h>

void BackgroundThread::giveWay()
{
    // On Linux a thread id names one thread here (setpriority(2)).
    setpriority(PRIO_PROCESS, id_t(gettid()), 5);
}
