#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <ostream>
#include <thread>

// Readable failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Runs action on the next modal dialog of type T once it is shown (on the user-interface
// thread, from the dialog's own event loop). Fails the test when none appears in time.
template <typename T>
void WhenModalShown(std::function<void(T*)> action, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs] {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(dialog);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            ADD_FAILURE() << "no modal dialog appeared";
        }
    });
    timer->start();
}

// Polls on the user-interface thread until check() is true; false on time-out.
inline bool PollUntil(const std::function<bool()>& check, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!check()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Waits on a worker thread, without touching any widget, until check() is true.
inline bool WaitOnWorker(const std::function<bool()>& check, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!check()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

template <typename T>
T* Child(QWidget* parent, const char* id) {
    T* child = parent->findChild<T*>(QString::fromLatin1(id));
    EXPECT_NE(child, nullptr) << "no control " << id;
    return child;
}
