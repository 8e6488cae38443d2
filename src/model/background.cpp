#include "model/background.h"

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

}  // namespace nimbrel::Background
