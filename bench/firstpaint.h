// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// At a window's first paint: prints the monotonic clock and the peak resident memory,
// then ends the program. The two start-up programs share it, so both are measured alike.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

class FirstPaint : public QObject {
public:
    static void watch(QWidget* window) { window->installEventFilter(new FirstPaint(window)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld %ld\n", now.tv_sec * 1000000000LL + now.tv_nsec, peakKilobytes());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    explicit FirstPaint(QObject* parent) : QObject(parent) {}

    static long peakKilobytes()
    {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stol(line.substr(6));
        }
        return 0;
    }

    bool reported_ = false;
};
