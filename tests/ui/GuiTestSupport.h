#pragma once
// Helpers for window tests: a temporary working folder and answering modal dialogs.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/Clock.h"

namespace guitest {

// Makes a fresh temporary folder the working folder for the life of the object.
class WorkingFolder {
public:
    WorkingFolder() : old_(QDir::currentPath()) {
        dir_.setAutoRemove(true);
        QDir::setCurrent(dir_.path());
    }
    ~WorkingFolder() { QDir::setCurrent(old_); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return QDir(dir_.path()).filePath(name); }
    // The shipped world outlines, so that start-up does not report them missing.
    bool AddMapData() const {
        return QFile::copy(QStringLiteral(CORVANE_SOURCE_DIR "/data/map4.dat"), file("map4.dat"));
    }

private:
    QString old_;
    QTemporaryDir dir_;
};

// A program clock that stands at one instant while real time goes on: worker threads that poll
// (the tracking thread sleeps 100 ms at a time) neither move the date nor spin.
class FixedClock final : public corvane::Clock {
public:
    explicit FixedClock(double localJulianDate) : jd_(localJulianDate) {}
    double LocalJulianDate() const override { return jd_; }
    double MonotonicSeconds() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    void Sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(milliseconds, 5)));
    }

private:
    double jd_;
};

// Writes a settings file whose header records the accepted disclaimer, plus `extra` lines.
inline bool WriteAcceptedSettings(const QString& path, const QByteArray& extra = {}) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write("; a\r\n; b\r\n; c\r\n; d\r\n;\r\n; Disclaimer accepted.\r\n" + extra);
    return true;
}

// Watches for modal dialogs and hands each one to `handler` (which usually clicks a button).
// Texts of the message boxes seen are recorded in `seen`.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> handler) : handler_(std::move(handler)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal->property("guitestAnswered").toBool()) return;
            modal->setProperty("guitestAnswered", true);
            if (auto* box = qobject_cast<QMessageBox*>(modal)) seen.append(box->text());
            handler_(modal);
        });
        timer_.start();
    }
    QStringList seen;

private:
    std::function<void(QWidget*)> handler_;
    QTimer timer_;
};

// Clicks the message-box button with the given role, or closes other dialogs.
inline void Click(QWidget* modal, QMessageBox::StandardButton which) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (QAbstractButton* b = box->button(which)) {
            b->click();
            return;
        }
        box->close();
        return;
    }
    if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
}

}  // namespace guitest
