#include "ThreadHandoff.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__SANITIZE_THREAD__)
#define DRAVIK_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DRAVIK_THREAD_SANITIZER 1
#endif
#endif

#ifdef DRAVIK_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace {

// One key per direction, as Qt has one lock per pool queue and per event queue. The keys are
// globals because the receiving side must not read anything the sender wrote before it has
// taken the hand-over.
char poolQueue;
char eventQueue;

void handOver([[maybe_unused]] void* key)
{
#ifdef DRAVIK_THREAD_SANITIZER
    __tsan_release(key);
#endif
}

void takeOver([[maybe_unused]] void* key)
{
#ifdef DRAVIK_THREAD_SANITIZER
    __tsan_acquire(key);
#endif
}

QEvent::Type postedWorkType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

class PostedWork : public QEvent {
public:
    explicit PostedWork(std::function<void()> work) : QEvent(postedWorkType()), m_work(std::move(work)) {}
    void run() const { m_work(); }

private:
    std::function<void()> m_work;
};

class PostedWorkRunner : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject*, QEvent* event) override
    {
        // Taken for every event, since even its type was written by the sender.
        takeOver(&eventQueue);
        if (event->type() != postedWorkType())
            return false;
        static_cast<const PostedWork*>(event)->run();
        return true;
    }
};

} // namespace

void startOnPool(QThreadPool& pool, std::function<void()> work)
{
    std::function<void()> started = [work = std::move(work)] {
        takeOver(&poolQueue);
        work();
    };
    handOver(&poolQueue);
    pool.start(std::move(started));
}

void postTo(QObject& context, std::function<void()> work)
{
    auto* event = new PostedWork(std::move(work));
    handOver(&eventQueue);
    QCoreApplication::postEvent(&context, event);
}

void acceptPostedWork(QObject& context)
{
    context.installEventFilter(new PostedWorkRunner(&context));
}
