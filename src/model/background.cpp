#include "model/background.h"

#include <cstdio>
#include <cstdlib>

namespace nimbrel::Background {

// Never destroyed: a worker still running at exit must not make the process wait for it.
QThreadPool& userInitiated() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setObjectName(QStringLiteral("user-initiated"));
        return created;
    }();
    return *pool;
}

QThreadPool& utility() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setObjectName(QStringLiteral("utility"));
        created->setMaxThreadCount(2);
        created->setThreadPriority(QThread::LowPriority);
        return created;
    }();
    return *pool;
}

bool busy() {
    return userInitiated().activeThreadCount() > 0 || utility().activeThreadCount() > 0 ||
           QThreadPool::globalInstance()->activeThreadCount() > 0;
}

void endNowIfBusy(int code) {
    if (!busy()) return;
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace nimbrel::Background
