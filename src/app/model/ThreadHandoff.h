#pragma once

#include <QObject>
#include <QThreadPool>
#include <functional>

// The model hands work between threads only through these. Qt's thread pool and event queue order
// the hand-over with their own locks, which a ThreadSanitizer build cannot see when Qt itself was
// built without it; so these also tell the sanitizer, and such a build then checks what our code
// does on either side instead of reporting every hand-over. In any other build that costs nothing.

// Runs `work` on a thread of the pool; it sees everything this thread did before.
void startOnPool(QThreadPool& pool, std::function<void()> work);

// Runs `work` later on the thread of `context`, which accepts posted work; it sees everything this
// thread did before. Dropped if the context is destroyed first.
void postTo(QObject& context, std::function<void()> work);

// Lets `context` run the work posted to it; called on its thread.
void acceptPostedWork(QObject& context);
